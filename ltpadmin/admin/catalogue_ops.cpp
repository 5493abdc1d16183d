// Users, groups, programs, channels, schedules and global settings: list, find, add, modify and
// delete, each one request of the catalogue over the shared cycle. The public add and modify
// methods hand the record's fields to the field-level requests of the same name.
#include "ltpadmin/admin/cycle.h"

using namespace ltp::form;

int CLTPCreater::GetUsers(CList<tagUser*, tagUser*>* pList) {
    return Run(6, List{pList});
}

int CLTPCreater::AddUser(char* pszUserID, char* pszText2, char* pszText3, char* pszText4,
                         char* pszText5, char* pszText6) {
    return Run(18, Command{}, pszUserID, pszText2, pszText3, pszText4, pszText5, pszText6);
}

int CLTPCreater::AddUser(tagUser* p) {
    return IsSendableRecord(p) &&
           AddUser(p->UserID, p->Text2, p->Text3, p->Text4, p->Text5, p->Text6);
}

int CLTPCreater::FindUser(const char* pszUserID, tagUser* pUser) {
    return Run(12, Lookup{pUser}, pszUserID);
}

int CLTPCreater::ModifyUser(tagUser* p) {
    return IsSendableRecord(p) &&
           ModifyUser(p->UserID, p->Text2, p->Text3, p->Text4, p->Text5, p->Text6);
}

int CLTPCreater::ModifyUser(char* pszUserID, char* pszText2, char* pszText3, char* pszText4,
                            char* pszText5, char* pszText6) {
    return Run(24, Command{}, pszUserID, pszText2, pszText3, pszText4, pszText5, pszText6);
}

int CLTPCreater::DeleteUser(const char* pszUserID) {
    return Run(30, Command{}, pszUserID);
}

int CLTPCreater::GetGroups(CList<tagGroup*, tagGroup*>* pList) {
    return Run(7, List{pList});
}

int CLTPCreater::AddGroup(char* pszGroupID, char* pszText2) {
    return Run(19, Command{}, pszGroupID, pszText2);
}

int CLTPCreater::AddGroup(tagGroup* p) {
    return IsSendableRecord(p) && AddGroup(p->GroupID, p->Text2);
}

int CLTPCreater::FindGroup(const char* pszGroupID, tagGroup* pGroup) {
    return Run(13, Lookup{pGroup}, pszGroupID);
}

int CLTPCreater::ModifyGroup(tagGroup* p) {
    return IsSendableRecord(p) && ModifyGroup(p->GroupID, p->Text2);
}

int CLTPCreater::ModifyGroup(char* pszGroupID, char* pszText2) {
    return Run(25, Command{}, pszGroupID, pszText2);
}

int CLTPCreater::DeleteGroup(const char* pszGroupID) {
    return Run(31, Command{}, pszGroupID);
}

int CLTPCreater::GetPrograms(CList<tagProgram*, tagProgram*>* pList) {
    return Run(8, List{pList});
}

// The response names the new program; it replaces the identifier sent.
int CLTPCreater::AddProgram(LONG& nProgramID, char* pszText2, char* pszText3, char* pszText4,
                            double dReal5, LONG nNumber6, LONG nNumber7, char* pszText8,
                            char* pszText9, char* pszText10, char* pszText11, char* pszText12,
                            char* pszText13) {
    return Run(20, Value{&nProgramID}, nProgramID, pszText2, pszText3, pszText4, dReal5, nNumber6,
               nNumber7, pszText8, pszText9, pszText10, pszText11, pszText12, pszText13);
}

int CLTPCreater::AddProgram(tagProgram* p) {
    return IsSendableRecord(p) &&
           AddProgram(p->ProgramID, p->Text2, p->Text3, p->Text4, p->Real5, p->Number6, p->Number7,
                      p->Text8, p->Text9, p->Text10, p->Text11, p->Text12, p->Text13);
}

int CLTPCreater::FindProgram(LONG nProgramID, tagProgram* pProgram) {
    return Run(14, Lookup{pProgram}, nProgramID);
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
    return Run(26, Command{}, nProgramID, pszText2, pszText3, pszText4, dReal5, nNumber6, nNumber7,
               pszText8, pszText9, pszText10, pszText11, pszText12, pszText13);
}

