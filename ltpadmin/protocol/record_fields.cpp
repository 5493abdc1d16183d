#include "ltpadmin/protocol/record_fields.h"

#include <cstring>
#include <iterator>

namespace ltp::detail {

// Each record's fields are listed once, in wire order, which for PROGRAMSTATISTIC and MTPSVR is
// not the declaration order; the list gives both the description and the offsets.
// F(Record, field, kind, sent)
// clang-format off
#define USER_FIELDS(F, R)    \
    F(R, UserID, Text, true) \
    F(R, Text2, Text, true)  \
    F(R, Text3, Text, true)  \
    F(R, Text4, Text, true)  \
    F(R, Text5, Text, true)  \
    F(R, Text6, Text, true)
#define GROUP_FIELDS(F, R)    \
    F(R, GroupID, Text, true) \
    F(R, Text2, Text, true)
#define PROGRAM_FIELDS(F, R)     \
    F(R, ProgramID, Whole, true) \
    F(R, Text2, Text, true)      \
    F(R, Text3, Text, true)      \
    F(R, Text4, Text, true)      \
    F(R, Real5, Decimal, true)   \
    F(R, Number6, Whole, true)   \
    F(R, Number7, Whole, true)   \
    F(R, Text8, Text, true)      \
    F(R, Text9, Text, true)      \
    F(R, Text10, Text, true)     \
    F(R, Text11, Text, true)     \
    F(R, Text12, Text, true)     \
    F(R, Text13, Text, true)
#define CHANNEL_FIELDS(F, R)    \
    F(R, ChannelID, Text, true) \
    F(R, Text2, Text, true)     \
    F(R, Text3, Text, true)
#define SCHEDULE_FIELDS(F, R)     \
    F(R, ScheduleID, Whole, true) \
    F(R, Text2, Text, true)       \
    F(R, Number3, Whole, true)    \
    F(R, Real4, Date, true)       \
    F(R, Real5, Date, true)       \
    F(R, Number6, Whole, true)
#define GLOBAL_FIELDS(F, R)    \
    F(R, Key, Text, true)      \
    F(R, Number2, Whole, true) \
    F(R, Text3, Text, true)    \
    F(R, Text4, Text, true)
#define LOG_EVENT_FIELDS(F, R)  \
    F(R, Number1, Whole, false) \
    F(R, Real2, Date, false)    \
    F(R, Text3, Text, false)    \
    F(R, Text4, Text, false)
#define SYS_INFO_FIELDS(F, R)   \
    F(R, Number1, Whole, false) \
    F(R, Number2, Whole, false) \
    F(R, Number3, Whole, false) \
    F(R, Real4, Decimal, false) \
    F(R, Number5, Whole, false)
#define TOP_PROGRAM_FIELDS(F, R) \
    F(R, Number1, Whole, false)  \
    F(R, Number2, Whole, false)
#define PROGRAM_STATISTIC_FIELDS(F, R) \
    F(R, Number1, Whole, false)        \
    F(R, Number3, Whole, false)        \
    F(R, Text2, Text, false)           \
    F(R, Real5, Date, false)           \
    F(R, Real6, Date, false)           \
    F(R, Number4, Whole, false)
#define MTPSVR_FIELDS(F, R)      \
    F(R, MTPSvrName, Text, true) \
    F(R, Text2, Text, true)      \
    F(R, Text3, Text, true)      \
    F(R, Number5, Whole, true)   \
    F(R, Number6, Whole, true)   \
    F(R, Number4, Whole, false)
#define PROGRAM_PATH_FIELDS(F, R) \
    F(R, ProgramID, Whole, true)  \
    F(R, ProgramPath, Text, true) \
    F(R, Real3, Date, true)       \
    F(R, Real4, Date, true)
// clang-format on

#define AS_FIELD(R, f, kind, sent) FieldDescription{#f, FieldKind::kind, sizeof(R::f), sent},
#define AS_OFFSET(R, f, kind, sent) offsetof(R, f),
#define DESCRIBE(R, tag, LIST)                                                                     \
    const FieldDescription k##R##Fields[] = {LIST(AS_FIELD, R)};                                   \
    const std::size_t k##R##Offsets[] = {LIST(AS_OFFSET, R)};                                      \
    const RecordDescription k##R = {tag, sizeof(tag) - 1, k##R##Fields, std::size(k##R##Fields),   \
                                    k##R##Offsets};                                                \
    template <> const RecordDescription& DescriptionOf<R>() {                                      \
        return k##R;                                                                               \
    }

DESCRIBE(tagUser, "User", USER_FIELDS)
DESCRIBE(tagGroup, "Group", GROUP_FIELDS)
DESCRIBE(tagProgram, "Program", PROGRAM_FIELDS)
DESCRIBE(tagChannel, "Channel", CHANNEL_FIELDS)
DESCRIBE(tagSchedule, "Schedule", SCHEDULE_FIELDS)
DESCRIBE(tagGlobal, "Global", GLOBAL_FIELDS)
DESCRIBE(tagLogEvent, "LogEvent", LOG_EVENT_FIELDS)
DESCRIBE(tagSysInfo, "SysInfo", SYS_INFO_FIELDS)
DESCRIBE(tagTOPPrgoram, "TOPProgram", TOP_PROGRAM_FIELDS)
DESCRIBE(PROGRAMSTATISTIC, "ProgramStatistic", PROGRAM_STATISTIC_FIELDS)
DESCRIBE(MTPSVR, "MTPSvr", MTPSVR_FIELDS)
DESCRIBE(PROGRAMPATH, "ProgramPath", PROGRAM_PATH_FIELDS)

#undef DESCRIBE
#undef AS_OFFSET
#undef AS_FIELD

bool TextsEndInside(const void* record, const RecordDescription& description) {
    const char* base = static_cast<const char*>(record);
    for (std::size_t i = 0; i < description.count; ++i) {
        const FieldDescription& field = description.fields[i];
        if (field.kind == FieldKind::Text && field.sent &&
            std::memchr(base + description.offsets[i], 0, field.width) == nullptr)
            return false;
    }
    return true;
}

} // namespace ltp::detail
