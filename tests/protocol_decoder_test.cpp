// The twelve record decoders over odd field lists. Each decoded record is described by its
// non-empty fields in declaration order, so a table row shows exactly which field got what.
#include "ltpadmin/protocol/response.h"

#include "ltpadmin/platform/codepage.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

class CodePage {
public:
    explicit CodePage(UINT cp) { EXPECT_TRUE(SetProcessACP(cp)); }
    ~CodePage() { SetProcessACP(1252); }
};

struct Field {
    const char* name;
    size_t offset;
    char kind; // 't' text, 'l' long, 'd' double
    size_t width;
};

#define T(R, f)                                                                                    \
    { #f, offsetof(R, f), 't', sizeof(R::f) }
#define L(R, f)                                                                                    \
    { #f, offsetof(R, f), 'l', sizeof(R::f) }
#define D(R, f)                                                                                    \
    { #f, offsetof(R, f), 'd', sizeof(R::f) }

// Declaration order, as the records are written; the decoders read in wire order.
template <typename R> std::vector<Field> FieldsOf();
template <> std::vector<Field> FieldsOf<tagUser>() {
    return {T(tagUser, UserID), T(tagUser, Text2), T(tagUser, Text3),
            T(tagUser, Text4),  T(tagUser, Text5), T(tagUser, Text6)};
}
template <> std::vector<Field> FieldsOf<tagGroup>() {
    return {T(tagGroup, GroupID), T(tagGroup, Text2)};
}
template <> std::vector<Field> FieldsOf<tagProgram>() {
    return {L(tagProgram, ProgramID), T(tagProgram, Text2),  T(tagProgram, Text3),
            T(tagProgram, Text4),     D(tagProgram, Real5),  L(tagProgram, Number6),
            L(tagProgram, Number7),   T(tagProgram, Text8),  T(tagProgram, Text9),
            T(tagProgram, Text10),    T(tagProgram, Text11), T(tagProgram, Text12),
            T(tagProgram, Text13)};
}
template <> std::vector<Field> FieldsOf<tagChannel>() {
    return {T(tagChannel, ChannelID), T(tagChannel, Text2), T(tagChannel, Text3)};
}
template <> std::vector<Field> FieldsOf<tagSchedule>() {
    return {L(tagSchedule, ScheduleID), T(tagSchedule, Text2), L(tagSchedule, Number3),
            D(tagSchedule, Real4),      D(tagSchedule, Real5), L(tagSchedule, Number6)};
}
template <> std::vector<Field> FieldsOf<tagGlobal>() {
    return {T(tagGlobal, Key), L(tagGlobal, Number2), T(tagGlobal, Text3), T(tagGlobal, Text4)};
}
template <> std::vector<Field> FieldsOf<tagLogEvent>() {
    return {L(tagLogEvent, Number1), D(tagLogEvent, Real2), T(tagLogEvent, Text3),
            T(tagLogEvent, Text4)};
}
template <> std::vector<Field> FieldsOf<tagSysInfo>() {
    return {L(tagSysInfo, Number1), L(tagSysInfo, Number2), L(tagSysInfo, Number3),
            D(tagSysInfo, Real4), L(tagSysInfo, Number5)};
}
template <> std::vector<Field> FieldsOf<tagTOPPrgoram>() {
    return {L(tagTOPPrgoram, Number1), L(tagTOPPrgoram, Number2)};
}
template <> std::vector<Field> FieldsOf<PROGRAMSTATISTIC>() {
    return {L(PROGRAMSTATISTIC, Number1), T(PROGRAMSTATISTIC, Text2), L(PROGRAMSTATISTIC, Number3),
            L(PROGRAMSTATISTIC, Number4), D(PROGRAMSTATISTIC, Real5), D(PROGRAMSTATISTIC, Real6)};
}
template <> std::vector<Field> FieldsOf<MTPSVR>() {
    return {T(MTPSVR, MTPSvrName), T(MTPSVR, Text2),   T(MTPSVR, Text3),
            L(MTPSVR, Number4),    L(MTPSVR, Number5), L(MTPSVR, Number6)};
}
template <> std::vector<Field> FieldsOf<PROGRAMPATH>() {
    return {L(PROGRAMPATH, ProgramID), T(PROGRAMPATH, ProgramPath), D(PROGRAMPATH, Real3),
            D(PROGRAMPATH, Real4)};
}

#undef T
#undef L
#undef D

// "Name=value" for every field that is not empty or zero, separated by blanks. A text array
// without its terminating zero shows as "Name=!unterminated".
template <typename R> std::string Describe(const R& record) {
    const char* base = reinterpret_cast<const char*>(&record);
    std::string out;
    for (const Field& f : FieldsOf<R>()) {
        std::string value;
        if (f.kind == 't') {
            const size_t n = strnlen(base + f.offset, f.width);
            value = n == f.width ? "!unterminated" : std::string(base + f.offset, n);
        } else if (f.kind == 'l') {
            LONG v;
            std::memcpy(&v, base + f.offset, sizeof v);
            value = v ? std::to_string(v) : "";
        } else {
            double v;
            std::memcpy(&v, base + f.offset, sizeof v);
            char text[40];
            std::snprintf(text, sizeof text, "%.17g", v);
            value = v != 0.0 ? text : "";
        }
        if (!value.empty())
            out += (out.empty() ? "" : " ") + std::string(f.name) + "=" + value;
    }
    return out;
}

struct Case {
    const char* what;
    std::string text;
    int found;
    std::string fields; // Describe() of the record, zero-filled before decoding
    UINT codePage = 1252;
};

template <typename R> void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CodePage cp(c.codePage);
        // The text is followed by bytes a decoder must not read.
        std::string buffer = c.text + "|9|9<x>";
        R record;
        std::memset(&record, 0, sizeof record);
        EXPECT_EQ(
            ltp::detail::DecodeRecord(buffer.data(), static_cast<UINT>(c.text.size()), &record),
            c.found);
        EXPECT_EQ(Describe(record), c.fields);
    }
}

TEST(DecodeRecord, User) {
    const std::string u49(49, 'u'), u50(50, 'u'), t300(300, 't');
    Check<tagUser>({
        {"six fields", "<User>u|a|b|c|d|e", 1, "UserID=u Text2=a Text3=b Text4=c Text5=d Text6=e"},
        {"three fields", "<User>u|a|b", 1, "UserID=u Text2=a Text3=b"},
        {"empty fields", "<User>|||||", 1, ""},
        {"empty field between two", "<User>u||b", 1, "UserID=u Text3=b"},
        {"surplus goes into the last field", "<User>a|b|c|d|e|f|g", 1,
         "UserID=a Text2=b Text3=c Text4=d Text5=e Text6=f|g"},
        {"tag in small letters", "<user>x", 1, "UserID=x"},
        {"tag with one more letter", "<Users>x", 0, ""},
        {"digit ends the tag name", "<User1>x", 1, "UserID=x"},
        {"another element first", "<Group>g</Group><User>u|v</User>", 1, "UserID=u Text2=v</User>"},
        {"closing tag never matches", "</User>", 0, ""},
        {"no element", "LTP/1.0 200 OK\r\n\r\n", 0, ""},
        {"empty text", "", 0, ""},
        {"tag without >", "<User", 1, ""},
        {"trail byte equal to |", "<User>\xD6|x|b", 1, "UserID=\xD6|x Text2=b", 936},
        {"same bytes in a single-byte page", "<User>\xD6|x|b", 1, "UserID=\xD6 Text2=x Text3=b"},
        {"49 bytes fit", "<User>" + u49 + "|b", 1, "UserID=" + u49 + " Text2=b"},
        {"50 bytes are cut to 49", "<User>" + u50 + "|b", 1, "UserID=" + u49 + " Text2=b"},
        {"last field cut to 49", "<User>a|b|c|d|e|" + t300, 1,
         "UserID=a Text2=b Text3=c Text4=d Text5=e Text6=" + t300.substr(0, 49)},
        {"wide field cut to 254", "<User>a|b|c|" + t300 + "|e", 1,
         "UserID=a Text2=b Text3=c Text4=" + t300.substr(0, 254) + " Text5=e"},
    });
}

TEST(DecodeRecord, Group) {
    Check<tagGroup>({
        {"two fields", "<Group>g|Group one", 1, "GroupID=g Text2=Group one"},
        {"third field joins the second", "<Group>g|b|c", 1, "GroupID=g Text2=b|c"},
        {"one field", "<Group>g", 1, "GroupID=g"},
    });
}

TEST(DecodeRecord, Program) {
    const std::string t2000(2000, 'p');
    Check<tagProgram>({
        {"thirteen fields", "<Program>7|a|b|c|1.5|6|7|h|i|j|k|l|m", 1,
         "ProgramID=7 Text2=a Text3=b Text4=c Real5=1.5 Number6=6 Number7=7 Text8=h Text9=i "
         "Text10=j Text11=k Text12=l Text13=m"},
        {"blank before the digits", "<Program> 12|a", 1, "Text2=a"},
        {"minus sign", "<Program>-5|a", 1, "Text2=a"},
        {"digits after letters are passed over", "<Program>12ab3|a", 1, "ProgramID=12 Text2=a"},
        {"32-bit pattern above the signed range", "<Program>4294967295|a", 1,
         "ProgramID=-1 Text2=a"},
        {"numbers missing", "<Program>1|a|b|c", 1, "ProgramID=1 Text2=a Text3=b Text4=c"},
        {"widest field cut to 1023", "<Program>1||||||||||||" + t2000, 1,
         "ProgramID=1 Text13=" + t2000.substr(0, 1023)},
    });
}

TEST(DecodeRecord, Channel) {
    Check<tagChannel>({
        {"three fields", "<Channel>c|t|x", 1, "ChannelID=c Text2=t Text3=x"},
        {"mixed case tag", "<cHANNEL>c", 1, "ChannelID=c"},
    });
}

TEST(DecodeRecord, Schedule) {
    Check<tagSchedule>({
        {"six fields", "<Schedule>4|s|5|0.5|2.25|6", 1,
         "ScheduleID=4 Text2=s Number3=5 Real4=0.5 Real5=2.25 Number6=6"},
        {"decimal read digit by digit", "<Schedule>1||0|0.3|0.7|0", 1,
         "ScheduleID=1 Real4=0.30000000000000004 Real5=0.70000000000000007"},
        {"signed decimal", "<Schedule>1||0|-0.5|1", 1, "ScheduleID=1 Real5=1"},
        {"surplus after the last number", "<Schedule>1|s|2|3|4|5|6|7", 1,
         "ScheduleID=1 Text2=s Number3=2 Real4=3 Real5=4 Number6=5"},
    });
}

TEST(DecodeRecord, Global) {
    Check<tagGlobal>({
        {"four fields", "<Global>k|12|a|b", 1, "Key=k Number2=12 Text3=a Text4=b"},
        {"letters after the number", "<Global>k|12abc|a|b", 1, "Key=k Number2=12 Text3=a Text4=b"},
        {"empty number", "<Global>k||a", 1, "Key=k Text3=a"},
    });
}

TEST(DecodeRecord, LogEvent) {
    Check<tagLogEvent>({
        {"four fields", "<LogEvent>3|45000.25|who|what", 1,
         "Number1=3 Real2=45000.25 Text3=who Text4=what"},
    });
}

TEST(DecodeRecord, SysInfo) {
    Check<tagSysInfo>({
        {"five numbers", "<SysInfo>1|2|3|4.5|5", 1,
         "Number1=1 Number2=2 Number3=3 Real4=4.5 Number5=5"},
        {"SYSINFO in capitals", "<SYSINFO>1", 1, "Number1=1"},
    });
}

TEST(DecodeRecord, TOPProgram) {
    Check<tagTOPPrgoram>({
        {"two numbers", "<TOPProgram>11|22", 1, "Number1=11 Number2=22"},
        {"surplus ignored", "<TOPProgram>1|2|3", 1, "Number1=1 Number2=2"},
    });
}

TEST(DecodeRecord, ProgramStatisticWireOrder) {
    Check<PROGRAMSTATISTIC>({
        {"numbers 1, 2 and last 3", "<ProgramStatistic>1|2|name|0.5|0.25|3", 1,
         "Number1=1 Text2=name Number3=2 Number4=3 Real5=0.5 Real6=0.25"},
    });
}

TEST(DecodeRecord, MTPSvrWireOrder) {
    Check<MTPSVR>({
        {"numbers 7, 8 and last 9", "<MTPSvr>m|t2|t3|7|8|9", 1,
         "MTPSvrName=m Text2=t2 Text3=t3 Number4=9 Number5=7 Number6=8"},
    });
}

TEST(DecodeRecord, ProgramPath) {
    Check<PROGRAMPATH>({
        {"four fields", "<ProgramPath>3|/a/b|0.5|1.25", 1,
         "ProgramID=3 ProgramPath=/a/b Real3=0.5 Real4=1.25"},
        {"nine decimals", "<ProgramPath>3|p|0.500000000|0.123456789", 1,
         "ProgramID=3 ProgramPath=p Real3=0.5 Real4=0.12345678900000001"},
    });
}

// A record the caller passes in keeps its texts where the response has none; numbers that the
// element leaves out read as 0.
TEST(DecodeRecord, CallersRecordKeepsTextsTheResponseLeavesOut) {
    tagGlobal g;
    std::memset(&g, 0, sizeof g);
    std::strcpy(g.Text4, "kept");
    g.Number2 = 99;
    const char text[] = "<Global>k";
    EXPECT_EQ(ltp::detail::DecodeRecord(text, sizeof text - 1, &g), 1);
    EXPECT_STREQ(g.Key, "k");
    EXPECT_EQ(g.Number2, 0);
    EXPECT_STREQ(g.Text4, "kept");
}

template <typename R> void ExpectReusedAsFresh(const std::string& older, const std::string& newer) {
    SCOPED_TRACE(newer);
    R reused, fresh;
    std::memset(&reused, 0, sizeof reused);
    std::memset(&fresh, 0, sizeof fresh);
    ltp::detail::DecodeRecord(older.data(), static_cast<UINT>(older.size()), &reused);
    ltp::detail::DecodeRecord(newer.data(), static_cast<UINT>(newer.size()), &reused);
    ltp::detail::DecodeRecord(newer.data(), static_cast<UINT>(newer.size()), &fresh);
    EXPECT_EQ(Describe(reused), Describe(fresh));
}

// A record decoded twice holds the second element's texts alone: each text ends in a zero ("u9"
// over "olduser" used to read "u9duser"). One row per record kind with texts.
TEST(DecodeRecord, AReusedRecordKeepsNoTailOfOlderTexts) {
    const std::string cut(300, 'o');
    ExpectReusedAsFresh<tagUser>("<User>olduser|previous|ccc|dddd|eeee|" + cut,
                                 "<User>u9|ab|c|d|e|f");
    ExpectReusedAsFresh<tagGroup>("<Group>oldgroup|" + cut, "<Group>g|d");
    ExpectReusedAsFresh<tagProgram>("<Program>1|aaa|bbb|ccc|1|2|3|ddd|eee|fff|ggg|hhh|" + cut,
                                    "<Program>2|a|b|c|1|2|3|d|e|f|g|h|i");
    ExpectReusedAsFresh<tagChannel>("<Channel>oldchan|text|more", "<Channel>c|t|m");
    ExpectReusedAsFresh<tagSchedule>("<Schedule>1|oldname|2|0.5|0.5|3", "<Schedule>1|n|2|0|0|3");
    ExpectReusedAsFresh<tagGlobal>("<Global>oldkey|1|three|" + cut, "<Global>k|1|t|u");
    ExpectReusedAsFresh<tagLogEvent>("<LogEvent>1|2|oldtext|" + cut, "<LogEvent>1|2|t|u");
    ExpectReusedAsFresh<PROGRAMSTATISTIC>("<ProgramStatistic>1|2|oldtext|1|1|1",
                                          "<ProgramStatistic>1|2|t|1|1|1");
    ExpectReusedAsFresh<MTPSVR>("<MTPSvr>oldname|" + cut + "|third|1|2|3", "<MTPSvr>m|a|b|1|2|3");
    ExpectReusedAsFresh<PROGRAMPATH>("<ProgramPath>1|/old/path|1|2", "<ProgramPath>1|/p|1|2");
}

// A long text is cut, not written over the fields after it: fill the record with a pattern and
// check that only the field's bytes changed.
TEST(DecodeRecord, OverlongTextStaysInsideItsArray) {
    MTPSVR m;
    std::memset(&m, 0, sizeof m);
    std::memset(m.Text2, 'x', sizeof m.Text2 - 1);
    const std::string text = "<MTPSvr>" + std::string(500, 'n') + "|";
    EXPECT_EQ(ltp::detail::DecodeRecord(text.data(), static_cast<UINT>(text.size()), &m), 1);
    EXPECT_EQ(std::string(m.MTPSvrName), std::string(49, 'n'));
    EXPECT_EQ(std::string(m.Text2), std::string(254, 'x'));
}

} // namespace
