#include "ltpadmin/client.h"

#include <cmath>

namespace ltp {
namespace {

constexpr double kUnixEpochDate = 25569.0; // 1970-01-01 as days since 1899-12-30
constexpr double kMicrosecondsPerDay = 86400.0 * 1e6;

} // namespace

double to_wire_date(TimePoint time) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    return kUnixEpochDate + static_cast<double>(micros) / kMicrosecondsPerDay;
}

TimePoint from_wire_date(double date) {
    // Rounded to the microsecond, so that a date made by to_wire_date comes back as it was.
    const double micros = std::round((date - kUnixEpochDate) * kMicrosecondsPerDay);
    // Dates beyond what a time point holds (or not a number) stop at its ends instead of
    // overflowing the conversion.
    using std::chrono::microseconds;
    const auto most = std::chrono::duration_cast<microseconds>(TimePoint::duration::max()).count();
    const auto least = std::chrono::duration_cast<microseconds>(TimePoint::duration::min()).count();
    // A margin, as a double near the ends cannot hold every microsecond.
    const double margin = 1024;
    if (!(micros < static_cast<double>(most) - margin))
        return std::isnan(micros) ? TimePoint() : TimePoint::max();
    if (!(micros > static_cast<double>(least) + margin))
        return TimePoint::min();
    return TimePoint(std::chrono::duration_cast<TimePoint::duration>(
        std::chrono::microseconds(static_cast<std::int64_t>(micros))));
}

} // namespace ltp
