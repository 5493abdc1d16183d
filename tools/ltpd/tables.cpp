#include "tools/ltpd/tables.h"

namespace ltpd {

using ltp::detail::DescriptionOf;

const RecordTable& UsersTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<tagUser>(), "users", "user", "id", false));
    return t;
}

const RecordTable& GroupsTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<tagGroup>(), "user_groups", "group", "id", false));
    return t;
}

const RecordTable& ProgramsTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<tagProgram>(), "programs", "program", "id", true));
    return t;
}

const RecordTable& ChannelsTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<tagChannel>(), "channels", "channel", "id", false));
    return t;
}

const RecordTable& SchedulesTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<tagSchedule>(), "schedules", "schedule", "id", true));
    return t;
}

const RecordTable& GlobalsTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<tagGlobal>(), "globals", "global", "key", false));
    return t;
}

const RecordTable& MtpServersTable() {
    static const RecordTable t(
        DescribedTable(DescriptionOf<MTPSVR>(), "mtp_servers", "MTP server", "name", false));
    return t;
}

} // namespace ltpd
