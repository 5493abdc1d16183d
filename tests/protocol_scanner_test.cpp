// The text scanner's operations, one table each.
#include "ltpadmin/protocol/text_scanner.h"

#include "ltpadmin/platform/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using ltp::detail::CTextScanner;
using ltp::detail::CTextSpan;

// Chooses the process's ANSI code page for one case and restores the default afterwards.
class CodePage {
public:
    explicit CodePage(UINT cp) { EXPECT_TRUE(SetProcessACP(cp)); }
    ~CodePage() { SetProcessACP(1252); }
};

struct SkipCase {
    const char* what;
    UINT codePage;
    std::string text; // the scanner sees exactly these bytes
    char wanted;
    UINT passed; // bytes passed over; the cursor rests there
};

TEST(TextScanner, SkipToStepsOverWholeCharacters) {
    const SkipCase cases[] = {
        {"found", 1252, "abc|def", '|', 3},
        {"at the cursor", 1252, "|a", '|', 0},
        {"absent", 1252, "abc", '|', 3},
        {"empty text", 1252, "", '|', 0},
        {"single-byte page: every byte is a character", 1252, "\xD6|x|", '|', 1},
        {"trail byte equal to the wanted byte", 936, "\xD6|x|", '|', 3},
        {"two wide characters", 936, "\x81|\xFE|a|", '|', 5},
        {"lead byte last", 936, "ab\x81", '|', 3},
        {"lead byte last, wanted byte after end", 936, "ab\x81", '<', 3},
        {"Shift-JIS lead byte", 932, "\x81|a|", '|', 3},
        {"Shift-JIS: 0xA0 opens no character", 932, "\xA0|", '|', 1},
        {"Hangul page", 949, "\xB0<b<", '<', 3},
        {"Big5 page", 950, "x\xA4|<", '<', 3},
    };
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.what);
        CodePage cp(c.codePage);
        // Copy into a buffer whose byte after the text is the wanted byte: a scan that ran past
        // end would find it.
        std::string buffer = c.text + c.wanted;
        CTextScanner scanner(buffer.data(), static_cast<UINT>(c.text.size()));
        CTextSpan out;
        const CTextSpan span = scanner.SkipTo(c.wanted, &out);
        EXPECT_EQ(span.start, buffer.data());
        EXPECT_EQ(span.length, c.passed);
        EXPECT_EQ(out.start, span.start);
        EXPECT_EQ(out.length, span.length);
        EXPECT_EQ(scanner.Cursor(), buffer.data() + c.passed);
        // The wanted byte is never consumed by the skip; at end there is nothing to match.
        EXPECT_EQ(scanner.Match(c.wanted), c.passed < c.text.size());
    }
}

