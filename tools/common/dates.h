// Dates on the wire are days since 1899-12-30 as a double, the fraction being the time of day
// (the OLE automation date). The tools read and write them as ISO-8601 text.
#pragma once

#include <string>

namespace ltptools {

// ltp::parse_iso_date: ISO-8601 with "Z" or an offset, UTC without one. Returns false and says
// why in error when the text is not such a date.
bool ParseIsoDate(const std::string& text, double& days, std::string& error);

// "YYYY-MM-DD" when the time is midnight, else "YYYY-MM-DDTHH:MM:SS", rounded to the second.
// Values outside the years 1 to 9999 are written as the plain number.
std::string FormatIsoDate(double days);

} // namespace ltptools
