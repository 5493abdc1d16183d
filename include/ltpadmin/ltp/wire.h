/// @file
/// The fixed facts of the wire that every user of the protocol shares: the server's usual port and
/// time-outs, which texts an element can carry, how whole numbers, decimals and dates are written.
/// Nothing here throws: a text the wire does not allow is answered with false or npos.
#pragma once

#include <ltpadmin/export.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ltp {

/// The TCP port an LTP server listens on unless told otherwise.
inline constexpr std::uint16_t default_port = 120;
/// How long a client waits by default for a connection to be accepted.
inline constexpr std::chrono::milliseconds default_connect_timeout{10000};
/// How long a client waits by default while nothing moves on a request's exchange.
inline constexpr std::chrono::milliseconds default_request_timeout{10000};

/// 1970-01-01 00:00 UTC as a wire date (days since 1899-12-30).
inline constexpr double unix_epoch_date = 25569.0;

/// The offset of the first byte of text that an element cannot carry, or std::string_view::npos
/// when every byte can: "|" or "<" where a character starts, a line end or a zero byte anywhere,
/// and a lead byte that ends the text (it would take the next delimiter as its trail byte).
/// code_page names the lead bytes (0: the system's); an unknown code page yields 0.
LTPADMIN_API std::size_t find_uncarriable(std::string_view text, unsigned code_page = 0);

/// A whole number as the wire writes it: an optional "-", then decimal digits, within 32 bits
/// signed. No blanks, no "+". On false, value is left as it was.
LTPADMIN_API bool parse_integer(std::string_view text, std::int32_t& value);

/// A decimal as the wire writes it: digits with an optional "." and fraction (at least one digit
/// in all), no exponent; finite. A decimal carries no sign on the wire:
/// readers take a leading "-" as no number, so a negative one would come back as 0 and is refused
/// here (a negative zero is 0). On false, value is left as it was.
LTPADMIN_API bool parse_decimal(std::string_view text, double& value);

/// An ISO-8601 date as a wire date: "YYYY-MM-DD", optionally followed by "T" (or a blank) and
/// "HH:MM", "HH:MM:SS" or "HH:MM:SS.fff", optionally ending in "Z" or an offset ("+HH:MM",
/// "-HHMM", "+HH"; only after a time). Without an offset the time is UTC. A day or time that does
/// not exist ("2025-02-31", "24:00") is refused. On false, error (when given) says why and days is
/// left.
LTPADMIN_API bool parse_iso_date(std::string_view text, double& days, std::string* error = nullptr);

/// A wire date as ISO-8601 UTC, "YYYY-MM-DDTHH:MM:SSZ", rounded to the second. Dates outside the
/// years 1 to 9999 (and NaN or infinities) are written as the plain number with nine decimals.
LTPADMIN_API std::string format_iso_date(double days);

} // namespace ltp
