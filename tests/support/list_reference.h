// What the modern client's list decoding must give, for the tests and the fuzz target that hold it
// to that: the list walk both faces share over the whole response, each span decoded on its own.
#pragma once

#include <vector>

#include "ltpadmin/client/decode.h"

namespace ltptest {

template <class T>
std::vector<T> WalkWhole(const char* body, std::size_t length, const unsigned char* lead) {
    struct Collect {
        const unsigned char* lead;
        std::vector<T> records;
        bool Span(const char* span, UINT span_length) {
            CTextScanner scanner(span, span_length, lead);
            ltp::detail::DecodeRecord(scanner, records.emplace_back());
            return true;
        }
        void DropLast() { records.pop_back(); }
        bool Blank() {
            records.emplace_back();
            return true;
        }
    } collect{lead, {}};
    ltp::detail::WalkList(body, static_cast<ULONG>(length), lead, collect);
    return collect.records;
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
