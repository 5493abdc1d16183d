// The server as a whole: its information text, its system information and its log.
#include "ltpadmin/admin/cycle.h"

using namespace ltp::form;

// The text is the whole body, counted by Content-Length, and goes out as it is.
int CLTPCreater::AddInfomation(char* pszText) {
    return Run(1, Command{}, pszText);
}

int CLTPCreater::GetInfomation(char** ppszText) {
    return Run(2, BodyText{ppszText});
}

int CLTPCreater::GetSysInfo(tagSysInfo* pSysInfo) {
    return Run(3, FirstRecord{pSysInfo});
}

int CLTPCreater::GetAllLogEvents(CList<tagLogEvent*, tagLogEvent*>* pList) {
    return Run(4, List{pList});
}

int CLTPCreater::ClearLogEvents() {
    return Run(5, Command{});
}
