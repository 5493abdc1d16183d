// Reading a whole response into the value types: its status, its records (through the records'
// descriptions and the protocol layer's decoder and record walk), a value element.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ltpadmin/client.h"
#include "ltpadmin/client/connection.h"
#include "ltpadmin/client/records.h"
#include "ltpadmin/protocol/record_decoding.h"
#include "ltpadmin/protocol/response.h"

namespace ltp::detail {

// A dry response (nothing was sent) reads as a success with nothing in it: status 200, no
// records, a value of 0.

// The status code; ProtocolError when the response has none.
int StatusCode(const Response& response);
// Throws Refused for any status but 200, ProtocolError when the response has no status code.
void CheckStatus(const Response& response);

// The number in the first element named tag; ProtocolError when there is none or it is no
// 32-bit number.
std::int32_t DecodeValue(const Response& response, const char* tag, const unsigned char* lead);

// Heap bytes a text holds beyond the string itself.
inline std::size_t HeapBytes(const std::string& text) {
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

// Takes the fields of one record element into a value type, counting the heap bytes of its texts.
// Numbers are read with their sign: a negative number comes back as it went out.
template <class T> struct ValueStore {
    static constexpr bool kSigned = true;
    T& record;
    const std::vector<Field<T>>& fields;
    std::size_t heap = 0;

    void Text(std::size_t i, const CTextSpan& span) {
        std::string& text = record.*fields[i].text;
        text.assign(span.start, span.length);
        heap += HeapBytes(text);
    }
    void Whole(std::size_t i, LONG value) { record.*fields[i].integer = value; }
    void Decimal(std::size_t i, double value) { record.*fields[i].decimal = value; }
};

// Fills record from the element of its tag that the scanner reaches first; false when none.
// Adds the heap bytes its texts hold to *heap.
template <class T>
bool DecodeRecord(CTextScanner& scanner, T& record, std::size_t* heap = nullptr) {
    ValueStore<T> store{record, fields<T>()};
    if (!DecodeFields(scanner, DescriptionFor<T>(), store))
        return false;
    if (heap != nullptr)
        *heap += store.heap;
    return true;
}

// Every record of the body in order. Throws TransportError (limit) once the records would hold
// more than most bytes.
template <class T>
std::vector<T> DecodeList(const Response& response, const unsigned char* lead, std::size_t most) {
    std::vector<T> records;
    const char* body = response.data + response.body_offset;
    const auto length = static_cast<ULONG>(response.length - response.body_offset);
    // Room for every record at once: each holds two "<", and growing would move them all again.
    records.reserve(GetParamCount(body, length));
    CRecordWalk walk(body, length, lead);
    const char* span = nullptr;
    UINT span_length = 0;
    std::size_t bytes = 0;
    while (walk.Next(span, span_length)) {
        CTextScanner scanner(span, span_length, lead);
        T record;
        if (!DecodeRecord(scanner, record, &bytes))
            continue;
        bytes += sizeof(T);
        if (bytes > most)
            throw TransportError(TransportError::Kind::limit, "",
                                 "the records of the response pass the limit of " +
                                     std::to_string(most) + " bytes");
        records.push_back(std::move(record));
    }
    return records;
}

// The first record of the body; ProtocolError when it holds none.
template <class T> T DecodeFirst(const Response& response, const unsigned char* lead) {
    if (response.dry)
        return T{};
    CTextScanner scanner(response.data + response.body_offset,
                         static_cast<UINT>(response.length - response.body_offset), lead);
    T record;
    if (!DecodeRecord(scanner, record))
        throw ProtocolError(std::string("the response holds no ") + record_name<T>() + " record");
    return record;
}

} // namespace ltp::detail
