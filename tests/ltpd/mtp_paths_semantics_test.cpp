// MTP servers and program paths.
#include "service_fixture.h"

namespace ltpd {
namespace {

using MtpAndPaths = ServiceFixture;

TEST_F(MtpAndPaths, MtpServersGetRegistrationNumbers) {
    // Five fields in, six out: Number4, the registration number, comes last.
    EXPECT_EQ(Answer(62, Rec("MTPSvr", "east|east.example.net|main|7001|500")), "200 ");
    EXPECT_EQ(Answer(62, Rec("MTPSvr", "west|west.example.net|news|7002|-1")), "200 ");
    EXPECT_EQ(Call(62, Rec("MTPSvr", "east|x|y|1|2")).status, 409);
    EXPECT_EQ(Call(62, Rec("MTPSvr", "east|x|y|1|2|3")).status, 400);
    EXPECT_EQ(Answer(60), "200 " + Rec("MTPSvr", "east|east.example.net|main|7001|500|1") +
                              Rec("MTPSvr", "west|west.example.net|news|7002|4294967295|2"));
    EXPECT_EQ(Answer(63, Rec("MTPSvr", "east|east2.example.net|news|7003|10")), "200 ");
    EXPECT_EQ(Call(63, Rec("MTPSvr", "north|x|y|1|2")).status, 404);
    // Find takes a name, or else the channel served.
    EXPECT_EQ(Answer(61, "<ChannelID>east</ChannelID>\r\n"),
              "200 " + Rec("MTPSvr", "east|east2.example.net|news|7003|10|1"));
    EXPECT_EQ(Answer(61, "<ChannelID>news</ChannelID>\r\n"),
              "200 " + Rec("MTPSvr", "east|east2.example.net|news|7003|10|1"));
    EXPECT_EQ(Call(61, "<ChannelID>main</ChannelID>\r\n").status, 404);
    EXPECT_EQ(Answer(64, "<MTPSvrName>east</MTPSvrName>\r\n"), "200 ");
    EXPECT_EQ(Call(64, "<MTPSvrName>east</MTPSvrName>\r\n").status, 404);
    EXPECT_EQ(Call(64, "<MTPSvrName></MTPSvrName>\r\n").status, 404);
    // Numbers are not given again after a delete of the last one either.
    EXPECT_EQ(Answer(62, Rec("MTPSvr", "south|||0|0")), "200 ");
    EXPECT_NE(Call(61, "<ChannelID>south</ChannelID>\r\n").body.find("|3</MTPSvr>"),
              std::string::npos);
}

TEST_F(MtpAndPaths, PathsOfPrograms) {
    ASSERT_EQ(Call(20, Rec("Program", "0|P|||0|0|0||||||")).status, 200);
    EXPECT_EQ(Answer(59, Rec("ProgramPath", "1|/b|1.000000000|2.500000000")), "200 ");
    EXPECT_EQ(Answer(59, Rec("ProgramPath", "1|/a|0.123456789|0.000000000")), "200 ");
    EXPECT_EQ(Call(59, Rec("ProgramPath", "1|/a|9|9")).status, 409);
    EXPECT_EQ(Call(59, Rec("ProgramPath", "2|/a|9|9")).status, 404);
    EXPECT_EQ(Call(59, Rec("ProgramPath", "1||9|9")).status, 400);
    EXPECT_EQ(Answer(65, "<ProgramID>1</ProgramID>\r\n"),
              "200 " + Rec("ProgramPath", "1|/a|0.123456789|0.000000000") +
                  Rec("ProgramPath", "1|/b|1.000000000|2.500000000"));
    EXPECT_EQ(Call(65, "<ProgramID>2</ProgramID>\r\n").status, 404);
    EXPECT_EQ(Answer(66, "<ProgramID>1</ProgramID><ProgramPath>/a</ProgramPath>\r\n"), "200 ");
    EXPECT_EQ(Call(66, "<ProgramID>1</ProgramID><ProgramPath>/a</ProgramPath>\r\n").status, 404);
    // A program's paths go with it.
    ASSERT_EQ(Call(32, "<ProgramID>1</ProgramID>\r\n").status, 200);
    EXPECT_FALSE(db.Exists("SELECT 1 FROM program_paths"));
}

} // namespace
} // namespace ltpd
