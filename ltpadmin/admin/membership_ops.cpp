// Relations between catalogue entries: group members, a user's groups, a channel's schedules, a
// schedule's channel, and membership changes.
#include "ltpadmin/admin/cycle.h"

using namespace ltp::form;

int CLTPCreater::GetGroupUsers(const char* pszGroupID, CList<tagUser*, tagUser*>* pList) {
    return Run(36, List{pList}, pszGroupID);
}

int CLTPCreater::GetUserGroups(const char* pszUserID, CList<tagGroup*, tagGroup*>* pList) {
    return Run(37, List{pList}, pszUserID);
}

int CLTPCreater::GetChannelSchedules(const char* pszChannelID,
                                     CList<tagSchedule*, tagSchedule*>* pList) {
    return Run(38, List{pList}, pszChannelID);
}

int CLTPCreater::GetScheduleChannel(LONG nScheduleID, tagChannel* pChannel) {
    return Run(39, Lookup{pChannel}, nScheduleID);
}

int CLTPCreater::AddUserToGroup(const char* pszUserID, const char* pszGroupID) {
    return Run(44, Command{}, pszUserID, pszGroupID);
}

int CLTPCreater::DeleteUserFromGroup(const char* pszUserID, const char* pszGroupID) {
    return Run(45, Command{}, pszUserID, pszGroupID);
}
