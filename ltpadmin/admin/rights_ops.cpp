// Rights of users and groups on programs, a user's permission, and the program tree.
#include "ltpadmin/admin/cycle.h"

using ltp::detail::Row;
using namespace ltp::detail::form;

int CLTPCreater::GetUserRights(const char* pszUserID, LONG nProgramID, LONG* pnRights) {
    return Run<Row::GetUserRights>(Value{pnRights}, pszUserID, nProgramID);
}

int CLTPCreater::AddUserRights(const char* pszUserID, LONG nProgramID, LONG nRights) {
    return Run<Row::AddUserRights>(StatusOnly{}, pszUserID, nProgramID, nRights);
}

int CLTPCreater::ModifyUserRights(const char* pszUserID, LONG nProgramID, LONG nRights) {
    return Run<Row::ModifyUserRights>(StatusOnly{}, pszUserID, nProgramID, nRights);
}

int CLTPCreater::DeleteUserRights(const char* pszUserID, LONG nProgramID) {
    return Run<Row::DeleteUserRights>(StatusOnly{}, pszUserID, nProgramID);
}

int CLTPCreater::GetUserPermission(const char* pszUserID, LONG nProgramID, LONG* pnPermission) {
    return Run<Row::GetUserPermission>(Value{pnPermission}, pszUserID, nProgramID);
}

int CLTPCreater::GetGrantedUsers(LONG nProgramID, CList<tagUser*, tagUser*>* pList) {
    return Run<Row::GetGrantedUsers>(List{pList}, nProgramID);
}

int CLTPCreater::GetGroupRights(const char* pszGroupID, LONG nProgramID, LONG* pnRights) {
    return Run<Row::GetGroupRights>(Value{pnRights}, pszGroupID, nProgramID);
}

int CLTPCreater::AddGroupRights(const char* pszGroupID, LONG nProgramID, LONG nRights) {
    return Run<Row::AddGroupRights>(StatusOnly{}, pszGroupID, nProgramID, nRights);
}

int CLTPCreater::DeleteGroupRights(const char* pszGroupID, LONG nProgramID) {
    return Run<Row::DeleteGroupRights>(StatusOnly{}, pszGroupID, nProgramID);
}

int CLTPCreater::ModifyGroupRights(const char* pszGroupID, LONG nProgramID, LONG nRights) {
    return Run<Row::ModifyGroupRights>(StatusOnly{}, pszGroupID, nProgramID, nRights);
}

int CLTPCreater::GetGrantedGroups(LONG nProgramID, CList<tagGroup*, tagGroup*>* pList) {
    return Run<Row::GetGrantedGroups>(List{pList}, nProgramID);
}

int CLTPCreater::ApplyPermissionToDescendants(LONG nProgramID) {
    return Run<Row::ApplyPermissionToDescentdants>(StatusOnly{}, nProgramID);
}

// The server tells the two programs apart by their order only.
int CLTPCreater::MoveProgram(LONG nProgramID, LONG nOtherProgramID) {
    return Run<Row::MoveProgram>(StatusOnly{}, nProgramID, nOtherProgramID);
}

int CLTPCreater::CopyProgram(LONG nProgramID, LONG nOtherProgramID) {
    return Run<Row::CopyProgram>(StatusOnly{}, nProgramID, nOtherProgramID);
}
