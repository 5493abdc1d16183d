#include "tools/ltpd/code_page.h"

#include "tools/ltpd/library.h"

namespace ltpd {

bool CodePage::Select(unsigned codePage) {
    if (!IsValidCodePage(codePage))
        return false;
    for (unsigned b = 0; b < 256; ++b)
        m_lead[b] = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b)) != FALSE;
    m_number = codePage;
    return true;
}

} // namespace ltpd
