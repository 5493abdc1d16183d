// Decoding a record element by its description, apart from where the values go: a store takes
// each field's value by its index in the description, so that the library's fixed records and
// records of other shapes are read by the same code.
#pragma once

#include <cstddef>
#include <type_traits>

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/protocol/element.h"
#include "ltpadmin/protocol/record_fields.h"
#include "ltpadmin/protocol/text_scanner.h"

namespace ltp::detail {

// Whether a store reads whole numbers and decimals with their sign ("-5" as -5). The library's
// fixed records read digits only, as they always have; a store opts in with
// `static constexpr bool kSigned = true;`.
template <class Store, class = void> struct ReadsSign : std::false_type {};
template <class Store>
struct ReadsSign<Store, std::void_t<decltype(Store::kSigned)>>
    : std::integral_constant<bool, Store::kSigned> {};

// Hands the fields that follow an open tag to the store, in wire order, and stops after the last
// one. Each field but the last ends at "|"; the last one at "<". With kStopAtOpening every field
// also ends at a "<", so the fields end where the element's span in a record walk (CRecordWalk)
// ends.
template <bool kStopAtOpening, class Store>
void ReadFields(CTextScanner& scanner, const RecordDescription& description, Store& store) {
    const auto skip_field = [&scanner] {
        return kStopAtOpening ? scanner.SkipToEither('|', '<') : scanner.SkipTo('|');
    };
    for (std::size_t i = 0; i < description.count; ++i) {
        const bool last = i + 1 == description.count;
        if (description.fields[i].kind == FieldKind::Text) {
            store.Text(i, last ? scanner.SkipTo('<') : skip_field());
            if (!last)
                scanner.Match('|');
            continue;
        }
        const bool negative = ReadsSign<Store>::value && scanner.Match('-');
        if (description.fields[i].kind == FieldKind::Whole) {
            const UINT digits = scanner.ReadUnsigned();
            store.Whole(i, static_cast<LONG>(negative ? 0u - digits : digits));
        } else {
            const double value = scanner.ReadDecimal();
            store.Decimal(i, negative ? -value : value);
        }
        if (!last) {
            skip_field();
            scanner.Match('|');
        }
    }
}

// Reads the first element with the description's tag that the scanner reaches, handing each field
// in wire order to store.Text(index, span), store.Whole(index, value) or store.Decimal(index,
// value) (dates included). Returns false, storing nothing, when there is no such element. Fields
// are separated by "|"; the last one ends at the "<" of the closing tag. Whole numbers are digits
// only, their 32-bit pattern kept unchanged; a store that reads signs also takes a leading "-".
template <class Store>
bool DecodeFields(CTextScanner& scanner, const RecordDescription& description, Store& store) {
    if (!OpenElement(scanner, description.tag, static_cast<UINT>(description.tagLength)))
        return false;
    ReadFields<false>(scanner, description, store);
    if (description.fields[description.count - 1].kind == FieldKind::Text)
        scanner.Match('<');
    return true;
}

// Reads, in one pass, the element whose open tag is exactly "<tag>" (the tag in any case) at the
// scanner's cursor, with the values DecodeFields reads from the element's span in a record walk.
// Leaves the scanner at the first "<" after the open tag, the one that ends that span, or at the
// end when there is none. Returns false, storing nothing and leaving the cursor, when the cursor
// is at no such open tag.
template <class Store>
bool DecodeElementAt(CTextScanner& scanner, const RecordDescription& description, Store& store) {
    const UINT tagLength = static_cast<UINT>(description.tagLength);
    const char* open = scanner.Cursor();
    if (static_cast<std::size_t>(scanner.End() - open) < tagLength + 2u || open[0] != '<' ||
        open[tagLength + 1] != '>' ||
        !CTextSpan{open + 1, tagLength}.EqualsNoCase(description.tag, tagLength))
        return false;
    scanner.Advance(tagLength + 2);
    ReadFields<true>(scanner, description, store);
    scanner.SkipTo('<'); // a number last stops at its last digit
    return true;
}

// The same over text read in the process's code page.
template <class Store>
bool DecodeFields(const char* text, UINT length, const RecordDescription& description,
                  Store& store) {
    CTextScanner scanner(text, length);
    return DecodeFields(scanner, description, store);
}

} // namespace ltp::detail
