// The fields of the twelve records, described once: wire name, kind, width and wire order, and
// whether requests carry them. The decoders, the check of what a request would send, the tools and
// the test servers all read these, so a record's layout has one home. A description says nothing
// about where a field is kept; the library's own records add that as a parallel list of offsets,
// so that other record types (strings, say) can be filled through the same descriptions.
#pragma once

#include <cstddef>

#include "ltpadmin/protocol/records.h"

namespace ltp::detail {

enum class FieldKind : unsigned char {
    Text,    // char[width], zero-terminated; at most width - 1 bytes travel
    Whole,   // 32-bit signed number
    Decimal, // double
    Date,    // double holding a date (days since 1899-12-30); a decimal on the wire
};

struct FieldDescription {
    const char* name; // "Text2": the field's name in the record
    FieldKind kind;
    std::size_t width; // bytes of the field in the library's record (the array, for texts)
    bool sent;         // false for a field the server fills and requests never carry
};

struct RecordDescription {
    const char* tag; // element tag, "User"
    std::size_t tagLength;
    const FieldDescription* fields; // in wire order
    std::size_t count;
    const std::size_t* offsets; // where each field lies in the library's record, parallel to fields

    const FieldDescription* begin() const { return fields; }
    const FieldDescription* end() const { return fields + count; }
};

// The description of one of the twelve records.
template <class Record> const RecordDescription& DescriptionOf();

#define LTP_DECLARE_DESCRIPTION(Record)                                                            \
    template <> const RecordDescription& DescriptionOf<Record>();
LTP_DECLARE_DESCRIPTION(tagUser)
LTP_DECLARE_DESCRIPTION(tagGroup)
LTP_DECLARE_DESCRIPTION(tagProgram)
LTP_DECLARE_DESCRIPTION(tagChannel)
LTP_DECLARE_DESCRIPTION(tagSchedule)
LTP_DECLARE_DESCRIPTION(tagGlobal)
LTP_DECLARE_DESCRIPTION(tagLogEvent)
LTP_DECLARE_DESCRIPTION(tagSysInfo)
LTP_DECLARE_DESCRIPTION(tagTOPPrgoram)
LTP_DECLARE_DESCRIPTION(PROGRAMSTATISTIC)
LTP_DECLARE_DESCRIPTION(MTPSVR)
LTP_DECLARE_DESCRIPTION(PROGRAMPATH)
#undef LTP_DECLARE_DESCRIPTION

// Whether every text field a request carries ends inside its array (a request would otherwise
// carry whatever memory follows it).
bool TextsEndInside(const void* record, const RecordDescription& description);

} // namespace ltp::detail
