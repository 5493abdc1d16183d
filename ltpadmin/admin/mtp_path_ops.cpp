// The register of MTP servers and the paths attached to programs. Number4 of an MTP server is
// only ever read back from the server.
#include "ltpadmin/admin/cycle.h"

using namespace ltp::form;

int CLTPCreater::GetMTPSvrs(CList<MTPSVR*, MTPSVR*>* pList) {
    return Run(60, List{pList});
}

// The server is asked by a ChannelID element.
int CLTPCreater::FindMTPSvr(const char* pszKey, MTPSVR* pMTPSvr) {
    return Run(61, Lookup{pMTPSvr}, pszKey);
}

int CLTPCreater::AddMTPSvr(MTPSVR* p) {
    return IsSendableRecord(p) &&
           Run(62, Command{}, p->MTPSvrName, p->Text2, p->Text3, p->Number5, p->Number6);
}

int CLTPCreater::ModifyMTPSvr(MTPSVR* p) {
    return IsSendableRecord(p) &&
           Run(63, Command{}, p->MTPSvrName, p->Text2, p->Text3, p->Number5, p->Number6);
}

int CLTPCreater::DeleteMTPSvr(const char* pszMTPSvrName) {
    return Run(64, Command{}, pszMTPSvrName);
}

int CLTPCreater::AddPathToProgram(PROGRAMPATH* p) {
    return IsSendableRecord(p) &&
           Run(59, Command{}, p->ProgramID, p->ProgramPath, p->Real3, p->Real4);
}

int CLTPCreater::GetProgramPath(LONG nProgramID, CList<PROGRAMPATH*, PROGRAMPATH*>* pList) {
    return Run(65, List{pList}, nProgramID);
}

int CLTPCreater::DelPathFromProgram(LONG nProgramID, const char* pszProgramPath) {
    return Run(66, Command{}, nProgramID, pszProgramPath);
}
