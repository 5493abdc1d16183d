#include "tools/ltpd/code_page.h"

#include <ltpadmin/ltpadmin.h>

namespace ltpd {

bool CodePage::Select(unsigned codePage) {
    if (codePage == 1252) {
        m_lead.fill(false);
        m_number = codePage;
        return true;
    }
    if (codePage != 932 && codePage != 936 && codePage != 949 && codePage != 950)
        return false;
    for (unsigned b = 0; b < 256; ++b)
        m_lead[b] = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b)) != FALSE;
    m_number = codePage;
    return true;
}

} // namespace ltpd
