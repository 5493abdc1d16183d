#include "ltpadmin/platform/cstring.h"

#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Room guessed for a conversion other than a string: a number of any width, a pointer.
const size_t kRoomPerConversion = 32;
// Below this the text is formatted on the stack first.
const size_t kSmall = 512;

// A guess at the formatted text's length, good enough to format it in one pass: the literal
// text, the length of every string argument, and some room for every other conversion. A short
// guess costs a second pass, never a wrong text. 0 when the format holds a conversion that is not
// known here.
size_t GuessLength(const char* f, va_list args) {
    size_t guess = 0;
    while (*f) {
        if (*f++ != '%') {
            ++guess;
            continue;
        }
        if (*f == '%') {
            ++f;
            ++guess;
            continue;
        }
        while (*f && std::strchr("-+ #0'", *f))
            ++f;
        size_t width = 0;
        if (*f == '*') {
            ++f;
            width = static_cast<size_t>(std::abs(va_arg(args, int)));
        } else {
            while (std::isdigit(static_cast<unsigned char>(*f)))
                width = width * 10 + static_cast<size_t>(*f++ - '0');
        }
        long precision = -1;
        if (*f == '.') {
            ++f;
            if (*f == '*') {
                ++f;
                precision = va_arg(args, int);
            } else {
                precision = 0;
                while (std::isdigit(static_cast<unsigned char>(*f)))
                    precision = precision * 10 + (*f++ - '0');
            }
        }
        int longs = 0; // l or ll
        char size = 0; // h, z, j, t, L
        for (;; ++f) {
            if (*f == 'l')
                ++longs;
            else if (*f == 'h' || *f == 'z' || *f == 'j' || *f == 't' || *f == 'L' || *f == 'q')
                size = *f;
            else
                break;
        }
        guess += width;
        switch (*f++) {
            case 'd':
            case 'i':
            case 'o':
            case 'u':
            case 'x':
            case 'X':
                if (longs >= 2 || size == 'q' || size == 'L')
                    va_arg(args, long long);
                else if (longs == 1)
                    va_arg(args, long);
                else if (size == 'z')
                    va_arg(args, size_t);
                else if (size == 'j')
                    va_arg(args, intmax_t);
                else if (size == 't')
                    va_arg(args, ptrdiff_t);
                else
                    va_arg(args, int);
                guess += kRoomPerConversion;
                break;
            case 'c':
                va_arg(args, int);
                guess += 1;
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (size == 'L')
                    va_arg(args, long double);
                else
                    va_arg(args, double);
                guess += kRoomPerConversion + (precision > 0 ? static_cast<size_t>(precision) : 0);
                break;
            case 's': {
                if (longs > 0)
                    return 0; // wide text
                const char* text = va_arg(args, const char*);
                if (!text)
                    guess += 6;          // "(null)"
                else if (precision >= 0) // may be an array without a terminating zero
                    guess += strnlen(text, static_cast<size_t>(precision));
                else
                    guess += std::strlen(text);
                break;
            }
            case 'p':
                va_arg(args, void*);
                guess += kRoomPerConversion;
                break;
            default:
                return 0;
        }
    }
    return guess;
}

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
    va_copy(probe, args);
    const size_t guess = GuessLength(pszFormat, probe);
    va_end(probe);
    va_list again;
    va_copy(again, args);
    int n;
    if (guess < kSmall) {
        char small[kSmall];
        n = std::vsnprintf(small, sizeof small, pszFormat, args);
        if (n >= 0 && static_cast<size_t>(n) < sizeof small)
            text.assign(small, static_cast<size_t>(n));
    } else {
        // Large texts (a whole information text) are formatted straight into their string, in
        // one pass when the guess holds.
        text.resize(guess);
        n = std::vsnprintf(&text[0], guess + 1, pszFormat, args);
        if (n >= 0 && static_cast<size_t>(n) <= guess)
            text.resize(static_cast<size_t>(n));
    }
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) != text.size()) {
        text.resize(static_cast<size_t>(n));
        std::vsnprintf(&text[0], static_cast<size_t>(n) + 1, pszFormat, again);
    }
    va_end(again);
    if (n < 0)
        text.clear();
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
