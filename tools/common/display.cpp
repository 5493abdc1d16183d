#include "tools/common/display.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include <ltpadmin/ltp/wire.h>

#include "tools/common/dates.h"

namespace ltptools {
namespace {

constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

} // namespace

std::string DisplayDate(double days, bool local) {
    if (days == 0)
        return std::string();
    if (!std::isfinite(days) || days < -693593.0 || days >= 2958466.0)
        return FormatIsoDate(days);
    const double unixSeconds = std::round((days - ltp::unix_epoch_date) * 86400.0);
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!(local ? localtime_r(&t, &tm) : gmtime_r(&t, &tm)))
        return FormatIsoDate(days);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d", tm.tm_year + 1900,
                          tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min);
    if (tm.tm_sec != 0)
        n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ":%02d", tm.tm_sec);
    std::string text(buf, static_cast<size_t>(n));
    if (!local)
        return text + "Z";
    const long offset = tm.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    std::snprintf(buf, sizeof buf, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text + buf;
}

std::string DisplayWeekdays(std::int64_t bits) {
    std::string text;
    int day = 0;
    while (day < 7) {
        if (!(bits & (1 << day))) {
            ++day;
            continue;
        }
        int end = day;
        while (end + 1 < 7 && (bits & (1 << (end + 1))))
            ++end;
        if (!text.empty())
            text += ',';
        if (end - day >= 2) {
            text += std::string(kDays[day]) + "-" + kDays[end];
        } else {
            text += kDays[day];
            if (end > day)
                text += std::string(",") + kDays[end];
        }
        day = end + 1;
    }
    const std::int64_t rest = bits & ~std::int64_t{0x7f};
    if (rest != 0)
        text += (text.empty() ? "+" : ",+") + std::to_string(rest);
    return text;
}

bool ParseWeekdays(std::string_view text, std::int32_t& bits) {
    auto dayOf = [](std::string_view name) {
        for (int i = 0; i < 7; ++i) {
            const std::string_view d = kDays[i];
            if (name.size() == 3 && (name[0] | 0x20) == (d[0] | 0x20) && (name[1] | 0x20) == d[1] &&
                (name[2] | 0x20) == d[2])
                return i;
        }
        return -1;
    };
    std::int32_t result = 0;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        const size_t dash = part.find('-');
        const int first = dayOf(part.substr(0, dash));
        const int last = dash == std::string_view::npos ? first : dayOf(part.substr(dash + 1));
        if (first < 0 || last < first)
            return false;
        for (int d = first; d <= last; ++d)
            result |= 1 << d;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
        if (text.empty())
            return false;
    }
    if (result == 0)
        return false;
    bits = result;
    return true;
}

std::string DisplayDuration(std::int64_t seconds) {
    const bool negative = seconds < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    const std::uint64_t minutes = (magnitude + 30) / 60;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu:%02llu", negative && minutes ? "-" : "",
                  static_cast<unsigned long long>(minutes / 60),
                  static_cast<unsigned long long>(minutes % 60));
    return buf;
}

std::string EscapeControls(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        const bool lineBreak =
            c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        if ((byte < 0x20 || byte == 0x7f) && !(keepLineBreaks && lineBreak)) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace ltptools
