#include "tools/common/value_forms.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <ltpadmin/ltp/wire.h>

#include "tools/common/dates.h"

namespace ltptools {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Digits only (an optional '+' or '-' first when sign): a number, not a name.
bool IsNumber(std::string_view text, bool sign) {
    if (sign && !text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    if (text.empty())
        return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Whole numbers as the tools print them, which ltp::parse_integer does not take: "+128" for an
// unnamed bit, and a set of all 32 bits written unsigned.
bool ParseWholeNumber(std::string_view text, long long low, long long high, long long& out) {
    if (!IsNumber(text, true) || text.size() > 12)
        return false;
    const std::string s(text);
    errno = 0;
    const long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (errno == ERANGE || v < low || v > high)
        return false;
    out = v;
    return true;
}

int BitOf(const BitNames& bits, std::string_view name) {
    for (size_t i = 0; i < bits.names.size(); ++i)
        if (SameName(bits.names[i], name))
            return static_cast<int>(i);
    return -1;
}

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names)
        list += (list.empty() ? "" : ", ") + n;
    return list;
}

std::string Number(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", value);
    return buf;
}

} // namespace

std::string FormatBits(const BitNames& bits, std::int32_t value) {
    const std::uint32_t set = static_cast<std::uint32_t>(value);
    if (set == 0)
        return "0";
    std::string text;
    const size_t count = bits.names.size();
    auto has = [&](size_t i) { return (set >> i) & 1u; };
    for (size_t i = 0; i < count;) {
        if (!has(i)) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end + 1 < count && has(end + 1))
            ++end;
        if (!bits.ranges)
            end = i;
        if (!text.empty())
            text += ',';
        if (end - i >= 2) {
            text += bits.names[i] + "-" + bits.names[end];
        } else {
            text += bits.names[i];
            for (size_t j = i + 1; j <= end; ++j)
                text += "," + bits.names[j];
        }
        i = end + 1;
    }
    const std::uint32_t rest = count >= 32 ? 0u : set & ~((1u << count) - 1u);
    if (rest != 0)
        text += (text.empty() ? "" : ",") + std::to_string(rest);
    return text;
}

