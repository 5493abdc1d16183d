/// @file
/// The wire's dates (days since 1899-12-30 00:00 UTC, the time of day as the fraction) to and from
/// points in time.
#pragma once

#include <ltpadmin/export.h>

#include <chrono>

namespace ltp {

/// @name Dates
/// The wire's dates are days since 1899-12-30 00:00 UTC with the time of day as the fraction:
/// 45658.5 is 2025-01-01 12:00 UTC.
/// @{
using TimePoint = std::chrono::system_clock::time_point;
/// The wire date of a point in time (to the microsecond the double can hold).
LTPADMIN_API double to_wire_date(TimePoint time);
/// The point in time of a wire date.
LTPADMIN_API TimePoint from_wire_date(double date);
/// @}

} // namespace ltp
