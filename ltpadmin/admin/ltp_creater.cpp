// CLTPCreater as an object: construction, copying, the notification window, the status check and
// the decoders it offers to derived classes (all of them read through the protocol layer).
#include "ltpadmin/admin/ltp_creater.h"

#include "ltpadmin/protocol/response.h"

namespace {

// The int-length decoders take a signed count; a negative one reads nothing.
UINT CountOf(int nLength) {
    return nLength < 0 ? 0 : static_cast<UINT>(nLength);
}

} // namespace

CLTPCreater::CLTPCreater() = default;
CLTPCreater::CLTPCreater(const CLTPCreater& other) = default;
CLTPCreater& CLTPCreater::operator=(const CLTPCreater& other) = default;
CLTPCreater::~CLTPCreater() = default;

void CLTPCreater::SetNotifyWnd(HWND hWnd) {
    CServerAdmin::SetNotifyWnd(hWnd);
}

int CLTPCreater::ParseResponse(CMessage& response) {
    return ltp::detail::ParseResponse(response.GetData(), response.GetLength(), m_strErrorText);
}

CString CLTPCreater::GetErrorDescription() {
    return m_strErrorText;
}

UINT CLTPCreater::GetParamCount(CMessage& response) {
    return ltp::detail::GetParamCount(response.GetData(), response.GetLength());
}

int CLTPCreater::GetParamUserValue(char* pszText, UINT nLength, tagUser* pUser) {
    return ltp::detail::DecodeRecord(pszText, nLength, pUser);
}

int CLTPCreater::GetParamGroupValue(char* pszText, UINT nLength, tagGroup* pGroup) {
    return ltp::detail::DecodeRecord(pszText, nLength, pGroup);
}

int CLTPCreater::GetParamProgramValue(char* pszText, UINT nLength, tagProgram* pProgram) {
    return ltp::detail::DecodeRecord(pszText, nLength, pProgram);
}

int CLTPCreater::GetParamProgramStatisticValue(char* pszText, int nLength,
                                               PROGRAMSTATISTIC* pStatistic) {
    return ltp::detail::DecodeRecord(pszText, CountOf(nLength), pStatistic);
}

int CLTPCreater::GetParamChannelValue(char* pszText, UINT nLength, tagChannel* pChannel) {
    return ltp::detail::DecodeRecord(pszText, nLength, pChannel);
}

int CLTPCreater::GetParamScheduleValue(char* pszText, UINT nLength, tagSchedule* pSchedule) {
    return ltp::detail::DecodeRecord(pszText, nLength, pSchedule);
}

int CLTPCreater::GetParamTOPProgramValue(char* pszText, int nLength, tagTOPPrgoram* pTOPProgram) {
    return ltp::detail::DecodeRecord(pszText, CountOf(nLength), pTOPProgram);
}

int CLTPCreater::GetParamGlobalValue(char* pszText, UINT nLength, tagGlobal* pGlobal) {
    return ltp::detail::DecodeRecord(pszText, nLength, pGlobal);
}

int CLTPCreater::GetParamMTPSvrValue(char* pszText, int nLength, MTPSVR* pMTPSvr) {
    return ltp::detail::DecodeRecord(pszText, CountOf(nLength), pMTPSvr);
}

int CLTPCreater::GetParamProgramPathValue(char* pszText, int nLength, PROGRAMPATH* pProgramPath) {
    return ltp::detail::DecodeRecord(pszText, CountOf(nLength), pProgramPath);
}

int CLTPCreater::GetParamEventValue(char* pszText, UINT nLength, tagLogEvent* pEvent) {
    return ltp::detail::DecodeRecord(pszText, nLength, pEvent);
}

int CLTPCreater::GetParamSysInfoValue(char* pszText, UINT nLength, tagSysInfo* pSysInfo) {
    return ltp::detail::DecodeRecord(pszText, nLength, pSysInfo);
}

int CLTPCreater::GetParamIDValue(char* pszText, UINT nLength, char* pszTag, UINT nTagLength,
                                 char* pszOut, UINT nOutSize) {
    return ltp::detail::GetParamIDValue(pszText, nLength, pszTag, nTagLength, pszOut, nOutSize);
}
