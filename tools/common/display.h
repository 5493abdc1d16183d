// How values read best at a terminal: dates with their zone, sets of weekdays by name, durations as
// hours and minutes, and server texts with their control bytes made visible.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ltptools {

// A wire date (days since 1899-12-30, UTC) for people: "2026-12-07T12:00Z" in UTC, or with local
// time "2026-12-07T13:00+01:00"; seconds appear only when not 0. Day 0, the "no date" value,
// is empty. Values outside the years 1 to 9999 are written as the plain number.
std::string DisplayDate(double days, bool local);

// Days of the week as bits (1 Monday ... 64 Sunday): runs of three or more as "Mon-Fri", others
// listed, "Sat,Sun". Empty for 0. Bits above Sunday are added as a number ("Mon,+128").
std::string DisplayWeekdays(std::int64_t bits);

// Reads what DisplayWeekdays writes (and "Mon,Tue,Wed", "mon-fri"); false for anything else.
bool ParseWeekdays(std::string_view text, std::int32_t& bits);

// Seconds as "h:mm", rounded to the minute ("1:30", "26:05", "0:00", "-0:15").
std::string DisplayDuration(std::int64_t seconds);

// Control bytes (below 0x20 and 0x7f) written as "\xNN", so that a text from the server can move no
// cursor and change no colour. Everything else, backslashes and UTF-8 included, stays as it is.
// With keepLineBreaks, "\n" (and a "\r" before it) stay too, for texts of several lines.
std::string EscapeControls(std::string_view text, bool keepLineBreaks = false);

} // namespace ltptools
