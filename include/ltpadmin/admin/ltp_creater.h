// CLTPCreater: the administrator object. One public method per server operation; each one formats
// one LTP/1.0 request, sends it over the session, waits for the response and takes its result.
// Misspelt names (CLTPCreater, AddInfomation) are the interface's and the protocol's own, which
// callers' code spells so: they are kept on purpose.
#pragma once

#include "ltpadmin/export.h"

#include "ltpadmin/platform/platform.h"
#include "ltpadmin/protocol/records.h"
#include "ltpadmin/transport/server_admin.h"

namespace ltp::detail {
enum class Row : int; // the catalogue's rows, known to the library's own sources
}

// Outcome code of GetLastError, next to those of the session: the request was not sent, because a
// text it would have put on the wire holds a character the protocol cannot carry (a line end in
// any text, "|" or "<" in a key or field) or a text, list, record or out value was missing.
#define LTP_ERROR_UNSENDABLE (-8)

class LTPADMIN_API CLTPCreater : public CServerAdmin {
public:
    CLTPCreater();
    CLTPCreater(const CLTPCreater& other);
    CLTPCreater& operator=(const CLTPCreater& other);
    virtual ~CLTPCreater();

    // Window that receives WM_LTP_CLOSED when the server closes the connection.
    void SetNotifyWnd(HWND hWnd);

    // 1 when the response's status is 200; otherwise keeps the reason text of a refused response.
    int ParseResponse(CMessage& response);
    CString GetErrorDescription();

    // Users, and what they belong to and may do.
    int GetUsers(CList<tagUser*, tagUser*>* pList);
    int FindUser(const char* pszUserID, tagUser* pUser);
    int AddUser(tagUser* pUser);
    int ModifyUser(tagUser* pUser);
    int DeleteUser(const char* pszUserID);
    int GetUserGroups(const char* pszUserID, CList<tagGroup*, tagGroup*>* pList);
    int AddUserToGroup(const char* pszUserID, const char* pszGroupID);
    int DeleteUserFromGroup(const char* pszUserID, const char* pszGroupID);
    int GetUserRights(const char* pszUserID, LONG nProgramID, LONG* pnRights);
    int AddUserRights(const char* pszUserID, LONG nProgramID, LONG nRights);
    int ModifyUserRights(const char* pszUserID, LONG nProgramID, LONG nRights);
    int DeleteUserRights(const char* pszUserID, LONG nProgramID);
    int GetUserPermission(const char* pszUserID, LONG nProgramID, LONG* pnPermission);
    int GetUserProgramStatistics(const char* pszUserName, double dStart, double dStop,
                                 CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*>* pList);

    // Groups, their members and their rights.
    int GetGroups(CList<tagGroup*, tagGroup*>* pList);
    int FindGroup(const char* pszGroupID, tagGroup* pGroup);
    int AddGroup(tagGroup* pGroup);
    int ModifyGroup(tagGroup* pGroup);
    int DeleteGroup(const char* pszGroupID);
    int GetGroupRights(const char* pszGroupID, LONG nProgramID, LONG* pnRights);
    int AddGroupRights(const char* pszGroupID, LONG nProgramID, LONG nRights);
    int ModifyGroupRights(const char* pszGroupID, LONG nProgramID, LONG nRights);
    int DeleteGroupRights(const char* pszGroupID, LONG nProgramID);
    int GetGroupUsers(const char* pszGroupID, CList<tagUser*, tagUser*>* pList);

    // Programs: the tree, who holds rights on them, their use and their paths.
    int GetPrograms(CList<tagProgram*, tagProgram*>* pList);
    int FindProgram(LONG nProgramID, tagProgram* pProgram);
    // Stores the server's new identifier in pProgram->ProgramID.
    int AddProgram(tagProgram* pProgram);
    int ModifyProgram(tagProgram* pProgram);
    int DeleteProgram(LONG nProgramID);
    int GetGrantedUsers(LONG nProgramID, CList<tagUser*, tagUser*>* pList);
    int GetGrantedGroups(LONG nProgramID, CList<tagGroup*, tagGroup*>* pList);
    int ApplyPermissionToDescendants(LONG nProgramID);
    int MoveProgram(LONG nProgramID, LONG nOtherProgramID);
    int CopyProgram(LONG nProgramID, LONG nOtherProgramID);
    int GetProgramStatistics(LONG nProgramID, double dStart, double dStop,
                             CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*>* pList);
    int GetTOPPrograms(int nCount, double dStart, double dStop,
                       CList<tagTOPPrgoram*, tagTOPPrgoram*>* pList);
    int GetProgramPath(LONG nProgramID, CList<PROGRAMPATH*, PROGRAMPATH*>* pList);
    int AddPathToProgram(PROGRAMPATH* pProgramPath);
    int DelPathFromProgram(LONG nProgramID, const char* pszProgramPath);

    // Channels and their schedules.
    int GetChannels(CList<tagChannel*, tagChannel*>* pList);
    int GetChannelSchedules(const char* pszChannelID, CList<tagSchedule*, tagSchedule*>* pList);
    int FindChannel(const char* pszChannelID, tagChannel* pChannel);
    int AddChannel(tagChannel* pChannel);
    int ModifyChannel(tagChannel* pChannel);
    int DeleteChannel(const char* pszChannelID);

    // Schedules and their channel.
    int GetSchedules(CList<tagSchedule*, tagSchedule*>* pList);
    int FindSchedule(LONG nScheduleID, tagSchedule* pSchedule);
    // Stores the server's new identifier in pSchedule->ScheduleID.
    int AddSchedule(tagSchedule* pSchedule);
    int ModifySchedule(tagSchedule* pSchedule);
    int DeleteSchedule(LONG nScheduleID);
    int GetScheduleChannel(LONG nScheduleID, tagChannel* pChannel);

