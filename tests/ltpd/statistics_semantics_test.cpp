// Usage statistics and top programs over a period, from rows loaded as CSV.
#include "service_fixture.h"

#include <ltpadmin/ltp/wire.h>
#include "tools/ltpd/seed.h"

namespace ltpd {
namespace {

class Statistics : public ServiceFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(Call(18, Rec("User", "ann|||||")).status, 200);
        ASSERT_EQ(Call(20, Rec("Program", "0|P1|||0|0|0||||||")).status, 200);
        ASSERT_EQ(Call(20, Rec("Program", "0|P2|||0|0|0||||||")).status, 200);
        std::string error;
        // Day 100: ann uses 1 twice (1 h and 30 min) and 2 once; bob (no longer a user) uses 2.
        const char csv[] = "user,program,started,stopped\n"
                           "ann,1,100.25,100.291666666666667\n"
                           "# a comment\n"
                           "\n"
                           "ann, 1 ,100.5,100.520833333333333\r\n"
                           "ann,2,100.75,100.76\n"
                           "bob,2,1900-04-10T12:00:00Z,1900-04-10T13:00\n"
                           "bob,2,200,200.5\n";
        ASSERT_EQ(LoadUsageCsvText(db, csv, error), 5) << error;
    }
    static std::string Query(const std::string& first, double start, double stop) {
        char period[200];
        std::snprintf(period, sizeof period,
                      "<DateStarted>%.9f</DateStarted><DateStopped>%.9f</DateStopped>\r\n", start,
                      stop);
        return first + period;
    }
};

TEST_F(Statistics, UserStatisticsAggregatePerProgram) {
    // Wire order: Number1 program, Number3 uses, Text2 user, Real5 first start, Real6 last stop,
    // Number4 seconds in use.
    EXPECT_EQ(Answer(56, Query(El("UserName", "ann"), 100, 101)),
              "200 " + Rec("ProgramStatistic", "1|2|ann|100.250000000|100.520833333|5400") +
                  Rec("ProgramStatistic", "2|1|ann|100.750000000|100.760000000|864"));
    // The period picks uses by their start.
    EXPECT_EQ(Answer(56, Query(El("UserName", "ann"), 100.4, 100.6)),
              "200 " + Rec("ProgramStatistic", "1|1|ann|100.500000000|100.520833333|1800"));
    EXPECT_EQ(Answer(56, Query(El("UserName", "ann"), 300, 400)), "200 ");
    // A former user keeps his history; a name nobody knows is refused.
    EXPECT_EQ(Count(Call(56, Query(El("UserName", "bob"), 0, 1000)).body, "ProgramStatistic"), 1u);
    EXPECT_EQ(Call(56, Query(El("UserName", "zed"), 0, 1000)).status, 404);
    EXPECT_EQ(Call(56, Query(El("UserName", "ann"), 101, 100)).status, 400);
}

TEST_F(Statistics, ProgramStatisticsAggregatePerUser) {
    EXPECT_EQ(Answer(57, Query(El("ProgramID", "2"), 0, 1000)),
              "200 " + Rec("ProgramStatistic", "2|1|ann|100.750000000|100.760000000|864") +
                  Rec("ProgramStatistic", "2|2|bob|101.500000000|200.500000000|46800"));
    EXPECT_EQ(Call(57, Query(El("ProgramID", "77"), 0, 1000)).status, 404);
}

TEST_F(Statistics, TopProgramsMostUsedFirst) {
    EXPECT_EQ(Answer(58, Query(El("TOPCount", "10"), 0, 1000)),
              "200 " + Rec("TOPProgram", "2|3") + Rec("TOPProgram", "1|2"));
    EXPECT_EQ(Answer(58, Query(El("TOPCount", "1"), 0, 1000)), "200 " + Rec("TOPProgram", "2|3"));
    // Ties go by program number.
    EXPECT_EQ(Answer(58, Query(El("TOPCount", "5"), 100.5, 100.8)),
              "200 " + Rec("TOPProgram", "1|1") + Rec("TOPProgram", "2|1"));
    EXPECT_EQ(Call(58, Query(El("TOPCount", "0"), 0, 1000)).status, 400);
    EXPECT_EQ(Call(58, Query(El("TOPCount", "-1"), 0, 1000)).status, 400);
}

TEST(UsageCsv, BadLinesLoadNothing) {
    Database db(":memory:");
    CreateSchema(db);
    std::string error;
    EXPECT_EQ(LoadUsageCsvText(db, "ann,1,1,2\nann,x,1,2\n", error), -1);
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_EQ(LoadUsageCsvText(db, "ann,1,5,2\n", error), -1);
    EXPECT_EQ(LoadUsageCsvText(db, "a|b,1,1,2\n", error), -1);
    EXPECT_EQ(LoadUsageCsvText(db, "ann,1,1,2,3\n", error), -1);
    EXPECT_FALSE(db.Exists("SELECT 1 FROM usage"));
}

TEST(OleDates, IsoTextConvertsToDaysSince1899) {
    double d = 0;
    ASSERT_TRUE(ltp::parse_iso_date("1899-12-30", d));
    EXPECT_DOUBLE_EQ(d, 0);
    ASSERT_TRUE(ltp::parse_iso_date("1970-01-01T00:00:00Z", d));
    EXPECT_DOUBLE_EQ(d, 25569);
    ASSERT_TRUE(ltp::parse_iso_date("2025-01-01T12:00", d));
    EXPECT_DOUBLE_EQ(d, 45658.5);
    EXPECT_FALSE(ltp::parse_iso_date("2025-13-01", d));
    EXPECT_FALSE(ltp::parse_iso_date("2025-01-01X", d));
    EXPECT_FALSE(ltp::parse_iso_date("yesterday", d));
    EXPECT_FALSE(ltp::parse_iso_date("2025-02-31", d)); // was taken as 2025-03-03
}

} // namespace
} // namespace ltpd
