#include "tools/ltpctl/state/values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include <ltpadmin/ltp/wire.h>
#include <yaml-cpp/yaml.h>

#include "tools/common/dates.h"
#include "tools/ltpctl/state/file_error.h"

namespace ltpstate {

std::string FieldNaming::Name(std::string_view kind, std::string_view wireName) const {
    if (label)
        if (std::optional<std::string> l = label(kind, wireName))
            return *l;
    return std::string(wireName);
}

std::optional<char> ForbiddenCharacter(std::string_view text) {
    const std::size_t bad = ltp::find_uncarriable(text);
    if (bad == std::string_view::npos)
        return std::nullopt;
    return text[bad];
}

std::string WriteDecimal(double value) {
    // Fixed, never with an exponent, as the wire writes decimals; the shortest that reads back.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string WriteDate(double days) {
    return days == 0 ? std::string("0") : ltptools::FormatIsoDate(days);
}

bool SameDecimal(double a, double b) {
    char x[400], y[400];
    std::snprintf(x, sizeof x, "%.6f", a);
    std::snprintf(y, sizeof y, "%.6f", b);
    return std::string_view(x) == std::string_view(y);
}

std::int64_t DateKey(double days) {
    const double seconds = std::round(days * 86400.0);
    // Far outside any calendar: kept apart from every real date, and from each other by sign.
    if (!(std::fabs(seconds) < 9e15))
        return seconds < 0 ? INT64_MIN : INT64_MAX;
    return static_cast<std::int64_t>(seconds);
}

bool SameDate(double a, double b) {
    return DateKey(a) == DateKey(b);
}

bool ReadDate(const std::string& text, double& days) {
    return ltp::parse_decimal(text, days) || ltp::parse_iso_date(text, days);
}

namespace {

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned c = byte(i);
        std::size_t length = 0;
        unsigned point = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
            point = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            point = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            point = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xc0) != 0x80)
                return false;
            point = (point << 6) | (byte(i + k) & 0x3f);
        }
        const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < least[length] || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

constexpr const char* kBinaryTag = "tag:yaml.org,2002:binary";

} // namespace

void EmitText(YAML::Emitter& out, const std::string& text) {
    // A control byte the emitter would leave plain (a lone carriage return) is not read back as
    // written: such texts are double-quoted, where every control byte is an escape.
    const bool control = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    if (IsUtf8(text) && control)
        out << YAML::DoubleQuoted << text;
    else if (IsUtf8(text))
        out << text;
    else
        out << YAML::Binary(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

void EmitKey(YAML::Emitter& out, const std::string& text) {
    // Escapes may make a text up to four times longer; 200 bytes stay below 1024 either way.
    if (text.size() > 200)
        out << YAML::LongKey;
    out << YAML::Key;
    EmitText(out, text);
}

int LineOf(const YamlNode& node) {
    return node.line;
}

std::string ScalarOf(const YamlNode& node, std::string_view what) {
    if (node.IsNull())
        return std::string();
    if (!node.IsScalar())
        throw FileError(LineOf(node), std::string(what) + " must be a single value");
    if (node.tag != kBinaryTag)
        return node.scalar;
    const std::vector<unsigned char> bytes = YAML::DecodeBase64(node.scalar);
    if (bytes.empty() && node.scalar.find_first_not_of(" \t\r\n") != std::string::npos)
        throw FileError(LineOf(node), std::string(what) + " is not base64");
    return std::string(bytes.begin(), bytes.end());
}

namespace {

std::string Describe(char c) {
    switch (c) {
        case '\r':
            return "a carriage return";
        case '\n':
            return "a line break";
        case '\0':
            return "a zero byte";
        case '|':
        case '<':
            return std::string("\"") + c + "\"";
        default:
            return "a double-byte character cut short";
    }
}

// A negative decimal is named as such rather than as no number at all.
bool Negative(std::string_view text) {
    double magnitude = 0;
    return !text.empty() && text.front() == '-' && ltp::parse_decimal(text.substr(1), magnitude);
}

} // namespace

void ReadKind(ltp::FieldKind kind, const std::string& text, int line, std::string_view what,
              std::string* textValue, std::int32_t* integerValue, double* decimalValue) {
    const std::string name(what);
    switch (kind) {
        case ltp::FieldKind::text:
            if (const std::optional<char> c = ForbiddenCharacter(text))
                throw FileError(line, name + " holds " + Describe(*c) +
                                          ", which the protocol cannot carry");
            *textValue = text;
            return;
        case ltp::FieldKind::integer:
            if (!ltp::parse_integer(text, *integerValue))
                throw FileError(line, name + " must be a whole number of 32 bits, not \"" +
                                          text.substr(0, 40) + "\"");
            return;
        case ltp::FieldKind::decimal:
            if (Negative(text))
                break;
            if (!ltp::parse_decimal(text, *decimalValue))
                throw FileError(line,
                                name + " must be a number, not \"" + text.substr(0, 40) + "\"");
            break;
        case ltp::FieldKind::date:
            if (Negative(text))
                break;
            if (!ReadDate(text, *decimalValue))
                throw FileError(line, name +
                                          " must be a date (2026-12-07T12:00:00) or a number, "
                                          "not \"" +
                                          text.substr(0, 40) + "\"");
            break;
    }
    // Decimals are read back without their sign: a negative one would come back as another.
    if (Negative(text) || *decimalValue < 0)
        throw FileError(line, name + " must not be negative: the protocol reads decimals and "
                                     "dates without a sign");
}

} // namespace ltpstate
