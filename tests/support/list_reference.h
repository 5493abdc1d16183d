// What the modern client's list decoding must give, for the tests and the fuzz target that hold it
// to that: one walk over the whole body, each span decoded on its own.
#pragma once

#include <vector>

#include "ltpadmin/client/decode.h"

namespace ltptest {

template <class T>
std::vector<T> WalkWhole(const char* body, std::size_t length, const unsigned char* lead) {
    std::vector<T> records;
    ltp::detail::CRecordWalk walk(body, static_cast<ULONG>(length), lead);
    const char* span = nullptr;
    UINT span_length = 0;
    while (walk.Next(span, span_length)) {
        CTextScanner scanner(span, span_length, lead);
        T record;
        if (ltp::detail::DecodeRecord(scanner, record))
            records.push_back(record);
    }
    return records;
}

// Every field equal.
template <class T> bool SameFields(const T& a, const T& b) {
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        const bool same = f.text      ? a.*f.text == b.*f.text
                          : f.integer ? a.*f.integer == b.*f.integer
                                      : a.*f.decimal == b.*f.decimal;
        if (!same)
            return false;
    }
    return true;
}

} // namespace ltptest
