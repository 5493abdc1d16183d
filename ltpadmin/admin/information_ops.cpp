// The server as a whole: its information text, its system information and its log.
#include "ltpadmin/admin/cycle.h"

using ltp::detail::Row;
using namespace ltp::detail::form;

// The text is the whole body, counted by Content-Length, and goes out as it is.
int CLTPCreater::AddInfomation(char* pszText) {
    return Run<Row::AddInfomation>(StatusOnly{}, pszText);
}

int CLTPCreater::GetInfomation(char** ppszText) {
    return Run<Row::GetInfomation>(BodyText{ppszText});
}

int CLTPCreater::GetSysInfo(tagSysInfo* pSysInfo) {
    return Run<Row::GetSysInfo>(FirstRecord{pSysInfo});
}

int CLTPCreater::GetAllLogEvents(CList<tagLogEvent*, tagLogEvent*>* pList) {
    return Run<Row::GetAllLogEvents>(List{pList});
}

int CLTPCreater::ClearLogEvents() {
    return Run<Row::ClearLogEvents>(StatusOnly{});
}
