// Users, groups, programs, channels, schedules and global settings: list, find, add, modify and
// delete, each one request of the catalogue over the shared cycle. The public add and modify
// methods hand the record's fields to the field-level requests of the same name.
#include "ltpadmin/admin/cycle.h"

using ltp::detail::Row;
using namespace ltp::detail::form;

int CLTPCreater::GetUsers(CList<tagUser*, tagUser*>* pList) {
    return Run<Row::GetAllUsers>(List{pList});
}

int CLTPCreater::AddUser(char* pszUserID, char* pszText2, char* pszText3, char* pszText4,
                         char* pszText5, char* pszText6) {
    return Run<Row::AddUser>(StatusOnly{}, pszUserID, pszText2, pszText3, pszText4, pszText5,
                             pszText6);
}

int CLTPCreater::AddUser(tagUser* p) {
    return IsSendableRecord(p) &&
           AddUser(p->UserID, p->Text2, p->Text3, p->Text4, p->Text5, p->Text6);
}

int CLTPCreater::FindUser(const char* pszUserID, tagUser* pUser) {
    return Run<Row::FindUser>(Lookup{pUser}, pszUserID);
}

int CLTPCreater::ModifyUser(tagUser* p) {
    return IsSendableRecord(p) &&
           ModifyUser(p->UserID, p->Text2, p->Text3, p->Text4, p->Text5, p->Text6);
}

int CLTPCreater::ModifyUser(char* pszUserID, char* pszText2, char* pszText3, char* pszText4,
                            char* pszText5, char* pszText6) {
    return Run<Row::ModifyUser>(StatusOnly{}, pszUserID, pszText2, pszText3, pszText4, pszText5,
                                pszText6);
}

int CLTPCreater::DeleteUser(const char* pszUserID) {
    return Run<Row::DeleteUser>(StatusOnly{}, pszUserID);
}

int CLTPCreater::GetGroups(CList<tagGroup*, tagGroup*>* pList) {
    return Run<Row::GetAllGroups>(List{pList});
}

int CLTPCreater::AddGroup(char* pszGroupID, char* pszText2) {
    return Run<Row::AddGroup>(StatusOnly{}, pszGroupID, pszText2);
}

int CLTPCreater::AddGroup(tagGroup* p) {
    return IsSendableRecord(p) && AddGroup(p->GroupID, p->Text2);
}

int CLTPCreater::FindGroup(const char* pszGroupID, tagGroup* pGroup) {
    return Run<Row::FindGroup>(Lookup{pGroup}, pszGroupID);
}

int CLTPCreater::ModifyGroup(tagGroup* p) {
    return IsSendableRecord(p) && ModifyGroup(p->GroupID, p->Text2);
}

int CLTPCreater::ModifyGroup(char* pszGroupID, char* pszText2) {
    return Run<Row::ModifyGroup>(StatusOnly{}, pszGroupID, pszText2);
}

int CLTPCreater::DeleteGroup(const char* pszGroupID) {
    return Run<Row::DeleteGroup>(StatusOnly{}, pszGroupID);
}

int CLTPCreater::GetPrograms(CList<tagProgram*, tagProgram*>* pList) {
    return Run<Row::GetAllPrograms>(List{pList});
}

// The response names the new program; it replaces the identifier sent.
int CLTPCreater::AddProgram(LONG& nProgramID, char* pszText2, char* pszText3, char* pszText4,
                            double dReal5, LONG nNumber6, LONG nNumber7, char* pszText8,
                            char* pszText9, char* pszText10, char* pszText11, char* pszText12,
                            char* pszText13) {
    return Run<Row::AddProgram>(Value{&nProgramID}, nProgramID, pszText2, pszText3, pszText4,
                                dReal5, nNumber6, nNumber7, pszText8, pszText9, pszText10,
                                pszText11, pszText12, pszText13);
}

int CLTPCreater::AddProgram(tagProgram* p) {
    return IsSendableRecord(p) &&
           AddProgram(p->ProgramID, p->Text2, p->Text3, p->Text4, p->Real5, p->Number6, p->Number7,
                      p->Text8, p->Text9, p->Text10, p->Text11, p->Text12, p->Text13);
}

int CLTPCreater::FindProgram(LONG nProgramID, tagProgram* pProgram) {
    return Run<Row::FindProgram>(Lookup{pProgram}, nProgramID);
}

int CLTPCreater::ModifyProgram(tagProgram* p) {
    return IsSendableRecord(p) &&
           ModifyProgram(p->ProgramID, p->Text2, p->Text3, p->Text4, p->Real5, p->Number6,
                         p->Number7, p->Text8, p->Text9, p->Text10, p->Text11, p->Text12,
                         p->Text13);
}

