// The server's tables. Created when missing, so a database file from an earlier run is reused.
#pragma once

#include "tools/ltpd/database.h"

namespace ltpd {

void CreateSchema(Database& db);

} // namespace ltpd
