// The information text, system information, the change log, transactions and persistence.
#include "service_fixture.h"

#include <cstdio>
#include <unistd.h>

#include "tools/ltpd/seed.h"

namespace ltpd {
namespace {

using ServerInfo = ServiceFixture;

TEST_F(ServerInfo, InformationTextIsReplacedAndReturnedAsSent) {
    EXPECT_EQ(Answer(2), "200 ");
    const std::string text = "Line one\r\n<b>|bars|</b>\r\nno final line end";
    EXPECT_EQ(Answer(1, text), "200 ");
    EXPECT_EQ(Answer(2), "200 " + text);
    EXPECT_EQ(Answer(1, ""), "200 ");
    EXPECT_EQ(Answer(2), "200 ");
}

TEST_F(ServerInfo, SysInfoReportsTheRunningServer) {
    service->Counters().openConnections = 3;
    service->Counters().totalConnections = 9;
    Response r = Call(3);
    ASSERT_EQ(r.status, 200);
    // Number1 uptime, Number2 open connections, Number3 requests, Real4 load, Number5 accepted.
    int up = -1, open = -1, requests = -1, accepted = -1;
    double load = -1;
    ASSERT_EQ(std::sscanf(r.body.c_str(), "<SysInfo>%d|%d|%d|%lf|%d</SysInfo>", &up, &open,
                          &requests, &load, &accepted),
              5)
        << r.body;
    EXPECT_GE(up, 0);
    EXPECT_EQ(open, 3);
    EXPECT_EQ(requests, 1);
    EXPECT_GE(load, 0);
    EXPECT_EQ(accepted, 9);
}

TEST_F(ServerInfo, ChangesAreLoggedAndTheLogCleared) {
    ASSERT_EQ(Call(19, Rec("Group", "g|")).status, 200);
    ASSERT_EQ(Call(6).status, 200);                      // reading logs nothing
    ASSERT_EQ(Call(19, Rec("Group", "g|")).status, 409); // neither does a refusal
    ASSERT_EQ(Call(31, "<GroupID>g</GroupID>\r\n").status, 200);
    Response log = Call(4);
    ASSERT_EQ(Count(log.body, "LogEvent"), 2u);
    EXPECT_NE(log.body.find("<LogEvent>1|"), std::string::npos);
    EXPECT_NE(log.body.find("|admin|Add group 'g'</LogEvent>"), std::string::npos);
    EXPECT_NE(log.body.find("<LogEvent>2|"), std::string::npos);
    EXPECT_NE(log.body.find("|admin|Delete group 'g'</LogEvent>"), std::string::npos);
    EXPECT_EQ(Answer(5), "200 ");
    EXPECT_EQ(Answer(4), "200 ");
}

TEST_F(ServerInfo, RefusedRequestsChangeNothing) {
    ASSERT_EQ(Call(20, Rec("Program", "0|Root|||0|0|0||||||")).status, 200);
    ASSERT_EQ(Call(20, Rec("Program", "0|Child|||0|1|0||||||")).status, 200);
    ASSERT_EQ(Call(5).status, 200);
    EXPECT_EQ(Call(54, "<ProgramID>1</ProgramID><ProgramID>2</ProgramID>\r\n").status, 409);
    EXPECT_EQ(Call(26, Rec("Program", "1|Renamed|||0|2|0||||||")).status, 409);
    EXPECT_NE(Call(14, "<ProgramID>1</ProgramID>\r\n").body.find("|Root|"), std::string::npos);
    EXPECT_EQ(Answer(4), "200 ");
}

TEST_F(ServerInfo, DemoDataLoadsOnceIntoAnEmptyDatabase) {
    EXPECT_TRUE(SeedDemo(db, 46000.0));
    EXPECT_GE(Count(Call(6).body, "User"), 3u);
    EXPECT_GE(Count(Call(8).body, "Program"), 5u);
    EXPECT_GE(Count(Call(58, "<TOPCount>3</TOPCount><DateStarted>45900.000000000</DateStarted>"
                             "<DateStopped>46000.000000000</DateStopped>\r\n")
                        .body,
                    "TOPProgram"),
              1u);
    EXPECT_FALSE(SeedDemo(db, 46000.0));
}

TEST(Persistence, DataSurvivesARestartWithTheSameFile) {
    char path[] = "/tmp/ltpd-test-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::remove(path);
    const std::string add = "Add  User  LTP/1.0\r\nUser-Name: a\r\nAuthorization: basic p\r\n"
                            "Content-Length: 21\r\n\r\n<User>k|||||</User>\r\n";
    const std::string find = "Find  User  LTP/1.0\r\nUser-Name: a\r\nAuthorization: basic "
                             "p\r\n\r\n<UserID>k</UserID>\r\n";
    {
        Database db(path);
        CreateSchema(db);
        Service s(db, Credentials{"a", "p"});
        ASSERT_EQ(s.Handle(ParseRequest(add).request).status, 200);
    }
    {
        Database db(path);
        CreateSchema(db);
        Service s(db, Credentials{"a", "p"});
        Response r = s.Handle(ParseRequest(find).request);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, "<User>k|||||</User>\r\n");
    }
    std::remove(path);
}

} // namespace
} // namespace ltpd
