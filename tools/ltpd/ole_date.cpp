#include "tools/ltpd/ole_date.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace ltpd {
namespace {

constexpr double kUnixEpochAsOleDate = 25569.0; // 1970-01-01
constexpr double kSecondsPerDay = 86400.0;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

} // namespace

double OleDateFromUnix(double unixSeconds) {
    return unixSeconds / kSecondsPerDay + kUnixEpochAsOleDate;
}

double UnixFromOleDate(double oleDate) {
    return (oleDate - kUnixEpochAsOleDate) * kSecondsPerDay;
}

double OleDateNow() {
    using namespace std::chrono;
    double secs = duration<double>(system_clock::now().time_since_epoch()).count();
    return OleDateFromUnix(secs);
}

bool ParseIsoDate(std::string_view text, double& oleDate) {
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z'))
        text.remove_suffix(1);
    std::string s(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, used = 0;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || used != 10)
        return false;
    if (s.size() > 10) {
        if (s[10] != 'T' && s[10] != ' ')
            return false;
        std::string time = s.substr(11);
        int n = 0;
        if (std::sscanf(time.c_str(), "%2d:%2d:%2d%n", &h, &mi, &sec, &n) == 3 && n == 8 &&
            time.size() == 8) {
        } else if (std::sscanf(time.c_str(), "%2d:%2d%n", &h, &mi, &n) == 2 && n == 5 &&
                   time.size() == 5) {
            sec = 0;
        } else {
            return false;
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 60 || y < 1000)
        return false;
    long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    double unixSeconds = static_cast<double>(days) * kSecondsPerDay + h * 3600.0 + mi * 60.0 + sec;
    oleDate = OleDateFromUnix(unixSeconds);
    return true;
}

} // namespace ltpd
