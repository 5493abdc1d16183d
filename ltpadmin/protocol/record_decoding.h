// Decoding a record element by its description, apart from where the values go: a store takes
// each field's value by its index in the description, so that the library's fixed records and
// records of other shapes are read by the same code.
#pragma once

#include <cstddef>

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/protocol/element.h"
#include "ltpadmin/protocol/record_fields.h"
#include "ltpadmin/protocol/text_scanner.h"

namespace ltp::detail {

// Reads the first element with the description's tag in the text, handing each field in wire
// order to store.Text(index, span), store.Whole(index, value) or store.Decimal(index, value) (dates
// included). Returns false, storing nothing, when there is no such element. Fields are separated
// by "|"; the last one ends at the "<" of the closing tag. Whole numbers are digits only, without
// sign, their 32-bit pattern kept unchanged.
template <class Store>
bool DecodeFields(const char* text, UINT length, const RecordDescription& description,
                  Store& store) {
    CTextScanner scanner(text, length);
    if (!OpenElement(scanner, description.tag, static_cast<UINT>(description.tagLength)))
        return false;
    for (std::size_t i = 0; i < description.count; ++i) {
        const bool last = i + 1 == description.count;
        const char end = last ? '<' : '|';
        if (description.fields[i].kind == FieldKind::Text) {
            store.Text(i, scanner.SkipTo(end));
            scanner.Match(end);
            continue;
        }
        if (description.fields[i].kind == FieldKind::Whole)
            store.Whole(i, static_cast<LONG>(scanner.ReadUnsigned()));
        else
            store.Decimal(i, scanner.ReadDecimal());
        if (!last) {
            scanner.SkipTo('|');
            scanner.Match('|');
        }
    }
    return true;
}

} // namespace ltp::detail
