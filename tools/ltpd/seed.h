// Data the server can start with: a small demo set, and usage rows from a CSV file.
#pragma once

#include <string>

#include "tools/ltpd/database.h"

namespace ltpd {

// Loads the demo set into an empty database; false (and nothing changed) when it holds users,
// groups or programs already, so that a restart with the same database keeps its data.
bool SeedDemo(Database& db, double nowOleDate);

// Appends the rows of a CSV file to the usage table: user,program,started,stopped per line, the
// dates as numbers (days since 1899-12-30) or ISO-8601 UTC text. A first line that is a header,
// blank lines and lines starting with "#" are passed over. All or nothing: on a bad line nothing
// is loaded and error names the line. Returns the number of rows loaded, or -1.
long LoadUsageCsv(Database& db, const std::string& path, std::string& error);
// The same, from text in memory.
long LoadUsageCsvText(Database& db, const std::string& text, std::string& error);

} // namespace ltpd
