// The register of MTP servers and the paths attached to programs. Number4 of an MTP server is
// only ever read back from the server.
#include "ltpadmin/admin/cycle.h"

using ltp::detail::Row;
using namespace ltp::detail::form;

int CLTPCreater::GetMTPSvrs(CList<MTPSVR*, MTPSVR*>* pList) {
    return Run<Row::GetAllMTPSvrs>(List{pList});
}

// The server is asked by a ChannelID element.
int CLTPCreater::FindMTPSvr(const char* pszKey, MTPSVR* pMTPSvr) {
    return Run<Row::FindMTPSvr>(Lookup{pMTPSvr}, pszKey);
}

int CLTPCreater::AddMTPSvr(MTPSVR* p) {
    return IsSendableRecord(p) && Run<Row::AddMTPSvr>(StatusOnly{}, p->MTPSvrName, p->Text2,
                                                      p->Text3, p->Number5, p->Number6);
}

int CLTPCreater::ModifyMTPSvr(MTPSVR* p) {
    return IsSendableRecord(p) && Run<Row::ModifyMTPSvr>(StatusOnly{}, p->MTPSvrName, p->Text2,
                                                         p->Text3, p->Number5, p->Number6);
}

int CLTPCreater::DeleteMTPSvr(const char* pszMTPSvrName) {
    return Run<Row::DeleteMTPSvr>(StatusOnly{}, pszMTPSvrName);
}

int CLTPCreater::AddPathToProgram(PROGRAMPATH* p) {
    return IsSendableRecord(p) && Run<Row::AddPathTOProgram>(StatusOnly{}, p->ProgramID,
                                                             p->ProgramPath, p->Real3, p->Real4);
}

int CLTPCreater::GetProgramPath(LONG nProgramID, CList<PROGRAMPATH*, PROGRAMPATH*>* pList) {
    return Run<Row::GetProgramPath>(List{pList}, nProgramID);
}

int CLTPCreater::DelPathFromProgram(LONG nProgramID, const char* pszProgramPath) {
    return Run<Row::DeletePathFromProgram>(StatusOnly{}, nProgramID, pszProgramPath);
}
