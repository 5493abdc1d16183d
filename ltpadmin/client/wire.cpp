#include "ltpadmin/ltp/wire.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/carriage.h"

namespace ltp {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr long long kEpochDay = static_cast<long long>(unix_epoch_date);

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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
bool Digits(std::string_view s, std::size_t& pos, std::size_t n, unsigned& value) {
    if (pos + n > s.size())
        return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!IsDigit(s[pos + i]))
            return false;
        value = value * 10 + static_cast<unsigned>(s[pos + i] - '0');
    }
    pos += n;
    return true;
}

bool Literal(std::string_view s, std::size_t& pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// "Z", or an offset from UTC in minutes: "+HH:MM", "+HHMM" or "+HH" (or "-").
bool Offset(std::string_view s, std::size_t& pos, long& minutes) {
    minutes = 0;
    if (Literal(s, pos, 'Z') || Literal(s, pos, 'z') || pos == s.size())
        return true;
    const char sign = s[pos];
    if (sign != '+' && sign != '-')
        return false;
    ++pos;
    unsigned hours = 0, mins = 0;
    if (!Digits(s, pos, 2, hours))
        return false;
    if (Literal(s, pos, ':')) {
        if (!Digits(s, pos, 2, mins))
            return false;
    } else if (pos < s.size() && !Digits(s, pos, 2, mins)) {
        return false;
    }
    if (hours > 23 || mins > 59)
        return false;
    minutes = static_cast<long>(hours * 60 + mins) * (sign == '-' ? -1 : 1);
    return true;
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text.substr(0, 64)) + "'";
}

} // namespace

std::size_t find_uncarriable(std::string_view text, unsigned code_page) {
    const BYTE* lead = GetLeadByteTable(code_page);
    if (lead == nullptr)
        return 0;
    if (const char* bad = detail::FindUncarriable(text.data(), text.size(), lead))
        return static_cast<std::size_t>(bad - text.data());
    return std::string_view::npos;
}

bool parse_integer(std::string_view text, std::int32_t& value) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const unsigned long long most = negative ? 2147483648ULL : 2147483647ULL;
    unsigned long long v = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > most)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -static_cast<long long>(v)
                                               : static_cast<long long>(v));
    return true;
}

bool parse_decimal(std::string_view text, double& value) {
    std::size_t pos = 0, digits = 0;
    const bool negative = Literal(text, pos, '-');
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos, ++digits;
    if (Literal(text, pos, '.'))
        while (pos < text.size() && IsDigit(text[pos]))
            ++pos, ++digits;
    if (digits == 0)
        return false;
    if (pos != text.size())
        return false;
    const std::string copy(text);
    const double v = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(v) || (negative && v != 0))
        return false;
    value = v == 0 ? 0.0 : v;
    return true;
}

bool parse_iso_date(std::string_view text, double& days, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string shape = Quoted(text) +
                              " is not an ISO-8601 date (YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], "
                              "optionally with Z or an offset such as +01:00)";
    std::size_t pos = 0;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    if (!Digits(text, pos, 4, year) || !Literal(text, pos, '-') || !Digits(text, pos, 2, month) ||
        !Literal(text, pos, '-') || !Digits(text, pos, 2, day))
        return fail(shape);
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == 't' || text[pos] == ' ')) {
        ++pos;
        if (!Digits(text, pos, 2, hour) || !Literal(text, pos, ':') ||
            !Digits(text, pos, 2, minute))
            return fail(shape);
        if (Literal(text, pos, ':')) {
            if (!Digits(text, pos, 2, second))
                return fail(shape);
            if (Literal(text, pos, '.') || Literal(text, pos, ',')) {
                double scale = 0.1;
                const std::size_t start = pos;
                while (pos < text.size() && IsDigit(text[pos])) {
                    fraction += (text[pos] - '0') * scale;
                    scale /= 10;
                    ++pos;
                }
                if (pos == start)
                    return fail(shape);
            }
        }
    }
    // An offset belongs to a time of day; a day alone may only be marked as UTC.
    long offset = 0;
    const bool timed = pos > 10;
    if (!Offset(text, pos, offset) || pos != text.size() || (offset != 0 && !timed))
        return fail(shape);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return fail(Quoted(text) + " names a day that does not exist");
    if (hour > 23 || minute > 59 || second > 59)
        return fail(Quoted(text) + " names a time of day that does not exist");
    const long long whole = DaysFromCivil(year, month, day) + kEpochDay;
    const double secs =
        hour * 3600.0 + minute * 60.0 + second + fraction - static_cast<double>(offset) * 60.0;
    days = static_cast<double>(whole) + secs / kSecondsPerDay;
    return true;
}

std::string format_iso_date(double days) {
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0) {
        // The number itself, whole: a double may have 309 digits before its point.
        char number[400];
        std::snprintf(number, sizeof number, "%.9f", days);
        return number;
    }
    long long whole = static_cast<long long>(std::floor(days));
    long long secs = std::llround((days - static_cast<double>(whole)) * kSecondsPerDay);
    if (secs >= 86400) {
        ++whole;
        secs -= 86400;
    }
    long long y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(whole - kEpochDay, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", y, m, d, secs / 3600,
                  secs / 60 % 60, secs % 60);
    return text;
}

} // namespace ltp
