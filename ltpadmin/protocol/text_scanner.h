// A forward-only cursor over response text, read in place. Nothing is copied: the scanner hands out
// spans that point into the buffer it walks, which must stay unchanged while they are in use.
#pragma once

#include "ltpadmin/platform/win32_types.h"

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A counted piece of text owned elsewhere. start may be null when length is 0.
struct CTextSpan {
    const char* start = nullptr;
    UINT length = 0;

    // Same length and the same bytes, ASCII letters compared without case; bytes 0x80 to 0xFF
    // compare as they are. text needs no terminating zero.
    bool EqualsNoCase(const char* text, UINT textLength) const;
};

// A set of bytes: non-zero entries are members.
struct CCharSet {
    BYTE member[256];
};

// Maps "A" to "Z" to "a" to "z" and every other value of 0x00 to 0x7F to itself; bytes 0x80 to
// 0xFF are not folded.
struct CFoldTable {
    BYTE to[128];
};

class CTextScanner {
public:
    explicit CTextScanner(const CTextSpan& span);
    CTextScanner(const char* start, UINT length);
    // Steps over the double-byte characters of the code page whose lead-byte table is given
    // (GetLeadByteTable) instead of the process's.
    CTextScanner(const char* start, UINT length, const BYTE* leadBytes);

    // The next byte to read.
    const char* Cursor() const { return m_pCursor; }
    const char* End() const { return m_pEnd; }
    const char* SpanStart() const { return m_pStart; }
    bool AtEnd() const { return m_pCursor == m_pEnd; }

    // Advances to the next wanted byte (not consumed), stepping over whole double-byte characters
    // of the process's ANSI code page so that a trail byte is never taken for the wanted byte.
    // Stops at end when there is none. Returns the span passed over, also through passed.
    CTextSpan SkipTo(char wanted, CTextSpan* passed = nullptr) {
        const char* from = m_pCursor;
        m_pCursor = m_bSingleByte ? FindByte(m_pCursor, m_pEnd, wanted) : StepTo(wanted, wanted);
        return Passed(from, passed);
    }
    // As SkipTo, to whichever of the two bytes comes first.
    CTextSpan SkipToEither(char first, char second) {
        const char* from = m_pCursor;
        m_pCursor =
            m_bSingleByte ? FindEither(m_pCursor, m_pEnd, first, second) : StepTo(first, second);
        return Passed(from, nullptr);
    }
    // Advances byte by byte to the next member of the set (not consumed), or to end.
    CTextSpan SkipUntil(const CCharSet& set, CTextSpan* passed = nullptr) {
        const char* from = m_pCursor;
        while (m_pCursor < m_pEnd && !set.member[static_cast<BYTE>(*m_pCursor)])
            ++m_pCursor;
        return Passed(from, passed);
    }
    // Consumes decimal digits; no sign, no blanks; wraps modulo 2^32.
    UINT ReadUnsigned() {
        UINT value = 0;
        while (m_pCursor < m_pEnd && *m_pCursor >= '0' && *m_pCursor <= '9') {
            value = value * 10u + static_cast<UINT>(*m_pCursor - '0');
            ++m_pCursor;
        }
        return value;
    }
    // Consumes digits, an optional ".", and fraction digits. Each digit is added in its own
    // rounding step (0.3 reads as 3 * 0.1); no sign, no exponent.
    double ReadDecimal();
    // Consumes the wanted byte when it is next.
    bool Match(char wanted) {
        if (m_pCursor < m_pEnd && *m_pCursor == wanted) {
            ++m_pCursor;
            return true;
        }
        return false;
    }
    // Consumes one line end: "\r\n", "\r" or "\n".
    bool MatchLineEnd();
    // Consumes count bytes, which the caller has seen are there.
    void Advance(UINT count) { m_pCursor += count; }

    // The first byte equal to wanted in [p, end), or end. Fields are short, so the bytes are
    // compared sixteen (or eight) at a time here instead of in a library call per field.
    static const char* FindByte(const char* p, const char* end, char wanted) {
        return Find<false>(p, end, wanted, wanted);
    }
    // The first byte equal to either in [p, end), or end.
    static const char* FindEither(const char* p, const char* end, char first, char second) {
        return Find<true>(p, end, first, second);
    }

private:
    template <bool kTwo>
    static const char* Find(const char* p, const char* end, char first, char second) {
#if defined(__SSE2__)
        const __m128i first16 = _mm_set1_epi8(first);
        const __m128i second16 = _mm_set1_epi8(second);
        while (end - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            __m128i equal = _mm_cmpeq_epi8(bytes, first16);
            if constexpr (kTwo)
                equal = _mm_or_si128(equal, _mm_cmpeq_epi8(bytes, second16));
            const int found = _mm_movemask_epi8(equal);
            if (found != 0)
                return p + __builtin_ctz(static_cast<unsigned>(found));
            p += 16;
        }
#endif
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        const std::uint64_t ones = 0x0101010101010101ull;
        const std::uint64_t highs = 0x8080808080808080ull;
        const auto zeros_of = [&](std::uint64_t word, char wanted) {
            word ^= ones * static_cast<BYTE>(wanted); // a zero byte where the wanted byte is
            // The lowest flagged byte is always a true zero; flags above it may be false.
            return (word - ones) & ~word & highs;
        };
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            std::uint64_t zeros = zeros_of(word, first);
            if constexpr (kTwo)
                zeros |= zeros_of(word, second);
            if (zeros != 0)
                return p + (__builtin_ctzll(zeros) >> 3);
            p += 8;
        }
#endif
        while (p < end && *p != first && !(kTwo && *p == second))
            ++p;
        return p;
    }
    // SkipTo over double-byte text: one character at a time.
    const char* StepTo(char first, char second) const;
    CTextSpan Passed(const char* from, CTextSpan* passed) const {
        const CTextSpan span{from, static_cast<UINT>(m_pCursor - from)};
        if (passed)
            *passed = span;
        return span;
    }

    const char* m_pStart;
    const char* m_pCursor;
    const char* m_pEnd;
    const BYTE* m_pLeadBytes; // lead-byte table of the code page at construction
    bool m_bSingleByte;       // no lead bytes at all: a plain byte search will do
};

namespace ltp::detail {

// Whether a byte can be part of an element's name: ASCII letters, "-" and "_". The protocol's
// names hold no digits.
constexpr bool IsNameByte(int b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-' || b == '_';
}

// Bytes that end a tag name: all but those of IsNameByte.
extern const CCharSet kNameEndSet;
// CR and LF.
extern const CCharSet kLineEndSet;
// All but space and tab.
extern const CCharSet kNonBlankSet;
// The lowercase fold of ASCII letters.
extern const CFoldTable kLowercaseFold;

using ::CCharSet;
using ::CFoldTable;
using ::CTextScanner;
using ::CTextSpan;

} // namespace ltp::detail
