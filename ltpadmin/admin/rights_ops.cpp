// Rights of users and groups on programs, a user's permission, and the program tree.
#include "ltpadmin/admin/cycle.h"

using namespace ltp::form;

int CLTPCreater::GetUserRights(const char* pszUserID, LONG nProgramID, LONG* pnRights) {
    return Run(40, Value{pnRights}, pszUserID, nProgramID);
}

int CLTPCreater::AddUserRights(const char* pszUserID, LONG nProgramID, LONG nRights) {
    return Run(46, Command{}, pszUserID, nProgramID, nRights);
}

int CLTPCreater::ModifyUserRights(const char* pszUserID, LONG nProgramID, LONG nRights) {
    return Run(47, Command{}, pszUserID, nProgramID, nRights);
}

int CLTPCreater::DeleteUserRights(const char* pszUserID, LONG nProgramID) {
    return Run(48, Command{}, pszUserID, nProgramID);
}

int CLTPCreater::GetUserPermission(const char* pszUserID, LONG nProgramID, LONG* pnPermission) {
    return Run(52, Value{pnPermission}, pszUserID, nProgramID);
}

int CLTPCreater::GetGrantedUsers(LONG nProgramID, CList<tagUser*, tagUser*>* pList) {
    return Run(43, List{pList}, nProgramID);
}

int CLTPCreater::GetGroupRights(const char* pszGroupID, LONG nProgramID, LONG* pnRights) {
    return Run(41, Value{pnRights}, pszGroupID, nProgramID);
}

int CLTPCreater::AddGroupRights(const char* pszGroupID, LONG nProgramID, LONG nRights) {
    return Run(49, Command{}, pszGroupID, nProgramID, nRights);
}

int CLTPCreater::DeleteGroupRights(const char* pszGroupID, LONG nProgramID) {
    return Run(51, Command{}, pszGroupID, nProgramID);
}

int CLTPCreater::ModifyGroupRights(const char* pszGroupID, LONG nProgramID, LONG nRights) {
    return Run(50, Command{}, pszGroupID, nProgramID, nRights);
}

int CLTPCreater::GetGrantedGroups(LONG nProgramID, CList<tagGroup*, tagGroup*>* pList) {
    return Run(42, List{pList}, nProgramID);
}

int CLTPCreater::ApplyPermissionToDescendants(LONG nProgramID) {
    return Run(53, Command{}, nProgramID);
}

// The server tells the two programs apart by their order only.
int CLTPCreater::MoveProgram(LONG nProgramID, LONG nOtherProgramID) {
    return Run(54, Command{}, nProgramID, nOtherProgramID);
}

int CLTPCreater::CopyProgram(LONG nProgramID, LONG nOtherProgramID) {
    return Run(55, Command{}, nProgramID, nOtherProgramID);
}
