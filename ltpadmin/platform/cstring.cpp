#include "ltpadmin/platform/cstring.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void CString::Format(const char* pszFormat, ...) {
    char small[512];
    va_list args;
    va_start(args, pszFormat);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, pszFormat, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        m_str.clear();
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        m_str.assign(small, static_cast<size_t>(n));
    } else {
        // Large texts (a whole information text) are formatted straight into the string.
        m_str.resize(static_cast<size_t>(n));
        std::vsnprintf(&m_str[0], static_cast<size_t>(n) + 1, pszFormat, again);
    }
    va_end(again);
}

int CString::Find(char ch, int nStart) const {
    if (nStart < 0 || static_cast<size_t>(nStart) >= m_str.size())
        return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* pszSub, int nStart) const {
    if (!pszSub || nStart < 0 || static_cast<size_t>(nStart) > m_str.size())
        return -1;
    size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}
