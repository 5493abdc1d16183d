// Relations between catalogue entries: group members, a user's groups, a channel's schedules, a
// schedule's channel, and membership changes.
#include "ltpadmin/admin/cycle.h"

using ltp::detail::Row;
using namespace ltp::detail::form;

int CLTPCreater::GetGroupUsers(const char* pszGroupID, CList<tagUser*, tagUser*>* pList) {
    return Run<Row::GetGroupUsers>(List{pList}, pszGroupID);
}

int CLTPCreater::GetUserGroups(const char* pszUserID, CList<tagGroup*, tagGroup*>* pList) {
    return Run<Row::GetUserGroups>(List{pList}, pszUserID);
}

int CLTPCreater::GetChannelSchedules(const char* pszChannelID,
                                     CList<tagSchedule*, tagSchedule*>* pList) {
    return Run<Row::GetChannelSchedules>(List{pList}, pszChannelID);
}

int CLTPCreater::GetScheduleChannel(LONG nScheduleID, tagChannel* pChannel) {
    return Run<Row::GetScheduleChannel>(Lookup{pChannel}, nScheduleID);
}

int CLTPCreater::AddUserToGroup(const char* pszUserID, const char* pszGroupID) {
    return Run<Row::AddUserToGroup>(StatusOnly{}, pszUserID, pszGroupID);
}

int CLTPCreater::DeleteUserFromGroup(const char* pszUserID, const char* pszGroupID) {
    return Run<Row::DeleteUserFromGroup>(StatusOnly{}, pszUserID, pszGroupID);
}
