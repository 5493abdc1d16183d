// The twelve record decoders: one algorithm driven by a field table per record type. The tables
// list fields in wire order, which for PROGRAMSTATISTIC and MTPSVR is not the declaration order.
#include "ltpadmin/protocol/response.h"

#include "ltpadmin/protocol/element.h"

#include <cstddef>
#include <cstring>

namespace ltp {
namespace {

enum class FieldKind : BYTE { Text, Whole, Decimal };

struct FieldLayout {
    FieldKind kind;
    size_t offset;
    size_t width; // bytes of the field in the record
};

struct RecordLayout {
    const char* tag;
    UINT tagLength;
    const FieldLayout* fields;
    size_t count;
};

#undef TEXT // <windows.h> has one, for wide-character literals; not used here
#define TEXT(R, f)                                                                                 \
    { FieldKind::Text, offsetof(R, f), sizeof(R::f) }
#define WHOLE(R, f)                                                                                \
    { FieldKind::Whole, offsetof(R, f), sizeof(R::f) }
#define DECIMAL(R, f)                                                                              \
    { FieldKind::Decimal, offsetof(R, f), sizeof(R::f) }
#define LAYOUT(tag, fields)                                                                        \
    { tag, sizeof(tag) - 1, fields, sizeof(fields) / sizeof(fields[0]) }

const FieldLayout kUserFields[] = {TEXT(tagUser, UserID), TEXT(tagUser, Text2),
                                   TEXT(tagUser, Text3),  TEXT(tagUser, Text4),
                                   TEXT(tagUser, Text5),  TEXT(tagUser, Text6)};
const FieldLayout kGroupFields[] = {TEXT(tagGroup, GroupID), TEXT(tagGroup, Text2)};
const FieldLayout kProgramFields[] = {
    WHOLE(tagProgram, ProgramID), TEXT(tagProgram, Text2),    TEXT(tagProgram, Text3),
    TEXT(tagProgram, Text4),      DECIMAL(tagProgram, Real5), WHOLE(tagProgram, Number6),
    WHOLE(tagProgram, Number7),   TEXT(tagProgram, Text8),    TEXT(tagProgram, Text9),
    TEXT(tagProgram, Text10),     TEXT(tagProgram, Text11),   TEXT(tagProgram, Text12),
    TEXT(tagProgram, Text13)};
const FieldLayout kChannelFields[] = {TEXT(tagChannel, ChannelID), TEXT(tagChannel, Text2),
                                      TEXT(tagChannel, Text3)};
const FieldLayout kScheduleFields[] = {WHOLE(tagSchedule, ScheduleID), TEXT(tagSchedule, Text2),
                                       WHOLE(tagSchedule, Number3),    DECIMAL(tagSchedule, Real4),
                                       DECIMAL(tagSchedule, Real5),    WHOLE(tagSchedule, Number6)};
const FieldLayout kGlobalFields[] = {TEXT(tagGlobal, Key), WHOLE(tagGlobal, Number2),
                                     TEXT(tagGlobal, Text3), TEXT(tagGlobal, Text4)};
const FieldLayout kLogEventFields[] = {WHOLE(tagLogEvent, Number1), DECIMAL(tagLogEvent, Real2),
                                       TEXT(tagLogEvent, Text3), TEXT(tagLogEvent, Text4)};
const FieldLayout kSysInfoFields[] = {WHOLE(tagSysInfo, Number1), WHOLE(tagSysInfo, Number2),
                                      WHOLE(tagSysInfo, Number3), DECIMAL(tagSysInfo, Real4),
                                      WHOLE(tagSysInfo, Number5)};
const FieldLayout kTOPProgramFields[] = {WHOLE(tagTOPPrgoram, Number1),
                                         WHOLE(tagTOPPrgoram, Number2)};
const FieldLayout kProgramStatisticFields[] = {
    WHOLE(PROGRAMSTATISTIC, Number1), WHOLE(PROGRAMSTATISTIC, Number3),
    TEXT(PROGRAMSTATISTIC, Text2),    DECIMAL(PROGRAMSTATISTIC, Real5),
    DECIMAL(PROGRAMSTATISTIC, Real6), WHOLE(PROGRAMSTATISTIC, Number4)};
const FieldLayout kMTPSvrFields[] = {TEXT(MTPSVR, MTPSvrName), TEXT(MTPSVR, Text2),
                                     TEXT(MTPSVR, Text3),      WHOLE(MTPSVR, Number5),
                                     WHOLE(MTPSVR, Number6),   WHOLE(MTPSVR, Number4)};
const FieldLayout kProgramPathFields[] = {WHOLE(PROGRAMPATH, ProgramID),
                                          TEXT(PROGRAMPATH, ProgramPath),
                                          DECIMAL(PROGRAMPATH, Real3), DECIMAL(PROGRAMPATH, Real4)};

const RecordLayout kUser = LAYOUT("User", kUserFields);
const RecordLayout kGroup = LAYOUT("Group", kGroupFields);
const RecordLayout kProgram = LAYOUT("Program", kProgramFields);
const RecordLayout kChannel = LAYOUT("Channel", kChannelFields);
const RecordLayout kSchedule = LAYOUT("Schedule", kScheduleFields);
const RecordLayout kGlobal = LAYOUT("Global", kGlobalFields);
const RecordLayout kLogEvent = LAYOUT("LogEvent", kLogEventFields);
const RecordLayout kSysInfo = LAYOUT("SysInfo", kSysInfoFields);
const RecordLayout kTOPProgram = LAYOUT("TOPProgram", kTOPProgramFields);
const RecordLayout kProgramStatistic = LAYOUT("ProgramStatistic", kProgramStatisticFields);
const RecordLayout kMTPSvr = LAYOUT("MTPSvr", kMTPSvrFields);
const RecordLayout kProgramPath = LAYOUT("ProgramPath", kProgramPathFields);

#undef TEXT
#undef WHOLE
#undef DECIMAL
#undef LAYOUT

// Fields are separated by "|"; the last one ends at the "<" of the closing tag.
void PassSeparator(CTextScanner& scanner, bool last) {
    if (last)
        return;
    scanner.SkipTo('|');
    scanner.Match('|');
}

int Decode(const char* text, UINT length, const RecordLayout& layout, void* record) {
    CTextScanner scanner(text, length);
    if (!OpenElement(scanner, layout.tag, layout.tagLength))
        return 0;
    char* base = static_cast<char*>(record);
    for (size_t i = 0; i < layout.count; ++i) {
        const FieldLayout& field = layout.fields[i];
        const bool last = i + 1 == layout.count;
        char* target = base + field.offset;
        switch (field.kind) {
            case FieldKind::Text: {
                const char end = last ? '<' : '|';
                const CTextSpan value = scanner.SkipTo(end);
                scanner.Match(end);
                // Too long a text is cut so that the zero after it stays in the array.
                size_t n = value.length;
                if (n > field.width - 1)
                    n = field.width - 1;
                if (n != 0)
                    std::memcpy(target, value.start, n);
                break;
            }
            case FieldKind::Whole: {
                // Digits only, no sign; the 32-bit pattern is stored unchanged.
                const LONG value = static_cast<LONG>(scanner.ReadUnsigned());
                std::memcpy(target, &value, sizeof value);
                PassSeparator(scanner, last);
                break;
            }
            case FieldKind::Decimal: {
                const double value = scanner.ReadDecimal();
                std::memcpy(target, &value, sizeof value);
                PassSeparator(scanner, last);
                break;
            }
        }
    }
    return 1;
}

} // namespace

int DecodeRecord(const char* text, UINT length, tagUser* record) {
    return Decode(text, length, kUser, record);
}
int DecodeRecord(const char* text, UINT length, tagGroup* record) {
    return Decode(text, length, kGroup, record);
}
int DecodeRecord(const char* text, UINT length, tagProgram* record) {
    return Decode(text, length, kProgram, record);
}
int DecodeRecord(const char* text, UINT length, tagChannel* record) {
    return Decode(text, length, kChannel, record);
}
int DecodeRecord(const char* text, UINT length, tagSchedule* record) {
    return Decode(text, length, kSchedule, record);
}
int DecodeRecord(const char* text, UINT length, tagGlobal* record) {
    return Decode(text, length, kGlobal, record);
}
int DecodeRecord(const char* text, UINT length, tagLogEvent* record) {
    return Decode(text, length, kLogEvent, record);
}
int DecodeRecord(const char* text, UINT length, tagSysInfo* record) {
    return Decode(text, length, kSysInfo, record);
}
int DecodeRecord(const char* text, UINT length, tagTOPPrgoram* record) {
    return Decode(text, length, kTOPProgram, record);
}
int DecodeRecord(const char* text, UINT length, PROGRAMSTATISTIC* record) {
    return Decode(text, length, kProgramStatistic, record);
}
int DecodeRecord(const char* text, UINT length, MTPSVR* record) {
    return Decode(text, length, kMTPSvr, record);
}
int DecodeRecord(const char* text, UINT length, PROGRAMPATH* record) {
    return Decode(text, length, kProgramPath, record);
}

} // namespace ltp