bool ParseBits(const BitNames& bits, std::string_view text, std::int32_t& value,
               std::string& error) {
    const std::string whole(text);
    std::uint32_t set = 0;
    const std::string known = "one of " + NameList(bits.names) + " or a number";
    for (;;) {
        const size_t comma = text.find(',');
        const std::string_view part = Trim(text.substr(0, comma));
        const size_t dash = bits.ranges ? part.find('-') : std::string_view::npos;
        long long number = 0;
        if (dash != std::string_view::npos && dash > 0) {
            const int first = BitOf(bits, Trim(part.substr(0, dash)));
            const int last = BitOf(bits, Trim(part.substr(dash + 1)));
            if (first < 0 || last < 0 || last < first) {
                error = "'" + std::string(part) + "' in '" + whole + "' is no range of " +
                        NameList(bits.names) + " (first to last)";
                return false;
            }
            for (int b = first; b <= last; ++b)
                set |= 1u << b;
        } else if (const int bit = BitOf(bits, part); bit >= 0) {
            set |= 1u << bit;
        } else if (ParseWholeNumber(part, INT32_MIN, UINT32_MAX, number)) {
            set |= static_cast<std::uint32_t>(number);
        } else {
            error = part.empty() ? "'" + whole + "' has an empty name; give " + known
                                 : "'" + std::string(part) + "' in '" + whole + "' is not " + known;
            return false;
        }
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    value = static_cast<std::int32_t>(set);
    return true;
}

std::string FormatEnum(const EnumNames& names, std::int32_t value) {
    for (const auto& [v, name] : names)
        if (v == value)
            return name;
    return std::to_string(value);
}

bool ParseEnum(const EnumNames& names, std::string_view text, std::int32_t& value,
               std::string& error) {
    const std::string_view t = Trim(text);
    for (const auto& [v, name] : names)
        if (SameName(name, t)) {
            value = v;
            return true;
        }
    long long number = 0;
    if (ParseWholeNumber(t, INT32_MIN, INT32_MAX, number)) {
        value = static_cast<std::int32_t>(number);
        return true;
    }
    std::vector<std::string> all;
    for (const auto& entry : names)
        all.push_back(entry.second);
    error = "'" + std::string(text) + "' is not one of " + NameList(all) + " or a number";
    return false;
}

std::string FormatMinutes(double minutes) {
    return Number(minutes) + " min";
}

bool ParseMinutes(std::string_view text, double& minutes, std::string& error) {
    const std::string whole(text);
    const std::string shape = "'" + whole +
                              "' is no duration (minutes: \"90\", \"90 min\", \"1h30\", "
                              "\"1:30\")";
    std::string_view t = Trim(text);
    double total = 0;
    bool any = false;
    // "1:30": hours and minutes.
    if (const size_t colon = t.find(':'); colon != std::string_view::npos) {
        long long h = 0, m = 0;
        if (!ParseWholeNumber(t.substr(0, colon), 0, 1000000, h) || t.size() - colon != 3 ||
            !ParseWholeNumber(t.substr(colon + 1), 0, 59, m)) {
            error = shape;
            return false;
        }
        minutes = static_cast<double>(h * 60 + m);
        return true;
    }
    // Numbers, each with a unit (h, min); a last number without one after hours is minutes.
    bool hoursSeen = false;
    while (!t.empty()) {
        size_t used = 0;
        while (used < t.size() &&
               (std::isdigit(static_cast<unsigned char>(t[used])) || t[used] == '.'))
            ++used;
        double n = 0;
        if (used == 0 || !ltp::parse_decimal(t.substr(0, used), n)) {
            error = shape;
            return false;
        }
        t = Trim(t.substr(used));
        size_t letters = 0;
        while (letters < t.size() && std::isalpha(static_cast<unsigned char>(t[letters])))
            ++letters;
        const std::string_view unit = t.substr(0, letters);
        t = Trim(t.substr(letters));
        if (unit.empty() || SameName(unit, "min") || SameName(unit, "m") ||
            SameName(unit, "minutes") || SameName(unit, "minute")) {
            if (unit.empty() && !t.empty()) {
                error = shape;
                return false;
            }
            total += n;
        } else if (!hoursSeen &&
                   (SameName(unit, "h") || SameName(unit, "hours") || SameName(unit, "hour"))) {
            total += n * 60;
            hoursSeen = true;
        } else {
            error = shape;
            return false;
        }
        any = true;
    }
    if (!any) {
        error = shape;
        return false;
    }
    minutes = total;
    return true;
}

std::string FormatWhole(const Schema& schema, const Meaning& meaning, std::int32_t value) {
    switch (meaning.kind) {
        case ValueKind::bits:
            if (const BitNames* bits = schema.Bits(meaning.bits))
                return FormatBits(*bits, value);
            break;
        case ValueKind::enumeration:
            if (const EnumNames* names = schema.Enum(meaning.enumeration))
                return FormatEnum(*names, value);
            break;
        case ValueKind::minutes:
            return FormatMinutes(value);
        default:
            break;
    }
    return std::to_string(value);
}

bool ParseWhole(const Schema& schema, const Meaning& meaning, std::string_view text,
                std::int32_t& value, std::string& error) {
    switch (meaning.kind) {
        case ValueKind::bits:
            if (const BitNames* bits = schema.Bits(meaning.bits))
                return ParseBits(*bits, text, value, error);
            break;
        case ValueKind::enumeration:
            if (const EnumNames* names = schema.Enum(meaning.enumeration))
                return ParseEnum(*names, text, value, error);
            break;
        case ValueKind::minutes: {
            double minutes = 0;
            if (!ParseMinutes(text, minutes, error))
                return false;
            if (minutes != std::floor(minutes) || minutes > INT32_MAX) {
                error = "'" + std::string(text) + "' is no whole number of minutes";
                return false;
            }
            value = static_cast<std::int32_t>(minutes);
            return true;
        }
        default:
            break;
    }
    long long number = 0;
    if (!ParseWholeNumber(text, INT32_MIN, INT32_MAX, number)) {
        error = "'" + std::string(text) + "' is no whole number between -2147483648 and " +
                "2147483647";
        return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

std::string FormatNumber(const Meaning& meaning, double value) {
    if (meaning.none && value == *meaning.none)
        return std::string();
    switch (meaning.kind) {
        case ValueKind::date:
            return FormatIsoDate(value);
        case ValueKind::minutes:
            return FormatMinutes(value);
        default:
            return Number(value);
    }
}

bool ParseNumber(const Meaning& meaning, std::string_view text, double& value, std::string& error) {
    if (meaning.none && Trim(text).empty()) {
        value = *meaning.none;
        return true;
    }
    const std::string t(Trim(text));
    if (meaning.kind == ValueKind::minutes)
        return ParseMinutes(t, value, error);
    if (meaning.kind == ValueKind::date && t.find_first_not_of("0123456789.") != std::string::npos)
        return ParseIsoDate(t, value, error);
    if (!ltp::parse_decimal(t, value)) {
        error = "'" + std::string(text) + "' is no number";
        return false;
    }
    return true;
}

std::string FormatRef(const std::string& key, const std::string& name, bool textKey) {
    if (textKey || name.empty())
        return key;
    return key + " " + name;
}

bool ResolveRef(std::string_view text, const std::vector<RefCandidate>& candidates,
                const std::string& kind, std::string& key, std::string& error) {
    const std::string_view t = Trim(text);
    for (const RefCandidate& c : candidates)
        if (c.key == t || (!c.name.empty() && c.key + " " + c.name == t)) {
            key = c.key;
            return true;
        }
    if (IsNumber(t, false)) {
        key = std::string(t);
        return true;
    }
    std::vector<const RefCandidate*> named;
    for (const RefCandidate& c : candidates)
        if (c.name == t)
            named.push_back(&c);
    if (named.empty())
        for (const RefCandidate& c : candidates)
            if (SameName(c.name, t))
                named.push_back(&c);
    if (named.size() == 1) {
        key = named.front()->key;
        return true;
    }
    if (named.empty()) {
        error = "no " + kind + " is named '" + std::string(t) + "'";
        return false;
    }
    error = "'" + std::string(t) + "' names " + std::to_string(named.size()) + " " + kind +
            " records (";
    for (size_t i = 0; i < named.size(); ++i)
        error += (i ? "; " : "") + FormatRef(named[i]->key, named[i]->name, false);
    error += "); give the key";
    return false;
}

bool CheckLimit(const FieldMeaning& meaning, const std::string& fieldName, std::string_view text,
                std::string& error) {
    if (!meaning.max || text.size() <= *meaning.max)
        return true;
    error = fieldName + " is " + std::to_string(text.size()) + " bytes long; the server takes at " +
            "most " + std::to_string(*meaning.max);
    return false;
}

} // namespace ltptools
