// Dates as the server exchanges them: days since 1899-12-30 00:00 UTC, the time of day as the
// fraction (the Windows automation date), so 45658.5 is 2025-01-01 12:00 UTC.
#pragma once

#include <ctime>
#include <string_view>

namespace ltpd {

double OleDateFromUnix(double unixSeconds);
double UnixFromOleDate(double oleDate);
double OleDateNow();
// "2025-01-01", "2025-01-01T12:30", "2025-01-01T12:30:05" or with a trailing "Z" (always UTC).
bool ParseIsoDate(std::string_view text, double& oleDate);

} // namespace ltpd
