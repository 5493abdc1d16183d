// The wire's rules of <ltpadmin/ltp/wire.h>: what the tools and the server accept as a number, a
// decimal, a date and a text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ltpadmin/client.h"

namespace {

TEST(WireRules, WholeNumbersAreSigned32Bit) {
    const struct {
        const char* text;
        bool ok;
        std::int32_t value;
    } cases[] = {
        {"0", true, 0},
        {"-1", true, -1},
        {"-2147483648", true, INT32_MIN},
        {"2147483647", true, INT32_MAX},
        {"00000000017", true, 17},
        {"2147483648", false, 0},
        {"4294967295", false, 0}, // was taken and wrapped to -1 by the server
        {"-2147483649", false, 0},
        {"99999999999999999999999", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"+5", false, 0},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"1.5", false, 0},
        {"0x10", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = 99;
        EXPECT_EQ(ltp::parse_integer(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 99) << c.text;
    }
}

TEST(WireRules, DecimalsCarryNoSign) {
    const struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.500000", true, 1.5}, {"12", true, 12},     {".5", true, 0.5},      {"7.", true, 7},
        {"1e3", false, 0},       {"2.5E-1", false, 0}, {"-0.000000", true, 0}, {"-0.5", false, 0},
        {"-1e3", false, 0},      {"+1", false, 0},     {"1.2.3", false, 0},    {".", false, 0},
        {"", false, 0},          {"1e", false, 0},     {"nan", false, 0},      {"inf", false, 0},
        {"1e999", false, 0},     {" 1", false, 0},     {"0x1p3", false, 0},
    };
    for (const auto& c : cases) {
        double value = -7;
        EXPECT_EQ(ltp::parse_decimal(c.text, value), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(value, c.ok ? c.value : -7) << c.text;
    }
}

TEST(WireRules, DatesWithOffsetsAndImpossibleDays) {
    const struct {
        const char* text;
        bool ok;
        double days;
    } cases[] = {
        {"1899-12-30", true, 0},
        {"1970-01-01T00:00:00Z", true, 25569},
        {"2025-01-01T12:00", true, 45658.5},
        {"2025-01-01 12:00:00.5", true, 45658.5 + 0.5 / 86400},
        {"2025-01-01T13:00:00+01:00", true, 45658.5},
        {"2025-01-01T07:00-0500", true, 45658.5},
        {"2025-01-01T14:00+02", true, 45658.5},
        {"2024-02-29", true, 45351},
        {"2025-02-29", false, 0},
        {"2025-02-31", false, 0},
        {"2025-13-01", false, 0},
        {"2025-01-01T24:00", false, 0},
        {"2025-01-01T12:00+24:00", false, 0},
        {"2025-01-01T12:00+1", false, 0},
        {"2025-01-01+01:00", false, 0},
        {"2025-01-01Z", true, 45658},
        {"2025-01-01X", false, 0},
        {"0000-01-01", false, 0},
        {"yesterday", false, 0},
    };
    for (const auto& c : cases) {
        double days = -7;
        std::string error;
        EXPECT_EQ(ltp::parse_iso_date(c.text, days, &error), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(days, c.ok ? c.days : -7) << c.text;
        EXPECT_EQ(error.empty(), c.ok) << c.text;
    }
    EXPECT_EQ(ltp::format_iso_date(45658.5), "2025-01-01T12:00:00Z");
    EXPECT_EQ(ltp::format_iso_date(-0.25), "1899-12-29T18:00:00Z");
    EXPECT_EQ(ltp::format_iso_date(1e12), "1000000000000.000000000");
}

TEST(WireRules, CarriagePerCodePage) {
    const std::size_t none = std::string::npos;
    const struct {
        std::string text;
        unsigned code_page;
        std::size_t bad;
    } cases[] = {
        {"plain", 1252, none},
        {"a|b", 1252, 1},
        {"a<b", 1252, 1},
        {"a>b", 1252, none},
        {"a\r", 1252, 1},
        {"\nb", 1252, 0},
        {std::string("a\0b", 3), 1252, 1},
        {"\x81|", 1252, 1},   // single-byte: "|" is "|"
        {"\x81|", 932, none}, // double-byte: "|" is a trail byte
        {"\x81<x", 932, none},
        {"x\x81", 932, 1},   // a lead byte at the end would eat the delimiter
        {"\x81\n", 932, 1},  // a line end ends the line whatever came before
        {"\x81|", 12345, 0}, // an unknown code page carries nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(ltp::find_uncarriable(c.text, c.code_page), c.bad)
            << c.text << " " << c.code_page;
}

} // namespace
