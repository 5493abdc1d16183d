#include "ltpadmin/protocol/record_list.h"

#include "ltpadmin/protocol/element.h"

namespace ltp::detail {

namespace {

// Whether the text holds two "<" at least (double-byte characters stepped over): a count of one
// record or more.
bool CountsARecord(const char* data, ULONG length, const BYTE* leadBytes) {
    CTextScanner scanner(data, length, leadBytes);
    for (int seen = 0; seen < 2; ++seen) {
        scanner.SkipTo('<');
        if (!scanner.Match('<'))
            return false;
    }
    return true;
}

} // namespace

bool FirstRecordSpan(const char* data, ULONG length, const BYTE* leadBytes, const char*& start,
                     UINT& spanLength) {
    if (!CountsARecord(data, length, leadBytes))
        return false;
    CRecordWalk walk(data, length, leadBytes);
    walk.Next(start, spanLength);
    return true;
}

bool LookupSpan(const char* text, UINT length, const BYTE* leadBytes, const char* tag,
                UINT tagLength, UINT& spanLength) {
    CTextScanner scanner(text, length, leadBytes);
    if (!OpenElement(scanner, tag, tagLength))
        return false;
    scanner.SkipTo('<');
    spanLength = static_cast<UINT>(scanner.Cursor() - text);
    return true;
}

} // namespace ltp::detail
