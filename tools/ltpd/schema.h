// The server's tables. Created when missing, so a database file from an earlier run is reused.
#pragma once

#include <string>

#include "tools/ltpd/database.h"

namespace ltpd {

void CreateSchema(Database& db);

// Why the database is not one this server made (another program's tables, or another version of
// the schema), or "" when it is, or when it holds no tables yet. Call before CreateSchema.
std::string ForeignSchema(Database& db);

} // namespace ltpd
