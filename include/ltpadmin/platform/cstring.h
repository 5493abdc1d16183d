// CString: the class library's string of ANSI bytes, reduced to what the library and its tools use.
#pragma once

#include "ltpadmin/export.h"

#include <string>

// The conversions Format understands: C99's. On mingw printf alone would mean the system's older
// ones, while the C++ library there formats with mingw's C99 implementation.
#if defined(__MINGW32__)
#define LTPADMIN_PRINTF gnu_printf
#else
#define LTPADMIN_PRINTF printf
#endif

class LTPADMIN_API CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* pch, int nLength) : m_str(pch, pch ? nLength : 0) {}
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char* psz) {
        m_str.assign(psz ? psz : "");
        return *this;
    }

    // printf-style formatting into this string, replacing its content.
    void Format(const char* pszFormat, ...) __attribute__((format(LTPADMIN_PRINTF, 2, 3)));

    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const char* psz) {
        if (psz)
            m_str += psz;
        return *this;
    }
    CString& operator+=(char ch) {
        m_str += ch;
        return *this;
    }
    // Appends nLength bytes of pch (no terminating zero needed).
    void Append(const char* pch, int nLength) {
        if (pch && nLength > 0)
            m_str.append(pch, static_cast<size_t>(nLength));
    }
    // Makes room for nLength bytes in all, so that appending up to there copies nothing again.
    void Preallocate(int nLength) {
        if (nLength > 0)
            m_str.reserve(static_cast<size_t>(nLength));
    }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    char GetAt(int nIndex) const { return m_str[static_cast<size_t>(nIndex)]; }
    char operator[](int nIndex) const { return GetAt(nIndex); }
    // Index of the first occurrence, or -1.
    int Find(char ch, int nStart = 0) const;
    int Find(const char* pszSub, int nStart = 0) const;

    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }
    friend CString operator+(const CString& a, const CString& b) {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const CString& a, const char* b) {
        CString r(a);
        r += b;
        return r;
    }

private:
    std::string m_str;
};
