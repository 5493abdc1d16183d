#include "ltpadmin/protocol/text_scanner.h"

#include "ltpadmin/platform/codepage.h"

#include <cstring>

namespace ltp::detail {
namespace {

constexpr CCharSet MakeNameEndSet() {
    CCharSet s{};
    for (int b = 0; b < 256; ++b)
        s.member[b] = IsNameByte(b) ? 0 : 1;
    return s;
}

constexpr CCharSet MakeLineEndSet() {
    CCharSet s{};
    s.member[static_cast<BYTE>('\r')] = 1;
    s.member[static_cast<BYTE>('\n')] = 1;
    return s;
}

constexpr CCharSet MakeNonBlankSet() {
    CCharSet s{};
    for (int b = 0; b < 256; ++b)
        s.member[b] = (b == ' ' || b == '\t') ? 0 : 1;
    return s;
}

constexpr CFoldTable MakeFold() {
    CFoldTable f{};
    for (int b = 0; b < 128; ++b)
        f.to[b] = static_cast<BYTE>((b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b);
    return f;
}

} // namespace

const CCharSet kNameEndSet = MakeNameEndSet();
const CCharSet kLineEndSet = MakeLineEndSet();
const CCharSet kNonBlankSet = MakeNonBlankSet();
const CFoldTable kLowercaseFold = MakeFold();

} // namespace ltp::detail

namespace {
BYTE FoldByte(BYTE b) {
    return b < 128 ? ltp::detail::kLowercaseFold.to[b] : b;
}
} // namespace

bool CTextSpan::EqualsNoCase(const char* text, UINT textLength) const {
    if (textLength != length)
        return false;
    const BYTE* a = reinterpret_cast<const BYTE*>(start);
    const BYTE* b = reinterpret_cast<const BYTE*>(text);
    for (UINT i = 0; i < length; ++i)
        if (FoldByte(a[i]) != FoldByte(b[i]))
            return false;
    return true;
}

CTextScanner::CTextScanner(const CTextSpan& span) : CTextScanner(span.start, span.length) {}

CTextScanner::CTextScanner(const char* start, UINT length)
    : CTextScanner(start, length, GetACPLeadByteTable()) {}

CTextScanner::CTextScanner(const char* start, UINT length, const BYTE* leadBytes)
    : m_pStart(start), m_pCursor(start), m_pEnd(start ? start + length : start),
      m_pLeadBytes(leadBytes), m_bSingleByte(!HasLeadBytes(m_pLeadBytes)) {}

const char* CTextScanner::StepTo(char first, char second) const {
    const char* p = m_pCursor;
    while (p < m_pEnd) {
        const BYTE b = static_cast<BYTE>(*p);
        if (*p == first || *p == second)
            break;
        // A lead byte in the last position must not carry the cursor past end.
        if (m_pLeadBytes[b] && m_pEnd - p >= 2)
            p += 2;
        else if (m_pLeadBytes[b])
            p = m_pEnd;
        else
            p += 1;
    }
    return p;
}

double CTextScanner::ReadDecimal() {
    // One rounding per step, in this order: callers compare against values read exactly so,
    // so no fused multiply-add and no correctly rounded conversion.
    double sum = 0.0;
    while (m_pCursor < m_pEnd && *m_pCursor >= '0' && *m_pCursor <= '9') {
        sum = sum * 10.0;
        sum = sum + static_cast<double>(*m_pCursor - '0');
        ++m_pCursor;
    }
    if (m_pCursor < m_pEnd && *m_pCursor == '.')
        ++m_pCursor;
    double weight = 0.1;
    while (m_pCursor < m_pEnd && *m_pCursor >= '0' && *m_pCursor <= '9') {
        const double term = static_cast<double>(*m_pCursor - '0') * weight;
        sum = sum + term;
        weight = weight * 0.1;
        ++m_pCursor;
    }
    return sum;
}

bool CTextScanner::MatchLineEnd() {
    if (m_pCursor >= m_pEnd || (*m_pCursor != '\r' && *m_pCursor != '\n'))
        return false;
    const bool cr = *m_pCursor == '\r';
    ++m_pCursor;
    if (cr && m_pCursor < m_pEnd && *m_pCursor == '\n')
        ++m_pCursor;
    return true;
}
