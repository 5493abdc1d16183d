// Arbitrary bytes as a response: every reader of responses (the record decoders, the lookups, the
// walk, values, the information body) must stay inside the bytes it is given and leave every text
// field of a record terminated. The first byte chooses the code page.
#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/response.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

const UINT kCodePages[] = {1252, 932, 936, 949, 950};

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The last byte of a zero-filled array stays zero whatever the decoder read.
#define TERMINATED(record, field) Require((record).field[sizeof((record).field) - 1] == 0)

template <typename R> R Blank() {
    R r;
    std::memset(&r, 0, sizeof r);
    return r;
}

// A record decoder over the text given, or the lookup's over its first element's own text.
template <bool kLookup, typename R> void Decode(const char* text, UINT length, R* record) {
    if constexpr (kLookup)
        ltp::DecodeElement(text, length, record);
    else
        ltp::DecodeRecord(text, length, record);
}

template <bool kLookup> void DecodeAll(const char* text, UINT length) {
    tagUser user = Blank<tagUser>();
    Decode<kLookup>(text, length, &user);
    TERMINATED(user, UserID);
    TERMINATED(user, Text2);
    TERMINATED(user, Text3);
    TERMINATED(user, Text4);
    TERMINATED(user, Text5);
    TERMINATED(user, Text6);

    tagGroup group = Blank<tagGroup>();
    Decode<kLookup>(text, length, &group);
    TERMINATED(group, GroupID);
    TERMINATED(group, Text2);

    tagProgram program = Blank<tagProgram>();
    Decode<kLookup>(text, length, &program);
    TERMINATED(program, Text2);
    TERMINATED(program, Text3);
    TERMINATED(program, Text4);
    TERMINATED(program, Text8);
    TERMINATED(program, Text9);
    TERMINATED(program, Text10);
    TERMINATED(program, Text11);
    TERMINATED(program, Text12);
    TERMINATED(program, Text13);

    tagChannel channel = Blank<tagChannel>();
    Decode<kLookup>(text, length, &channel);
    TERMINATED(channel, ChannelID);
    TERMINATED(channel, Text2);
    TERMINATED(channel, Text3);

    tagSchedule schedule = Blank<tagSchedule>();
    Decode<kLookup>(text, length, &schedule);
    TERMINATED(schedule, Text2);

    tagGlobal global = Blank<tagGlobal>();
    Decode<kLookup>(text, length, &global);
    TERMINATED(global, Key);
    TERMINATED(global, Text3);
    TERMINATED(global, Text4);

    tagLogEvent event = Blank<tagLogEvent>();
    Decode<kLookup>(text, length, &event);
    TERMINATED(event, Text3);
    TERMINATED(event, Text4);

    tagSysInfo sysInfo = Blank<tagSysInfo>();
    Decode<kLookup>(text, length, &sysInfo);

    tagTOPPrgoram top = Blank<tagTOPPrgoram>();
    Decode<kLookup>(text, length, &top);

    PROGRAMSTATISTIC statistic = Blank<PROGRAMSTATISTIC>();
    Decode<kLookup>(text, length, &statistic);
    TERMINATED(statistic, Text2);

    MTPSVR mtpSvr = Blank<MTPSVR>();
    Decode<kLookup>(text, length, &mtpSvr);
    TERMINATED(mtpSvr, MTPSvrName);
    TERMINATED(mtpSvr, Text2);
    TERMINATED(mtpSvr, Text3);

    PROGRAMPATH path = Blank<PROGRAMPATH>();
    Decode<kLookup>(text, length, &path);
    TERMINATED(path, ProgramPath);
}

void ReadValues(const char* text, UINT length) {
    static const char* const kTags[] = {"ProgramID", "ScheduleID", "UserRights", "GroupRights",
                                        "UserPermission"};
    for (const char* tag : kTags) {
        // Exactly the 60 bytes the callers hand in, on the heap so that a write past it is seen.
        std::unique_ptr<char[]> out(new char[60]());
        ltp::GetParamIDValue(text, length, tag, static_cast<UINT>(std::strlen(tag)), out.get(), 60);
        Require(std::memchr(out.get(), 0, 60) != nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    SetProcessACP(kCodePages[data[0] % (sizeof kCodePages / sizeof kCodePages[0])]);

    // The response in a buffer of exactly its size, so that any read past it is caught.
    const size_t length = size - 1;
    std::unique_ptr<char[]> buffer(new char[length == 0 ? 1 : length]);
    std::memcpy(buffer.get(), data + 1, length);
    const char* text = buffer.get();
    const UINT n = static_cast<UINT>(length);

    CString error("earlier");
    ltp::ParseResponse(text, n, error);
    Require(error.GetLength() <= static_cast<int>(length) || error == "earlier");

    const UINT count = ltp::GetParamCount(text, n);
    Require(count <= n / 2);
    ltp::CRecordWalk walk(text, n);
    // One walk step more than counted: a walk past the last record must stay inside too.
    for (UINT i = 0; i <= count; ++i) {
        const char* span = nullptr;
        UINT spanLength = 0;
        walk.Next(span, spanLength);
        Require(span >= text && span + spanLength <= text + length);
        DecodeAll<false>(span, spanLength);
    }
    DecodeAll<false>(text, n);
    DecodeAll<true>(text, n);
    ReadValues(text, n);

    const char* body = ltp::FindInformationBody(text, n);
    Require(body >= text && body <= text + length);

    SetProcessACP(1252);
    return 0;
}
