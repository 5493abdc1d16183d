// The twelve record decoders: one algorithm driven by each record's description.
#include "ltpadmin/protocol/response.h"

#include "ltpadmin/protocol/record_decoding.h"
#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/record_list.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace ltp::detail {
namespace {

// Stores into one of the library's records, at the offsets of its description. Too long a text is
// cut so that its terminating zero fits in the array. The zero is written: a record the caller
// reuses must not keep the tail of an older text.
class RecordStore {
public:
    RecordStore(const RecordDescription& description, void* record)
        : m_description(description), m_base(static_cast<char*>(record)) {}

    void Text(size_t i, const CTextSpan& value) {
        const size_t n = std::min<size_t>(value.length, m_description.fields[i].width - 1);
        if (n != 0) {
            std::memcpy(Field(i), value.start, n);
            Field(i)[n] = '\0';
        }
    }
    void Whole(size_t i, LONG value) { std::memcpy(Field(i), &value, sizeof value); }
    void Decimal(size_t i, double value) { std::memcpy(Field(i), &value, sizeof value); }

private:
    char* Field(size_t i) const { return m_base + m_description.offsets[i]; }

    const RecordDescription& m_description;
    char* m_base;
};

template <class Record> int Decode(const char* text, UINT length, Record* record) {
    const RecordDescription& description = DescriptionOf<Record>();
    RecordStore store(description, record);
    return DecodeFields(text, length, description, store) ? 1 : 0;
}

} // namespace

template <class Record> int DecodeElement(const char* text, UINT length, Record* record) {
    const RecordDescription& description = DescriptionOf<Record>();
    UINT spanLength = 0;
    if (!LookupSpan(text, length, GetACPLeadByteTable(), description.tag,
                    static_cast<UINT>(description.tagLength), spanLength))
        return 0;
    return DecodeRecord(text, spanLength, record);
}

template int DecodeElement(const char*, UINT, tagUser*);
template int DecodeElement(const char*, UINT, tagGroup*);
template int DecodeElement(const char*, UINT, tagProgram*);
template int DecodeElement(const char*, UINT, tagChannel*);
template int DecodeElement(const char*, UINT, tagSchedule*);
template int DecodeElement(const char*, UINT, tagGlobal*);
template int DecodeElement(const char*, UINT, tagLogEvent*);
template int DecodeElement(const char*, UINT, tagSysInfo*);
template int DecodeElement(const char*, UINT, tagTOPPrgoram*);
template int DecodeElement(const char*, UINT, PROGRAMSTATISTIC*);
template int DecodeElement(const char*, UINT, MTPSVR*);
template int DecodeElement(const char*, UINT, PROGRAMPATH*);

int DecodeRecord(const char* text, UINT length, tagUser* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagGroup* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagProgram* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagChannel* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagSchedule* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagGlobal* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagLogEvent* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagSysInfo* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, tagTOPPrgoram* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, PROGRAMSTATISTIC* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, MTPSVR* record) {
    return Decode(text, length, record);
}
int DecodeRecord(const char* text, UINT length, PROGRAMPATH* record) {
    return Decode(text, length, record);
}

} // namespace ltp::detail
