// The record tables of the server, one per record type that clients add and modify.
#pragma once

#include "tools/ltpd/record_table.h"

namespace ltpd {

const RecordTable& UsersTable();
const RecordTable& GroupsTable();
const RecordTable& ProgramsTable();
const RecordTable& ChannelsTable();
const RecordTable& SchedulesTable();
const RecordTable& GlobalsTable();
const RecordTable& MtpServersTable();

} // namespace ltpd
