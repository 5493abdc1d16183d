#include "ltpadmin/ltp/dates.h"
#include "ltpadmin/ltp/wire.h"

#include <cmath>
#include <cstdint>

namespace ltp {
namespace {

constexpr double kUnixEpochDate = unix_epoch_date;
constexpr std::int64_t kUnixEpochDay = static_cast<std::int64_t>(unix_epoch_date);
constexpr std::int64_t kMicrosecondsPerDayWhole = 86400LL * 1000000LL;
constexpr double kMicrosecondsPerDay = 86400.0 * 1e6;

} // namespace

// Days and the part of a day are kept apart, in whole numbers where they can be, so that the date
// is rounded once: near today a double holds a day to about 0.6 us, which leaves no room for a
// second rounding if every microsecond is to come back as it was.
double to_wire_date(TimePoint time) {
    const std::int64_t micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    std::int64_t days = micros / kMicrosecondsPerDayWhole;
    std::int64_t rest = micros % kMicrosecondsPerDayWhole;
    if (rest < 0) {
        rest += kMicrosecondsPerDayWhole;
        --days;
    }
    return (kUnixEpochDate + static_cast<double>(days)) +
           static_cast<double>(rest) / kMicrosecondsPerDay;
}

TimePoint from_wire_date(double date) {
    if (std::isnan(date))
        return TimePoint();
    // Dates beyond what a time point holds stop at its ends instead of overflowing the conversion.
    using std::chrono::microseconds;
    const double approx = (date - kUnixEpochDate) * kMicrosecondsPerDay;
    const auto most = std::chrono::duration_cast<microseconds>(TimePoint::duration::max()).count();
    const auto least = std::chrono::duration_cast<microseconds>(TimePoint::duration::min()).count();
    // A margin, as a double near the ends cannot hold every microsecond.
    const double margin = 1e6;
    if (!(approx < static_cast<double>(most) - margin))
        return TimePoint::max();
    if (!(approx > static_cast<double>(least) + margin))
        return TimePoint::min();
    const double whole = std::floor(date);
    const double fraction = date - whole; // exact
    const std::int64_t micros =
        (static_cast<std::int64_t>(whole) - kUnixEpochDay) * kMicrosecondsPerDayWhole +
        static_cast<std::int64_t>(std::llround(fraction * kMicrosecondsPerDay));
    return TimePoint(std::chrono::duration_cast<TimePoint::duration>(microseconds(micros)));
}

} // namespace ltp
