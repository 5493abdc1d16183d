// Usage statistics and the most used programs over a period.
#include "ltpadmin/admin/cycle.h"

using ltp::detail::Row;
using namespace ltp::detail::form;

int CLTPCreater::GetUserProgramStatistics(const char* pszUserName, double dStart, double dStop,
                                          CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*>* pList) {
    return Run<Row::GetUserProgramStatistics>(List{pList}, pszUserName, dStart, dStop);
}

int CLTPCreater::GetProgramStatistics(LONG nProgramID, double dStart, double dStop,
                                      CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*>* pList) {
    return Run<Row::GetProgramStatistics>(List{pList}, nProgramID, dStart, dStop);
}

int CLTPCreater::GetTOPPrograms(int nCount, double dStart, double dStop,
                                CList<tagTOPPrgoram*, tagTOPPrgoram*>* pList) {
    return Run<Row::GetTOPPrograms>(List{pList}, nCount, dStart, dStop);
}
