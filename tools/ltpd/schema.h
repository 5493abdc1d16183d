// The server's tables. Created when missing, so a database file from an earlier run is reused.
#pragma once

#include <string>

#include "tools/ltpd/database.h"

namespace ltpd {

void CreateSchema(Database& db);

// For a database file: a write-ahead log synced at checkpoints. A commit survives a crash or a
// kill of the server (not the last moments before a power cut) without a sync per commit. A
// Checkpointer keeps the checkpoints out of the requests.
void UseWriteAheadLog(Database& db);

// Why the database is not one this server made (another program's tables, or another version of
// the schema), or "" when it is, or when it holds no tables yet. Call before CreateSchema.
std::string ForeignSchema(Database& db);

} // namespace ltpd
