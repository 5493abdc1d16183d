#include "tools/common/dates.h"

#include <cmath>
#include <cstdio>

namespace ltptools {
namespace {

// Day 0 of the wire representation, counted from 1970-01-01.
constexpr long long kEpochOffset = -25569;
constexpr double kSecondsPerDay = 86400.0;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(long long y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// Reads exactly n digits at pos.
bool Digits(const std::string& s, size_t& pos, size_t n, unsigned& value) {
    if (pos + n > s.size())
        return false;
    value = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = s[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    pos += n;
    return true;
}

bool Literal(const std::string& s, size_t& pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

bool ParseIsoDate(const std::string& text, double& days, std::string& error) {
    const std::string shape =
        "'" + text + "' is not an ISO-8601 date (YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM])";
    size_t pos = 0;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    if (!Digits(text, pos, 4, year) || !Literal(text, pos, '-') || !Digits(text, pos, 2, month) ||
        !Literal(text, pos, '-') || !Digits(text, pos, 2, day)) {
        error = shape;
        return false;
    }
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == 't' || text[pos] == ' ')) {
        ++pos;
        if (!Digits(text, pos, 2, hour) || !Literal(text, pos, ':') ||
            !Digits(text, pos, 2, minute)) {
            error = shape;
            return false;
        }
        if (Literal(text, pos, ':')) {
            if (!Digits(text, pos, 2, second)) {
                error = shape;
                return false;
            }
            if (Literal(text, pos, '.') || Literal(text, pos, ',')) {
                double scale = 0.1;
                size_t start = pos;
                while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
                    fraction += (text[pos] - '0') * scale;
                    scale /= 10;
                    ++pos;
                }
                if (pos == start) {
                    error = shape;
                    return false;
                }
            }
        }
    }
    // A zone as tables under --local show it ("+01:00"), so that what is shown can be typed back.
    int offsetMinutes = 0;
    const bool hasTime = pos > 10;
    if (hasTime && pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const int sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        unsigned zoneHours = 0, zoneMinutes = 0;
        const bool hours = Digits(text, pos, 2, zoneHours);
        Literal(text, pos, ':');
        if (!hours || !Digits(text, pos, 2, zoneMinutes) || zoneHours > 23 || zoneMinutes > 59) {
            error = shape;
            return false;
        }
        offsetMinutes = sign * static_cast<int>(zoneHours * 60 + zoneMinutes);
    } else {
        Literal(text, pos, 'Z') || Literal(text, pos, 'z');
    }
    if (pos != text.size()) {
        error = shape;
        return false;
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        error = "'" + text + "' names a day that does not exist";
        return false;
    }
    if (hour > 23 || minute > 59 || second > 59) {
        error = "'" + text + "' names a time of day that does not exist";
        return false;
    }
    const long long whole = DaysFromCivil(year, month, day) - kEpochOffset;
    const double secs = hour * 3600.0 + minute * 60.0 + second + fraction;
    days = static_cast<double>(whole) + (secs - offsetMinutes * 60.0) / kSecondsPerDay;
    return true;
}

std::string FormatIsoDate(double days) {
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0) {
        // The number itself, whole: a double may have 309 digits before its point.
        char number[400];
        std::snprintf(number, sizeof number, "%.9f", days);
        return number;
    }
    char buf[64];
    long long whole = static_cast<long long>(std::floor(days));
    long long secs = std::llround((days - static_cast<double>(whole)) * kSecondsPerDay);
    if (secs >= 86400) {
        ++whole;
        secs -= 86400;
    }
    long long y;
    unsigned m, d;
    CivilFromDays(whole + kEpochOffset, y, m, d);
    if (secs == 0)
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", y, m, d);
    else
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", y, m, d,
                      secs / 3600, secs / 60 % 60, secs % 60);
    return buf;
}

} // namespace ltptools
