#include "tools/ltpd/response_writer.h"

#include <gtest/gtest.h>

namespace ltpd {
namespace {

TEST(ResponseWriter, FramesStatusLengthAndBody) {
    Response ok = Ok();
    ok.body = "<Group>g|d</Group>\r\n";
    EXPECT_EQ(SerializeResponse(ok),
              "LTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n<Group>g|d</Group>\r\n");
    EXPECT_EQ(SerializeResponse(Refuse(404, "no such user 'x'")),
              "LTP/1.0 404 no such user 'x'\r\nContent-Length: 0\r\n\r\n");
}

TEST(ResponseWriter, ReasonStaysOneLineWithoutLessThan) {
    // Clients count every "<" of a response, status line included, and end the reason at CR/LF.
    std::string s = SerializeResponse(Refuse(400, "bad <User>\r\nX: y"));
    EXPECT_EQ(s, "LTP/1.0 400 bad ?User>??X: y\r\nContent-Length: 0\r\n\r\n");
}

TEST(ResponseWriter, NumbersAsClientsReadThem) {
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(17), "17");
    EXPECT_EQ(FormatNumber(-1), "4294967295"); // read back unsigned: the pattern of -1
    EXPECT_EQ(FormatNumber(INT32_MIN), "2147483648");
    EXPECT_EQ(FormatDecimal(0.5), "0.500000000");
    EXPECT_EQ(FormatDecimal(1e10), "10000000000.000000000");
    EXPECT_EQ(FormatDecimal(45658.123456789), "45658.123456789");
    // Value elements are converted with atol, which understands a sign.
    EXPECT_EQ(ValueElement("UserRights", -3), "<UserRights>-3</UserRights>\r\n");
}

TEST(ResponseWriter, RecordFieldsNeverSplitOrEndTheElement) {
    std::string out;
    RecordWriter(out, "Channel", CodePage()).Text("a|b").Text("c<d").Text("").End();
    EXPECT_EQ(out, "<Channel>a?b|c?d|</Channel>\r\n");

    CodePage sjis;
    ASSERT_TRUE(sjis.Select(932));
    out.clear();
    RecordWriter(out, "Group", sjis).Text("\x95|").Text("x").End();
    EXPECT_EQ(out, "<Group>\x95||x</Group>\r\n"); // the trail byte stays
    out.clear();
    RecordWriter(out, "Group", sjis).Text("ab\x95").Text("x").End();
    EXPECT_EQ(out, "<Group>ab?|x</Group>\r\n"); // a lone lead byte would swallow the "|"
    out.clear();
    RecordWriter(out, "Group", sjis).Text("a\r\n").Text(std::string("\x95\n\0", 3)).End();
    EXPECT_EQ(out, "<Group>a??|\x95??</Group>\r\n"); // line ends and zero bytes end no line
}

} // namespace
} // namespace ltpd
