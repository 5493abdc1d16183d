// Which of the library's records describes each value type: the value types are read and written
// through the records' descriptions, so that their fields have one home.
#pragma once

#include "ltpadmin/ltp/values.h"
#include "ltpadmin/protocol/record_fields.h"

namespace ltp::detail {

template <class T> struct RecordOf;
template <> struct RecordOf<User> { using type = tagUser; };
template <> struct RecordOf<Group> { using type = tagGroup; };
template <> struct RecordOf<Program> { using type = tagProgram; };
template <> struct RecordOf<Channel> { using type = tagChannel; };
template <> struct RecordOf<Schedule> { using type = tagSchedule; };
template <> struct RecordOf<Global> { using type = tagGlobal; };
template <> struct RecordOf<LogEvent> { using type = tagLogEvent; };
template <> struct RecordOf<SysInfo> { using type = tagSysInfo; };
template <> struct RecordOf<TopProgram> { using type = tagTOPPrgoram; };
template <> struct RecordOf<ProgramStatistic> { using type = PROGRAMSTATISTIC; };
template <> struct RecordOf<MtpServer> { using type = MTPSVR; };
template <> struct RecordOf<ProgramPath> { using type = PROGRAMPATH; };

template <class T> const RecordDescription& DescriptionFor() {
    return DescriptionOf<typename RecordOf<T>::type>();
}

} // namespace ltp::detail