int CLTPCreater::ModifyProgram(LONG nProgramID, char* pszText2, char* pszText3, char* pszText4,
                               double dReal5, LONG nNumber6, LONG nNumber7, char* pszText8,
                               char* pszText9, char* pszText10, char* pszText11, char* pszText12,
                               char* pszText13) {
    return Run<Row::ModifyProgram>(StatusOnly{}, nProgramID, pszText2, pszText3, pszText4, dReal5,
                                   nNumber6, nNumber7, pszText8, pszText9, pszText10, pszText11,
                                   pszText12, pszText13);
}

int CLTPCreater::DeleteProgram(LONG nProgramID) {
    return Run<Row::DeleteProgram>(StatusOnly{}, nProgramID);
}

int CLTPCreater::GetChannels(CList<tagChannel*, tagChannel*>* pList) {
    return Run<Row::GetAllChannels>(List{pList});
}

int CLTPCreater::AddChannel(char* pszChannelID, char* pszText2, char* pszText3) {
    return Run<Row::AddChannel>(StatusOnly{}, pszChannelID, pszText2, pszText3);
}

int CLTPCreater::AddChannel(tagChannel* p) {
    return IsSendableRecord(p) && AddChannel(p->ChannelID, p->Text2, p->Text3);
}

int CLTPCreater::FindChannel(const char* pszChannelID, tagChannel* pChannel) {
    return Run<Row::FindChannel>(Lookup{pChannel}, pszChannelID);
}

int CLTPCreater::ModifyChannel(tagChannel* p) {
    return IsSendableRecord(p) && ModifyChannel(p->ChannelID, p->Text2, p->Text3);
}

int CLTPCreater::ModifyChannel(char* pszChannelID, char* pszText2, char* pszText3) {
    return Run<Row::ModifyChannel>(StatusOnly{}, pszChannelID, pszText2, pszText3);
}

int CLTPCreater::DeleteChannel(const char* pszChannelID) {
    return Run<Row::DeleteChannel>(StatusOnly{}, pszChannelID);
}

int CLTPCreater::GetSchedules(CList<tagSchedule*, tagSchedule*>* pList) {
    return Run<Row::GetAllSchedules>(List{pList});
}

// The response names the new schedule; it replaces the identifier sent.
int CLTPCreater::AddSchedule(LONG& nScheduleID, char* pszText2, LONG nNumber3, double dReal4,
                             double dReal5, LONG nNumber6) {
    return Run<Row::AddSchedule>(Value{&nScheduleID}, nScheduleID, pszText2, nNumber3, dReal4,
                                 dReal5, nNumber6);
}

int CLTPCreater::AddSchedule(tagSchedule* p) {
    return IsSendableRecord(p) &&
           AddSchedule(p->ScheduleID, p->Text2, p->Number3, p->Real4, p->Real5, p->Number6);
}

int CLTPCreater::FindSchedule(LONG nScheduleID, tagSchedule* pSchedule) {
    return Run<Row::FindSchedule>(Lookup{pSchedule}, nScheduleID);
}

int CLTPCreater::ModifySchedule(tagSchedule* p) {
    return IsSendableRecord(p) &&
           ModifySchedule(p->ScheduleID, p->Text2, p->Number3, p->Real4, p->Real5, p->Number6);
}

int CLTPCreater::ModifySchedule(LONG nScheduleID, char* pszText2, LONG nNumber3, double dReal4,
                                double dReal5, LONG nNumber6) {
    return Run<Row::ModifySchedule>(StatusOnly{}, nScheduleID, pszText2, nNumber3, dReal4, dReal5,
                                    nNumber6);
}

int CLTPCreater::DeleteSchedule(LONG nScheduleID) {
    return Run<Row::DeleteSchedule>(StatusOnly{}, nScheduleID);
}

int CLTPCreater::GetGlobals(CList<tagGlobal*, tagGlobal*>* pList) {
    return Run<Row::GetAllGlobals>(List{pList});
}

int CLTPCreater::AddGlobal(char* pszKey, LONG nNumber2, char* pszText3, char* pszText4) {
    return Run<Row::AddGlobal>(StatusOnly{}, pszKey, nNumber2, pszText3, pszText4);
}

int CLTPCreater::AddGlobal(tagGlobal* p) {
    return IsSendableRecord(p) && AddGlobal(p->Key, p->Number2, p->Text3, p->Text4);
}

int CLTPCreater::FindGlobal(const char* pszKey, tagGlobal* pGlobal) {
    return Run<Row::FindGlobal>(Lookup{pGlobal}, pszKey);
}

int CLTPCreater::ModifyGlobal(tagGlobal* p) {
    return IsSendableRecord(p) && ModifyGlobal(p->Key, p->Number2, p->Text3, p->Text4);
}

int CLTPCreater::ModifyGlobal(char* pszKey, LONG nNumber2, char* pszText3, char* pszText4) {
    return Run<Row::ModifyGlobal>(StatusOnly{}, pszKey, nNumber2, pszText3, pszText4);
}

int CLTPCreater::DeleteGlobal(const char* pszKey) {
    return Run<Row::DeleteGlobal>(StatusOnly{}, pszKey);
}
