#include "ltpadmin/protocol/response.h"

#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/element.h"

#include <cstring>

namespace ltp::detail {

int ParseResponse(const char* data, ULONG length, CString& errorText) {
    if (length == 0)
        return 0;
    CTextScanner scanner(data, length);
    // The code follows the first blank; the version token before it is not read.
    scanner.SkipTo(' ');
    scanner.SkipUntil(kNonBlankSet);
    while (scanner.Match('0')) {
    }
    // The read wraps past 2^32: only three significant digits make the code 200 itself.
    const char* digits = scanner.Cursor();
    if (scanner.ReadUnsigned() == 200 && scanner.Cursor() - digits == 3)
        return 1;
    // The reason keeps the blank that separates it from the code.
    const CTextSpan reason = scanner.SkipUntil(kLineEndSet);
    errorText = CString(reason.start, static_cast<int>(reason.length));
    return 0;
}

UINT GetParamCount(const char* data, ULONG length) {
    if (data != nullptr && !HasLeadBytes(GetACPLeadByteTable())) {
        // No trail bytes to step over: every "<" counts, and a plain count (which the compiler
        // vectorises) reads the response once without a search per bracket.
        UINT opened = 0;
        for (ULONG i = 0; i < length; ++i)
            opened += data[i] == '<';
        return opened / 2;
    }
    CTextScanner scanner(data, length);
    scanner.SkipTo('<');
    if (!scanner.Match('<'))
        return 0;
    UINT opened = 0;
    do {
        scanner.SkipTo('<');
        ++opened;
    } while (scanner.Match('<'));
    // Every record element holds two "<": its opening and its closing tag.
    return opened / 2;
}

CRecordWalk::CRecordWalk(const char* data, ULONG length) : m_scanner(data, length) {}

CRecordWalk::CRecordWalk(const char* data, ULONG length, const BYTE* leadBytes)
    : m_scanner(data, length, leadBytes) {}

bool CRecordWalk::Next(const char*& spanStart, UINT& spanLength) {
    m_scanner.SkipTo('<');
    if (!m_scanner.Match('<')) {
        // Walked further than the response has records: an empty span decodes to nothing.
        spanStart = m_scanner.Cursor();
        spanLength = 0;
        return false;
    }
    ++m_nOpenings;
    const char* start = m_scanner.Cursor() - 1;
    m_scanner.SkipTo('<');
    m_nOpenings += m_scanner.Match('<');
    m_nOpenings += m_scanner.Match('<');
    // Up to, not including, the closing tag's "<"; without one, the span stops one byte short of
    // the end, as the closing "<" would have.
    spanStart = start;
    spanLength = static_cast<UINT>(m_scanner.Cursor() - 1 - start);
    return true;
}

int GetParamIDValue(const char* text, UINT length, const char* tag, UINT tagLength, char* out,
                    UINT outSize) {
    CTextScanner scanner(text, length);
    if (!OpenElement(scanner, tag, tagLength))
        return 0;
    const CTextSpan value = scanner.SkipTo('<');
    scanner.Match('<');
    // A value that leaves no room for the caller's terminating zero is not copied at all.
    if (value.length < outSize && value.length != 0)
        std::memcpy(out, value.start, value.length);
    return 1;
}

const char* FindInformationBody(const char* data, ULONG length) {
    CTextScanner scanner(data, length);
    scanner.SkipUntil(kLineEndSet); // status line
    scanner.MatchLineEnd();
    // Header lines, however many, up to the blank line that ends the head.
    while (!scanner.AtEnd()) {
        const CTextSpan line = scanner.SkipUntil(kLineEndSet);
        scanner.MatchLineEnd();
        if (line.length == 0)
            break;
    }
    return scanner.Cursor();
}

} // namespace ltp::detail