    // Global settings.
    int GetGlobals(CList<tagGlobal*, tagGlobal*>* pList);
    int FindGlobal(const char* pszKey, tagGlobal* pGlobal);
    int AddGlobal(tagGlobal* pGlobal);
    int ModifyGlobal(tagGlobal* pGlobal);
    int DeleteGlobal(const char* pszKey);

    // MTP servers.
    int GetMTPSvrs(CList<MTPSVR*, MTPSVR*>* pList);
    int FindMTPSvr(const char* pszKey, MTPSVR* pMTPSvr);
    int AddMTPSvr(MTPSVR* pMTPSvr);
    int ModifyMTPSvr(MTPSVR* pMTPSvr);
    int DeleteMTPSvr(const char* pszMTPSvrName);

    // The server's information text, system information and log.
    int AddInfomation(char* pszText);
    // Points *ppszText at the body of the response; valid until the next operation.
    int GetInfomation(char** ppszText);
    int GetSysInfo(tagSysInfo* pSysInfo);
    int GetAllLogEvents(CList<tagLogEvent*, tagLogEvent*>* pList);
    int ClearLogEvents();

protected:
    UINT GetParamCount(CMessage& response);
    int GetParamIDValue(char* pszText, UINT nLength, char* pszTag, UINT nTagLength, char* pszOut,
                        UINT nOutSize);

    // Record decoders, each with the field-level add and modify requests of its record where
    // there are such. AddProgram and AddSchedule store the server's new identifier through
    // their first parameter.
    int GetParamUserValue(char* pszText, UINT nLength, tagUser* pUser);
    int AddUser(char* pszUserID, char* pszText2, char* pszText3, char* pszText4, char* pszText5,
                char* pszText6);
    int ModifyUser(char* pszUserID, char* pszText2, char* pszText3, char* pszText4, char* pszText5,
                   char* pszText6);
    int GetParamGroupValue(char* pszText, UINT nLength, tagGroup* pGroup);
    int AddGroup(char* pszGroupID, char* pszText2);
    int ModifyGroup(char* pszGroupID, char* pszText2);
    int GetParamProgramValue(char* pszText, UINT nLength, tagProgram* pProgram);
    int AddProgram(LONG& nProgramID, char* pszText2, char* pszText3, char* pszText4, double dReal5,
                   LONG nNumber6, LONG nNumber7, char* pszText8, char* pszText9, char* pszText10,
                   char* pszText11, char* pszText12, char* pszText13);
    int ModifyProgram(LONG nProgramID, char* pszText2, char* pszText3, char* pszText4,
                      double dReal5, LONG nNumber6, LONG nNumber7, char* pszText8, char* pszText9,
                      char* pszText10, char* pszText11, char* pszText12, char* pszText13);
    int GetParamChannelValue(char* pszText, UINT nLength, tagChannel* pChannel);
    int AddChannel(char* pszChannelID, char* pszText2, char* pszText3);
    int ModifyChannel(char* pszChannelID, char* pszText2, char* pszText3);
    int GetParamScheduleValue(char* pszText, UINT nLength, tagSchedule* pSchedule);
    int AddSchedule(LONG& nScheduleID, char* pszText2, LONG nNumber3, double dReal4, double dReal5,
                    LONG nNumber6);
    int ModifySchedule(LONG nScheduleID, char* pszText2, LONG nNumber3, double dReal4,
                       double dReal5, LONG nNumber6);
    int GetParamGlobalValue(char* pszText, UINT nLength, tagGlobal* pGlobal);
    int AddGlobal(char* pszKey, LONG nNumber2, char* pszText3, char* pszText4);
    int ModifyGlobal(char* pszKey, LONG nNumber2, char* pszText3, char* pszText4);
    int GetParamEventValue(char* pszText, UINT nLength, tagLogEvent* pEvent);
    int GetParamSysInfoValue(char* pszText, UINT nLength, tagSysInfo* pSysInfo);
    int GetParamProgramStatisticValue(char* pszText, int nLength, PROGRAMSTATISTIC* pStatistic);
    int GetParamTOPProgramValue(char* pszText, int nLength, tagTOPPrgoram* pTOPProgram);
    int GetParamMTPSvrValue(char* pszText, int nLength, MTPSVR* pMTPSvr);
    int GetParamProgramPathValue(char* pszText, int nLength, PROGRAMPATH* pProgramPath);

    // The text of the most recent request, and the reason of the most recent refusal.
    CString m_strRequest;
    CString m_strErrorText;

private:
    // The operation cycle: check what would go on the wire, format the request of catalogue row R
    // from args, send it, wait, check the status, then let the result form take its part.
    template <ltp::detail::Row R, class Form, class... Args>
    int Run(Form form, const Args&... args);
    // A record to send is there and each of its text fields ends inside its array; otherwise
    // refuses the operation.
    template <class Record> bool IsSendableRecord(const Record* pRecord);
    // The request of a text row: its body is the text as it is ("%s"), so it is measured once and
    // copied once, straight after the head.
    void FormatTextRequest(const char* pszHeadTemplate, const char* pszText);
    // Sends m_strRequest, waits and checks the status: 1 when the response can be read.
    int Exchange();
    // Gives up before sending: GetLastError reads LTP_ERROR_UNSENDABLE.
    int Refuse();
    bool CredentialsSendable() const;
};