TEST(TextScanner, SkipUntilStopsOnTheFirstMember) {
    struct Case {
        const char* what;
        const ltp::detail::CCharSet& set;
        const char* text;
        UINT passed;
    };
    const Case cases[] = {
        {"name before >", ltp::detail::kNameEndSet, "User>", 4},
        {"digit ends a name", ltp::detail::kNameEndSet, "User1>", 4},
        {"dash and underscore belong to names", ltp::detail::kNameEndSet, "a-b_c d", 5},
        {"slash ends a name at once", ltp::detail::kNameEndSet, "/User>", 0},
        {"high bytes end a name", ltp::detail::kNameEndSet, "ab\xC4", 2},
        {"name to end", ltp::detail::kNameEndSet, "Group", 5},
        {"rest of a line", ltp::detail::kLineEndSet, " Not Found\r\n", 10},
        {"lone LF", ltp::detail::kLineEndSet, "x\ny", 1},
        {"no line end", ltp::detail::kLineEndSet, "reason", 6},
        {"blanks and tabs", ltp::detail::kNonBlankSet, " \t 200", 3},
        {"no blanks", ltp::detail::kNonBlankSet, "200", 0},
        {"empty", ltp::detail::kNonBlankSet, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTextScanner scanner(c.text, static_cast<UINT>(std::strlen(c.text)));
        CTextSpan out;
        const CTextSpan span = scanner.SkipUntil(c.set, &out);
        EXPECT_EQ(span.length, c.passed);
        EXPECT_EQ(out.length, c.passed);
        EXPECT_EQ(scanner.Cursor(), c.text + c.passed);
    }
}

TEST(TextScanner, ReadUnsignedTakesDigitsOnly) {
    struct Case {
        const char* text;
        UINT value;
        UINT consumed;
    };
    const Case cases[] = {
        {"200 OK", 200, 3},
        {"0200", 200, 4},
        {"-1", 0, 0},
        {" 5", 0, 0},
        {"4294967295", 4294967295u, 10},
        {"4294967296", 0, 10},
        {"12\xB3", 12, 2},
        {"", 0, 0},
        {"7|8", 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CTextScanner scanner(c.text, static_cast<UINT>(std::strlen(c.text)));
        EXPECT_EQ(scanner.ReadUnsigned(), c.value);
        EXPECT_EQ(scanner.Cursor(), c.text + c.consumed);
    }
}

TEST(TextScanner, ReadDecimalAddsDigitByDigit) {
    struct Case {
        const char* text;
        double value; // compared exactly
        UINT consumed;
    };
    const Case cases[] = {
        {"0.3", 0.30000000000000004, 3}, // 3 * 0.1, not the double nearest to 0.3
        {"0.7", 0.7000000000000001, 3},
        {"0.123456789", 0.12345678900000001, 11},
        {"12", 12.0, 2},
        {".5", 0.5, 2},
        {"7.", 7.0, 2},
        {"1.2.3", 1.2, 3},
        {"-1.5", 0.0, 0},
        {"", 0.0, 0},
        {"45000.500000000|", 45000.5, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CTextScanner scanner(c.text, static_cast<UINT>(std::strlen(c.text)));
        EXPECT_EQ(scanner.ReadDecimal(), c.value);
        EXPECT_EQ(scanner.Cursor(), c.text + c.consumed);
    }
}

TEST(TextScanner, MatchConsumesOnlyWhatIsThere) {
    struct Case {
        const char* text;
        bool lineEnd; // MatchLineEnd, else Match('<')
        bool matched;
        UINT consumed;
    };
    const Case cases[] = {
        {"\r\n", true, true, 2}, {"\n\r", true, true, 1}, {"\r", true, true, 1},
        {"\rx", true, true, 1},  {"x", true, false, 0},   {"", true, false, 0},
        {"<a", false, true, 1},  {"a<", false, false, 0}, {"", false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        CTextScanner scanner(c.text, static_cast<UINT>(std::strlen(c.text)));
        EXPECT_EQ(c.lineEnd ? scanner.MatchLineEnd() : scanner.Match('<'), c.matched);
        EXPECT_EQ(scanner.Cursor(), c.text + c.consumed);
    }
}

TEST(TextScanner, MatchLineEndNeverReadsPastEnd) {
    const char buffer[] = "\r\n";
    CTextScanner scanner(buffer, 1); // the LF lies beyond the text
    EXPECT_TRUE(scanner.MatchLineEnd());
    EXPECT_EQ(scanner.Cursor(), buffer + 1);
    EXPECT_TRUE(scanner.AtEnd());
}

TEST(TextSpan, EqualsNoCaseFoldsAsciiLettersOnly) {
    struct Case {
        const char* span;
        const char* text;
        bool equal;
    };
    const Case cases[] = {
        {"USER", "User", true}, {"USER", "Users", false}, {"", "", true},
        {"user", "USER", true}, {"\xC4", "\xC4", true},   {"\xC4", "\xE4", false},
        {"[", "{", false},      {"@", "`", false},        {"Group", "Grouq", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.span) + " / " + c.text);
        const CTextSpan span{c.span, static_cast<UINT>(std::strlen(c.span))};
        EXPECT_EQ(span.EqualsNoCase(c.text, static_cast<UINT>(std::strlen(c.text))), c.equal);
    }
    // Counted on both sides: no terminating zero is needed or read.
    const char name[] = {'U', 's', 'e', 'r'};
    EXPECT_TRUE((CTextSpan{"useR!", 4}.EqualsNoCase(name, 4)));
    EXPECT_TRUE((CTextSpan{nullptr, 0}.EqualsNoCase("", 0)));
}

TEST(TextScanner, CharacterSetsAndFold) {
    for (int b = 0; b < 256; ++b) {
        const bool nameByte =
            (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-' || b == '_';
        EXPECT_EQ(ltp::detail::kNameEndSet.member[b] != 0, !nameByte) << b;
        EXPECT_EQ(ltp::detail::kLineEndSet.member[b] != 0, b == '\r' || b == '\n') << b;
        EXPECT_EQ(ltp::detail::kNonBlankSet.member[b] != 0, b != ' ' && b != '\t') << b;
        if (b < 128) {
            EXPECT_EQ(ltp::detail::kLowercaseFold.to[b], (b >= 'A' && b <= 'Z') ? b + 32 : b) << b;
        }
    }
}

} // namespace
