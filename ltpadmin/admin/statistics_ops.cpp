// Usage statistics and the most used programs over a period.
#include "ltpadmin/admin/cycle.h"

using namespace ltp::form;

int CLTPCreater::GetUserProgramStatistics(const char* pszUserName, double dStart, double dStop,
                                          CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*>* pList) {
    return Run(56, List{pList}, pszUserName, dStart, dStop);
}

int CLTPCreater::GetProgramStatistics(LONG nProgramID, double dStart, double dStop,
                                      CList<PROGRAMSTATISTIC*, PROGRAMSTATISTIC*>* pList) {
    return Run(57, List{pList}, nProgramID, dStart, dStop);
}

int CLTPCreater::GetTOPPrograms(int nCount, double dStart, double dStop,
                                CList<tagTOPPrgoram*, tagTOPPrgoram*>* pList) {
    return Run(58, List{pList}, nCount, dStart, dStop);
}
