#include "tools/ltpd/body_reader.h"

#include <gtest/gtest.h>

namespace ltpd {
namespace {

const char kUserForm[] = "<User>%s|%s|%s|%s|%s|%s</User>\r\n";
const char kProgramForm[] = "<Program>%d|%s|%s|%s|%f|%d|%d|%s|%s|%s|%s|%s|%s</Program>\r\n";
const char kRightsKey[] =
    "<UserID>%s</UserID><ProgramID>%d</ProgramID><UserRights>%d</UserRights>\r\n";
const char kScheduleKey[] = "<ScheduleID>%d<ScheduleID>\r\n";
const char kQuery[] =
    "<TOPCount>%d</TOPCount><DateStarted>%.9f</DateStarted><DateStopped>%.9f</DateStopped>\r\n";

TEST(BodyReader, ReadsValuesByKind) {
    BodyValues v;
    std::string error;
    ASSERT_TRUE(ReadBody("<Program>0|Quiz||x|1.500000|-1|2147483647|a|b|c|d|e|f</Program>\r\n",
                         kProgramForm, CodePage(), v, error))
        << error;
    ASSERT_EQ(v.size(), 1u);
    ASSERT_EQ(v[0].size(), 13u);
    EXPECT_EQ(v[0][1].text, "Quiz");
    EXPECT_EQ(v[0][2].text, "");
    EXPECT_DOUBLE_EQ(v[0][4].decimal, 1.5);
    EXPECT_EQ(v[0][5].number, -1);
    EXPECT_EQ(v[0][6].number, INT32_MAX);
    EXPECT_EQ(v[0][12].text, "f");

    ASSERT_TRUE(ReadBody("<userid>bob</USERID><ProgramID>7</ProgramID><UserRights>15</UserRights>",
                         kRightsKey, CodePage(), v, error))
        << error;
    EXPECT_EQ(v[0][0].text, "bob");
    EXPECT_EQ(v[1][0].number, 7);
    EXPECT_EQ(v[2][0].number, 15);

    ASSERT_TRUE(ReadBody("<ScheduleID>-5<ScheduleID>", kScheduleKey, CodePage(), v, error));
    EXPECT_EQ(v[0][0].number, -5);
    ASSERT_TRUE(ReadBody("<ScheduleID>5</ScheduleID>\r\n", kScheduleKey, CodePage(), v, error));
    EXPECT_EQ(v[0][0].number, 5);

    ASSERT_TRUE(ReadBody("<TOPCount>10</TOPCount><DateStarted>45658.250000000</DateStarted>"
                         "<DateStopped>45659.000000000</DateStopped>\r\n",
                         kQuery, CodePage(), v, error));
    EXPECT_DOUBLE_EQ(v[1][0].decimal, 45658.25);
}

struct BadBody {
    const char* name;
    const char* form;
    std::string body;
    const char* errorPart;
};

TEST(BodyReader, RefusesBodiesThatDoNotFitTheForm) {
    const BadBody cases[] = {
        {"empty", kUserForm, "", "empty"},
        {"bar in a text", kUserForm, "<User>a|b|c|d|e|f|g</User>\r\n", "7 field(s), expected 6"},
        {"missing fields", kUserForm, "<User>a|b</User>\r\n", "2 field(s)"},
        {"lt in a text", kUserForm, "<User>a<b|b|c|d|e|f</User>\r\n", "not closed by its own tag"},
        {"wrong tag", kUserForm, "<Group>a|b|c|d|e|f</Group>\r\n", "expected element User"},
        {"mismatched close", kUserForm, "<User>a|b|c|d|e|f</Usr>\r\n", "not closed"},
        {"unclosed", kUserForm, "<User>a|b|c|d|e|f", "not closed"},
        {"text after element", kUserForm, "<User>a|b|c|d|e|f</User>x", "outside"},
        {"two records", kUserForm, "<User>a|b|c|d|e|f</User><User>a|b|c|d|e|f</User>",
         "expected 1 element"},
        {"zero byte", kUserForm, std::string("<User>a\0b|b|c|d|e|f</User>", 26), "zero byte"},
        {"CR in a text", kUserForm, "<User>a|b\rc|c|d|e|f</User>\r\n",
         "field 2 of User holds a line break"},
        {"LF in a key", kUserForm, "<User>a\n|b|c|d|e|f</User>\r\n",
         "field 1 of User holds a line break"},
        {"CR LF in the last text", kUserForm, "<User>a|b|c|d|e|f\r\n</User>\r\n", "line break"},
        {"letters in number", kRightsKey,
         "<UserID>u</UserID><ProgramID>7a</ProgramID><UserRights>1</UserRights>",
         "ProgramID is not"},
        {"empty number", kRightsKey,
         "<UserID>u</UserID><ProgramID></ProgramID><UserRights>1</UserRights>", "not a whole"},
        {"number too big", kRightsKey,
         "<UserID>u</UserID><ProgramID>4294967296</ProgramID><UserRights>1</UserRights>",
         "not a whole"},
        {"negative decimal", kQuery,
         "<TOPCount>1</TOPCount><DateStarted>-1.250000000</DateStarted><DateStopped>1</"
         "DateStopped>",
         "negative"},
        {"exponent", kQuery,
         "<TOPCount>1</TOPCount><DateStarted>1e5</DateStarted><DateStopped>1</DateStopped>",
         "not a decimal"},
        {"elements swapped", kRightsKey,
         "<ProgramID>7</ProgramID><UserID>u</UserID><UserRights>1</UserRights>",
         "expected element"},
    };
    for (const BadBody& c : cases) {
        SCOPED_TRACE(c.name);
        BodyValues v;
        std::string error;
        EXPECT_FALSE(ReadBody(c.body, c.form, CodePage(), v, error));
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        EXPECT_EQ(error.find('<'), std::string::npos) << "reasons go on the status line: " << error;
    }
}

TEST(BodyReader, StepsOverDoubleByteCharactersWhoseTrailIsABar) {
    // 0x95 0x7C is one character in code page 932; its second byte is not a field separator.
    const std::string name = "\x95|";
    const std::string body = "<User>" + name + "|b|c|d|e|f</User>\r\n";
    CodePage sjis;
    ASSERT_TRUE(sjis.Select(932));
    BodyValues v;
    std::string error;
    ASSERT_TRUE(ReadBody(body, kUserForm, sjis, v, error)) << error;
    EXPECT_EQ(v[0][0].text, name);
    EXPECT_FALSE(ReadBody(body, kUserForm, CodePage(), v, error)); // single-byte: 7 fields
}

TEST(BodyReader, NumbersAsPrintfWritesThem) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {{"0", true, 0},
                 {"17", true, 17},
                 {"-1", true, -1},
                 {"-2147483648", true, INT32_MIN},
                 {"2147483647", true, INT32_MAX},
                 {"4294967295", false, 0}, // was wrapped to -1
                 {"4294967296", false, 0},
                 {"-2147483649", false, 0},
                 {"", false, 0},
                 {"-", false, 0},
                 {"+5", false, 0},
                 {" 5", false, 0},
                 {"5 ", false, 0},
                 {"00000000017", true, 17}};
    for (const Case& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(ParseNumber(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(BodyReader, DecimalsAsPrintfWritesThem) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {{"1.500000", true, 1.5}, {"0.000000000", true, 0},
                 {"-0.000000", true, 0},  {"12", true, 12},
                 {".5", true, 0.5},       {"7.", true, 7},
                 {"1e3", false, 0},       {"10000000000.000000000", true, 1e10},
                 {"-0.5", false, 0},      {"1.2.3", false, 0},
                 {"nan", false, 0},       {"inf", false, 0},
                 {"", false, 0},          {".", false, 0}};
    for (const Case& c : cases) {
        double v = -1;
        std::string error;
        EXPECT_EQ(ParseDecimal(c.text, v, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
}

} // namespace
} // namespace ltpd