int CLTPCreater::DeleteProgram(LONG nProgramID) {
    return Run(32, Command{}, nProgramID);
}

int CLTPCreater::GetChannels(CList<tagChannel*, tagChannel*>* pList) {
    return Run(9, List{pList});
}

int CLTPCreater::AddChannel(char* pszChannelID, char* pszText2, char* pszText3) {
    return Run(21, Command{}, pszChannelID, pszText2, pszText3);
}

int CLTPCreater::AddChannel(tagChannel* p) {
    return IsSendableRecord(p) && AddChannel(p->ChannelID, p->Text2, p->Text3);
}

int CLTPCreater::FindChannel(const char* pszChannelID, tagChannel* pChannel) {
    return Run(15, Lookup{pChannel}, pszChannelID);
}

int CLTPCreater::ModifyChannel(tagChannel* p) {
    return IsSendableRecord(p) && ModifyChannel(p->ChannelID, p->Text2, p->Text3);
}

int CLTPCreater::ModifyChannel(char* pszChannelID, char* pszText2, char* pszText3) {
    return Run(27, Command{}, pszChannelID, pszText2, pszText3);
}

int CLTPCreater::DeleteChannel(const char* pszChannelID) {
    return Run(33, Command{}, pszChannelID);
}

int CLTPCreater::GetSchedules(CList<tagSchedule*, tagSchedule*>* pList) {
    return Run(10, List{pList});
}

// The response names the new schedule; it replaces the identifier sent.
int CLTPCreater::AddSchedule(LONG& nScheduleID, char* pszText2, LONG nNumber3, double dReal4,
                             double dReal5, LONG nNumber6) {
    return Run(22, Value{&nScheduleID}, nScheduleID, pszText2, nNumber3, dReal4, dReal5, nNumber6);
}

int CLTPCreater::AddSchedule(tagSchedule* p) {
    return IsSendableRecord(p) &&
           AddSchedule(p->ScheduleID, p->Text2, p->Number3, p->Real4, p->Real5, p->Number6);
}

int CLTPCreater::FindSchedule(LONG nScheduleID, tagSchedule* pSchedule) {
    return Run(16, Lookup{pSchedule}, nScheduleID);
}

int CLTPCreater::ModifySchedule(tagSchedule* p) {
    return IsSendableRecord(p) &&
           ModifySchedule(p->ScheduleID, p->Text2, p->Number3, p->Real4, p->Real5, p->Number6);
}

int CLTPCreater::ModifySchedule(LONG nScheduleID, char* pszText2, LONG nNumber3, double dReal4,
                                double dReal5, LONG nNumber6) {
    return Run(28, Command{}, nScheduleID, pszText2, nNumber3, dReal4, dReal5, nNumber6);
}

int CLTPCreater::DeleteSchedule(LONG nScheduleID) {
    return Run(34, Command{}, nScheduleID);
}

int CLTPCreater::GetGlobals(CList<tagGlobal*, tagGlobal*>* pList) {
    return Run(11, List{pList});
}

int CLTPCreater::AddGlobal(char* pszKey, LONG nNumber2, char* pszText3, char* pszText4) {
    return Run(23, Command{}, pszKey, nNumber2, pszText3, pszText4);
}

int CLTPCreater::AddGlobal(tagGlobal* p) {
    return IsSendableRecord(p) && AddGlobal(p->Key, p->Number2, p->Text3, p->Text4);
}

int CLTPCreater::FindGlobal(const char* pszKey, tagGlobal* pGlobal) {
    return Run(17, Lookup{pGlobal}, pszKey);
}

int CLTPCreater::ModifyGlobal(tagGlobal* p) {
    return IsSendableRecord(p) && ModifyGlobal(p->Key, p->Number2, p->Text3, p->Text4);
}

int CLTPCreater::ModifyGlobal(char* pszKey, LONG nNumber2, char* pszText3, char* pszText4) {
    return Run(29, Command{}, pszKey, nNumber2, pszText3, pszText4);
}

int CLTPCreater::DeleteGlobal(const char* pszKey) {
    return Run(35, Command{}, pszKey);
}
