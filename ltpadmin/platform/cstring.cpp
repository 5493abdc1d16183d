#include "ltpadmin/platform/cstring.h"

#include <charconv>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

// Texts up to this long are formatted on the stack, in one pass; a longer one is formatted once
// more, straight into a string of its exact length.
const size_t kSmall = 1024;

// Formats the common templates, literal text with plain "%s", "%d" and "%%", without printf:
// one pass to measure, one to copy, and no second formatting. False (out untouched) when the
// format holds anything else.
bool FormatPlain(std::string& out, const char* f, va_list args) {
    struct Piece {
        const char* text;
        size_t length;
    };
    const size_t kMaxPieces = 64;
    Piece pieces[kMaxPieces];
    char numbers[kMaxPieces][12]; // "-2147483648"
    size_t count = 0;
    size_t total = 0;
    const char* literal = f;
    for (const char* p = f;; ++p) {
        if (*p != '%' && *p != '\0')
            continue;
        if (p > literal) {
            if (count == kMaxPieces)
                return false;
            pieces[count++] = {literal, static_cast<size_t>(p - literal)};
        }
        if (*p == '\0')
            break;
        if (count == kMaxPieces)
            return false;
        switch (p[1]) {
            case '%':
                pieces[count++] = {"%", 1};
                break;
            case 's': {
                const char* text = va_arg(args, const char*);
                if (!text)
                    text = "(null)"; // as printf writes it
                pieces[count++] = {text, std::strlen(text)};
                break;
            }
            case 'd': {
                char* digits = numbers[count];
                const std::to_chars_result r =
                    std::to_chars(digits, digits + sizeof numbers[0], va_arg(args, int));
                pieces[count++] = {digits, static_cast<size_t>(r.ptr - digits)};
                break;
            }
            default:
                return false;
        }
        ++p;
        literal = p + 1;
    }
    for (size_t i = 0; i < count; ++i)
        total += pieces[i].length;
    out.reserve(total);
    for (size_t i = 0; i < count; ++i)
        out.append(pieces[i].text, pieces[i].length);
    return true;
}

} // namespace

void CString::Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    // Formatted apart from m_str, which may be one of the arguments.
    std::string text;
    va_list probe;
    va_copy(probe, args);
    const bool plain = FormatPlain(text, pszFormat, probe);
    va_end(probe);
    if (plain) {
        va_end(args);
        m_str = std::move(text);
        return;
    }
    char small[kSmall];
    va_copy(probe, args);
    const int n = std::vsnprintf(small, sizeof small, pszFormat, probe);
    va_end(probe);
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        text.assign(small, static_cast<size_t>(n));
    } else if (n >= 0) {
        text.resize(static_cast<size_t>(n));
        std::vsnprintf(&text[0], static_cast<size_t>(n) + 1, pszFormat, args);
    }
    va_end(args);
    m_str = std::move(text);
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
