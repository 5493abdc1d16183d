// Users, groups, programs, channels, schedules and globals: add, list, find, modify, delete.
#include "service_fixture.h"

namespace ltpd {
namespace {

using Catalogue = ServiceFixture;

TEST_F(Catalogue, WrongCredentialsAreRefusedBeforeAnythingElse) {
    EXPECT_EQ(Call(6, "", "nope").status, 401);
    EXPECT_EQ(Call(18, Rec("User", "a|b|c|d|e|f"), "nope").status, 401);
    EXPECT_EQ(Answer(6), "200 "); // nothing was added
    const std::string noAuth = "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\n\r\n";
    EXPECT_EQ(service->Handle(ParseRequest(noAuth).request).status, 401);
    const std::string otherUser =
        "Get  AllUsers  LTP/1.0\r\nUser-Name: root\r\nAuthorization: basic pw\r\n\r\n";
    EXPECT_EQ(service->Handle(ParseRequest(otherUser).request).status, 401);
}

// One life cycle per text-keyed family: the rows of list, find, add, modify, delete.
struct Family {
    const char* tag;
    const char* keyTag;
    int list, find, add, modify, del;
    const char* record;
    const char* modified;
};

TEST_F(Catalogue, TextKeyedFamiliesLiveAndDie) {
    const Family families[] = {
        {"User", "UserID", 6, 12, 18, 24, 30, "ann|Ann Lee|Sales|ann@x.org|notes|555",
         "ann|Ann Lee-Park|Sales|ann@x.org||556"},
        {"Group", "GroupID", 7, 13, 19, 25, 31, "crew|Night crew", "crew|Night and weekend crew"},
        {"Channel", "ChannelID", 9, 15, 21, 27, 33, "ch7|Seven|HD", "ch7|Seven Plus|UHD"},
        {"Global", "Key", 11, 17, 23, 29, 35, "Limit|2147483647|ten|desc", "Limit|12|twelve|"},
    };
    for (const Family& f : families) {
        SCOPED_TRACE(f.tag);
        const std::string key = std::string(f.record).substr(0, std::string(f.record).find('|'));
        EXPECT_EQ(Answer(f.add, Rec(f.tag, f.record)), "200 ");
        EXPECT_EQ(Answer(f.list), "200 " + Rec(f.tag, f.record));
        EXPECT_EQ(Answer(f.find, El(f.keyTag, key) + "\r\n"), "200 " + Rec(f.tag, f.record));
        EXPECT_EQ(Call(f.add, Rec(f.tag, f.record)).status, 409);
        EXPECT_EQ(Answer(f.modify, Rec(f.tag, f.modified)), "200 ");
        EXPECT_EQ(Answer(f.find, El(f.keyTag, key) + "\r\n"), "200 " + Rec(f.tag, f.modified));
        EXPECT_EQ(Answer(f.del, El(f.keyTag, key) + "\r\n"), "200 ");
        EXPECT_EQ(Call(f.find, El(f.keyTag, key) + "\r\n").status, 404);
        EXPECT_EQ(Call(f.del, El(f.keyTag, key) + "\r\n").status, 404);
        EXPECT_EQ(Call(f.modify, Rec(f.tag, f.modified)).status, 404);
        EXPECT_EQ(Answer(f.list), "200 ");
    }
}

TEST_F(Catalogue, ListsAreOrderedByKey) {
    for (const char* id : {"mia", "al", "zed"})
        ASSERT_EQ(Call(19, Rec("Group", std::string(id) + "|")).status, 200);
    EXPECT_EQ(Answer(7),
              "200 " + Rec("Group", "al|") + Rec("Group", "mia|") + Rec("Group", "zed|"));
}

TEST_F(Catalogue, TextsMustFitTheRecordArrays) {
    const std::string id49(49, 'u'), id50(50, 'u');
    EXPECT_EQ(Call(18, Rec("User", id49 + "|||||")).status, 200);
    Response r = Call(18, Rec("User", id50 + "|||||"));
    EXPECT_EQ(r.status, 400);
    EXPECT_EQ(r.reason, "UserID longer than 49 bytes");
    EXPECT_EQ(Call(19, Rec("Group", "g|" + std::string(255, 'd'))).status, 400);
    EXPECT_EQ(Call(19, Rec("Group", "g|" + std::string(254, 'd'))).status, 200);
    EXPECT_EQ(Call(18, Rec("User", "|a|b|c|d|e")).reason, "UserID is empty");
}

TEST_F(Catalogue, TextsThatCannotBeCarriedAreRefusedAndNothingIsStored) {
    EXPECT_EQ(Call(18, Rec("User", "a|b|c|d|e|f|g")).status, 400); // a "|" inside a text
    EXPECT_EQ(Call(18, Rec("User", "a|b<c|c|d|e|f")).status, 400); // a "<" inside a text
    EXPECT_EQ(Call(12, El("UserID", "a|b") + "\r\n").status, 400);
    EXPECT_EQ(Answer(6), "200 ");
    EXPECT_EQ(Answer(4), "200 "); // and nothing was logged
}

TEST_F(Catalogue, ProgramsGetNumbersAndKeepTheirFields) {
    // The client's ProgramID is passed over; Number7 -1 comes back as its 32-bit pattern.
    EXPECT_EQ(Answer(20, Rec("Program", "99|News|d|t|1.500000|0|-1|a|b|c|d|e|f")),
              "200 <ProgramID>1</ProgramID>\r\n");
    EXPECT_EQ(Answer(20, Rec("Program", "0|Late|||0.000000|1|7||||||")),
              "200 <ProgramID>2</ProgramID>\r\n");
    EXPECT_EQ(Answer(14, "<ProgramID>1</ProgramID>\r\n"),
              "200 " + Rec("Program", "1|News|d|t|1.500000000|0|4294967295|a|b|c|d|e|f"));
    EXPECT_EQ(Answer(8), "200 " +
                             Rec("Program", "1|News|d|t|1.500000000|0|4294967295|a|b|c|d|e|f") +
                             Rec("Program", "2|Late|||0.000000000|1|7||||||"));
    // Deleted numbers are not given again.
    ASSERT_EQ(Call(32, "<ProgramID>2</ProgramID>\r\n").status, 200);
    EXPECT_EQ(Answer(20, Rec("Program", "0|Again|||0|0|0||||||")),
              "200 <ProgramID>3</ProgramID>\r\n");
    EXPECT_EQ(Call(14, "<ProgramID>-4</ProgramID>\r\n").status, 404);
    EXPECT_EQ(Call(20, Rec("Program", "0|Neg|||-2.000000|0|0||||||")).status, 400);
    EXPECT_EQ(Call(20, Rec("Program", "0|" + std::string(50, 'n') + "|||0|0|0||||||")).status, 400);
    EXPECT_EQ(Call(20, Rec("Program", "0|n|||0|0|0||||||" + std::string(1023, 't'))).status, 200);
}

TEST_F(Catalogue, ProgramTreeRules) {
    ASSERT_EQ(Call(20, Rec("Program", "0|Root|||0|0|0||||||")).status, 200);  // 1
    ASSERT_EQ(Call(20, Rec("Program", "0|Child|||0|1|0||||||")).status, 200); // 2
    EXPECT_EQ(Call(20, Rec("Program", "0|Orphan|||0|42|0||||||")).status, 404);
    // A program cannot become its own parent, nor the child of its child.
    EXPECT_EQ(Call(26, Rec("Program", "1|Root|||0|1|0||||||")).status, 409);
    EXPECT_EQ(Call(26, Rec("Program", "1|Root|||0|2|0||||||")).status, 409);
    EXPECT_EQ(Call(26, Rec("Program", "1|Root|||0|77|0||||||")).status, 404);
    // A program with children is not deleted from under them.
    EXPECT_EQ(Call(32, "<ProgramID>1</ProgramID>\r\n").status, 409);
    EXPECT_EQ(Call(32, "<ProgramID>2</ProgramID>\r\n").status, 200);
    EXPECT_EQ(Call(32, "<ProgramID>1</ProgramID>\r\n").status, 200);
}

TEST_F(Catalogue, SchedulesBelongToTheChannelTheirText2Names) {
    ASSERT_EQ(Call(21, Rec("Channel", "main|Main|HD")).status, 200);
    EXPECT_EQ(Answer(22, Rec("Schedule", "0|main|3|45658.250000|45658.500000|31")),
              "200 <ScheduleID>1</ScheduleID>\r\n");
    EXPECT_EQ(Answer(22, Rec("Schedule", "0||3|0.000000|0.000000|0")),
              "200 <ScheduleID>2</ScheduleID>\r\n");
    EXPECT_EQ(Call(22, Rec("Schedule", "0|nowhere|3|0|0|0")).status, 404);
    // The schedule key is sent with a closing tag that has no slash.
    EXPECT_EQ(Answer(16, "<ScheduleID>1<ScheduleID>\r\n"),
              "200 " + Rec("Schedule", "1|main|3|45658.250000000|45658.500000000|31"));
    EXPECT_EQ(Answer(38, "<ChannelID>main</ChannelID>\r\n"),
              "200 " + Rec("Schedule", "1|main|3|45658.250000000|45658.500000000|31"));
    EXPECT_EQ(Answer(39, "<ScheduleID>1<ScheduleID>\r\n"), "200 " + Rec("Channel", "main|Main|HD"));
    EXPECT_EQ(Call(39, "<ScheduleID>2<ScheduleID>\r\n").status, 404); // no channel
    EXPECT_EQ(Call(39, "<ScheduleID>7<ScheduleID>\r\n").status, 404);
    EXPECT_EQ(Call(38, "<ChannelID>none</ChannelID>\r\n").status, 404);
    // Moving a schedule to another channel is a modify of its Text2.
    ASSERT_EQ(Call(28, Rec("Schedule", "2|main|4|1.000000|2.000000|1")).status, 200);
    EXPECT_EQ(Count(Call(38, "<ChannelID>main</ChannelID>\r\n").body, "Schedule"), 2u);
    EXPECT_EQ(Count(Call(10).body, "Schedule"), 2u);
    EXPECT_EQ(Call(28, Rec("Schedule", "9|main|4|1.000000|2.000000|1")).status, 404);
    // A channel with schedules stays until they go.
    EXPECT_EQ(Call(33, "<ChannelID>main</ChannelID>\r\n").status, 409);
    EXPECT_EQ(Call(34, "<ScheduleID>1<ScheduleID>\r\n").status, 200);
    EXPECT_EQ(Call(34, "<ScheduleID>2<ScheduleID>\r\n").status, 200);
    EXPECT_EQ(Call(34, "<ScheduleID>2<ScheduleID>\r\n").status, 404);
    EXPECT_EQ(Call(33, "<ChannelID>main</ChannelID>\r\n").status, 200);
}

TEST_F(Catalogue, DecimalsComeBackAsSent) {
    const double values[] = {0.5, 0.3, 45658.123456, 1e10, 0.000001};
    for (double v : values) {
        char sent[64], back[64];
        std::snprintf(sent, sizeof sent, "%f", v);
        std::snprintf(back, sizeof back, "%.9f", std::strtod(sent, nullptr));
        Response add = Call(20, Rec("Program", std::string("0|p|||") + sent + "|0|0||||||"));
        ASSERT_EQ(add.status, 200);
        std::string id = add.body.substr(11, add.body.find('<', 11) - 11);
        Response found = Call(14, "<ProgramID>" + id + "</ProgramID>\r\n");
        EXPECT_NE(found.body.find(std::string("|") + back + "|"), std::string::npos)
            << sent << " -> " << found.body;
    }
}

} // namespace
} // namespace ltpd
