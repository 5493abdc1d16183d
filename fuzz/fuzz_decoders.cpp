// Arbitrary bytes as a response: every reader of responses (the record decoders, the lookups, the
// walk, values, the information body) must stay inside the bytes it is given and leave every text
// field of a record terminated, and the modern client's list, decoded while it arrives, must hold
// the records of one walk. The first byte chooses the code page and where the list is split.
#include "ltpadmin/client/decode.h"
#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/record_fields.h"
#include "ltpadmin/protocol/response.h"
#include "tests/support/list_reference.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const UINT kCodePages[] = {1252, 932, 936, 949, 950};

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Every text field of a zero-filled record keeps the zero at the end of its array, whatever the
// decoder (or, with kLookup, the lookup over the first element's own text) read.
template <typename R, bool kLookup> void Decode(const char* text, UINT length) {
    R record;
    std::memset(&record, 0, sizeof record);
    if constexpr (kLookup)
        ltp::detail::DecodeElement(text, length, &record);
    else
        ltp::detail::DecodeRecord(text, length, &record);
    const ltp::detail::RecordDescription& d = ltp::detail::DescriptionOf<R>();
    const char* base = reinterpret_cast<const char*>(&record);
    for (size_t i = 0; i < d.count; ++i) {
        if (d.fields[i].kind == ltp::detail::FieldKind::Text)
            Require(base[d.offsets[i] + d.fields[i].width - 1] == 0);
    }
}

template <bool kLookup = false> void DecodeAll(const char* text, UINT length) {
    Decode<tagUser, kLookup>(text, length);
    Decode<tagGroup, kLookup>(text, length);
    Decode<tagProgram, kLookup>(text, length);
    Decode<tagChannel, kLookup>(text, length);
    Decode<tagSchedule, kLookup>(text, length);
    Decode<tagGlobal, kLookup>(text, length);
    Decode<tagLogEvent, kLookup>(text, length);
    Decode<tagSysInfo, kLookup>(text, length);
    Decode<tagTOPPrgoram, kLookup>(text, length);
    Decode<PROGRAMSTATISTIC, kLookup>(text, length);
    Decode<MTPSVR, kLookup>(text, length);
    Decode<PROGRAMPATH, kLookup>(text, length);
}

void ReadValues(const char* text, UINT length) {
    static const char* const kTags[] = {"ProgramID", "ScheduleID", "UserRights", "GroupRights",
                                        "UserPermission"};
    for (const char* tag : kTags) {
        // Exactly the 60 bytes the callers hand in, on the heap so that a write past it is seen.
        std::unique_ptr<char[]> out(new char[60]());
        ltp::detail::GetParamIDValue(text, length, tag, static_cast<UINT>(std::strlen(tag)),
                                     out.get(), 60);
        Require(std::memchr(out.get(), 0, 60) != nullptr);
    }
}

// The body as a list arriving in three pieces against one walk over it, span by span.
template <class T>
void ListMatchesTheWalk(const char* text, UINT length, UINT codePage, unsigned pieces) {
    const BYTE* lead = GetLeadByteTable(codePage);
    const std::string head = "LTP/1.0 200 OK\r\n\r\n";
    const std::string response = head + std::string(text, length);
    ltp::detail::ListDecoder<T> decoder(lead, std::size_t(1) << 30);
    const std::size_t first = pieces % 8, second = pieces / 8 % 8; // eighths of the body
    for (const std::size_t part : {std::min(first, second), std::max(first, second)}) {
        const std::size_t end = head.size() + length * part / 8;
        decoder.arrived(ltp::detail::Response{response.data(), end, head.size()}, response.size());
    }
    const std::vector<T> list =
        decoder.finish(ltp::detail::Response{response.data(), response.size(), head.size()});

    const std::vector<T> walked = ltptest::WalkWhole<T>(text, length, lead);
    Require(list.size() == walked.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        Require(ltptest::SameFields(list[i], walked[i]));

    // Record by record, the bytes it released dropped as the connection drops them: each piece
    // a copy of its own size, so that a read of dropped bytes is caught.
    std::size_t handed = 0;
    const std::function<void(const T&)> each = [&](const T& record) {
        Require(handed < walked.size() && ltptest::SameFields(record, walked[handed]));
        ++handed;
    };
    ltp::detail::ListDecoder<T> walker(lead, std::size_t(1) << 30, each);
    std::size_t dropped = 0;
    for (const std::size_t part : {std::min(first, second), std::max(first, second)}) {
        const std::size_t end = head.size() + length * part / 8;
        if (end <= dropped)
            continue;
        const std::unique_ptr<char[]> held(new char[end - dropped]);
        std::memcpy(held.get(), response.data() + dropped, end - dropped);
        walker.arrived(ltp::detail::Response{held.get(), end - dropped,
                                             head.size() - std::min(head.size(), dropped)},
                       response.size() - dropped);
        dropped += walker.release();
    }
    const std::size_t rest = response.size() - dropped;
    const std::unique_ptr<char[]> held(new char[rest == 0 ? 1 : rest]);
    std::memcpy(held.get(), response.data() + dropped, rest);
    walker.finish_each(
        ltp::detail::Response{held.get(), rest, head.size() - std::min(head.size(), dropped)});
    Require(handed == walked.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const UINT codePage = kCodePages[data[0] % (sizeof kCodePages / sizeof kCodePages[0])];
    SetProcessACP(codePage);

    // The response in a buffer of exactly its size, so that any read past it is caught.
    const size_t length = size - 1;
    std::unique_ptr<char[]> buffer(new char[length == 0 ? 1 : length]);
    std::memcpy(buffer.get(), data + 1, length);
    const char* text = buffer.get();
    const UINT n = static_cast<UINT>(length);

    CString error("earlier");
    ltp::detail::ParseResponse(text, n, error);
    Require(error.GetLength() <= static_cast<int>(length) || error == "earlier");

    const UINT count = ltp::detail::GetParamCount(text, n);
    Require(count <= n / 2);
    ltp::detail::CRecordWalk walk(text, n);
    // One walk step more than counted: a walk past the last record must stay inside too.
    for (UINT i = 0; i <= count; ++i) {
        const char* span = nullptr;
        UINT spanLength = 0;
        walk.Next(span, spanLength);
        Require(span >= text && span + spanLength <= text + length);
        DecodeAll(span, spanLength);
    }
    DecodeAll(text, n);
    DecodeAll<true>(text, n);
    ReadValues(text, n);

    const char* body = ltp::detail::FindInformationBody(text, n);
    Require(body >= text && body <= text + length);

    ListMatchesTheWalk<ltp::User>(text, n, codePage, data[0] / 5u);
    ListMatchesTheWalk<ltp::Schedule>(text, n, codePage, data[0] / 5u);

    SetProcessACP(1252);
    return 0;
}
