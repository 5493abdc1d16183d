// The value types' reflection and the date helpers of <ltpadmin/client.h>.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ltpadmin/client.h"

namespace {

using namespace std::chrono;

ltp::TimePoint At(long long unix_seconds) {
    return ltp::TimePoint(seconds(unix_seconds));
}

TEST(ClientDates, WireDatesAndTimePoints) {
    struct Case {
        double date;
        ltp::TimePoint time;
    } const cases[] = {
        {25569.0, At(0)},          // 1970-01-01
        {45658.5, At(1735732800)}, // 2025-01-01 12:00
        {0.0, At(-2209161600)},    // 1899-12-30
        {-1.25, At(-2209161600 - 108000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        EXPECT_DOUBLE_EQ(ltp::to_wire_date(c.time), c.date);
        EXPECT_EQ(ltp::from_wire_date(c.date), c.time);
    }
    const auto now = time_point_cast<microseconds>(system_clock::now());
    EXPECT_EQ(ltp::from_wire_date(ltp::to_wire_date(now)), now);
    // Every microsecond of a day near today comes back as it was (a double holds about 0.6 us).
    for (std::int64_t us = 0; us < 200000; us += 7) {
        const ltp::TimePoint t = At(1735732800) + microseconds(us * 4999);
        ASSERT_EQ(ltp::from_wire_date(ltp::to_wire_date(t)), t) << us;
    }
    // Dates no time point can hold stop at its ends instead of overflowing.
    EXPECT_GT(ltp::from_wire_date(1e300), now);
    EXPECT_LT(ltp::from_wire_date(-1e300), now);
    ltp::from_wire_date(std::nan(""));
}

// Wire names and order come from the records; member names follow them in snake case; fields the
// server fills alone are marked so.
TEST(ClientFields, NamesOrderAndWhatIsSent) {
    std::string program, statistic, mtp;
    for (const auto& f : ltp::fields<ltp::Program>())
        program += std::string(f.wire_name) + ":" + f.name + " ";
    for (const auto& f : ltp::fields<ltp::ProgramStatistic>())
        statistic += std::string(f.name) + (f.kind == ltp::FieldKind::date ? "(date) " : " ");
    for (const auto& f : ltp::fields<ltp::MtpServer>())
        mtp += std::string(f.name) + (f.sent ? " " : "(received) ");
    EXPECT_EQ(program, "ProgramID:program_id Text2:text2 Text3:text3 Text4:text4 Real5:real5 "
                       "Number6:number6 Number7:number7 Text8:text8 Text9:text9 "
                       "Text10:text10 Text11:text11 Text12:text12 Text13:text13 ");
    EXPECT_EQ(statistic, "number1 number3 text2 real5(date) real6(date) number4 ");
    EXPECT_EQ(mtp, "mtp_svr_name text2 text3 number5 number6 number4(received) ");
    EXPECT_STREQ(ltp::record_name<ltp::TopProgram>(), "TOPProgram");
    ltp::MtpServer server;
    server.*ltp::fields<ltp::MtpServer>()[3].integer = 7;
    EXPECT_EQ(server.number5, 7);
}

// A dry client hands each request over instead of sending it, opens no connection, and every
// kind of call returns as a success with nothing in it.
TEST(ClientDryRun, HandsRequestsOverAndSendsNothing) {
    struct Case {
        const char* name;
        std::function<void(ltp::Client&)> call;
        const char* start; // of the request handed over
    } const cases[] = {
        {"a change", [](ltp::Client& c) { c.delete_user("ann"); }, "Delete  User "},
        {"a record",
         [](ltp::Client& c) {
             c.add_user(ltp::User{"ann", "Ann", "", "", "", ""});
         },
         "Add  User "},
        {"a new id is 0", [](ltp::Client& c) { EXPECT_EQ(c.add_program(ltp::Program{}), 0); },
         "Add  Program "},
        {"a value is 0", [](ltp::Client& c) { EXPECT_EQ(c.user_rights("ann", 3), 0); },
         "Get  UserRights "},
        {"a lookup finds nothing",
         [](ltp::Client& c) { EXPECT_FALSE(c.find_group("g").has_value()); }, "Find  Group "},
        {"a list is empty", [](ltp::Client& c) { EXPECT_TRUE(c.users().empty()); },
         "Get  AllUsers "},
        {"a single record is zeros", [](ltp::Client& c) { EXPECT_EQ(c.sys_info().number1, 0); },
         "Get  SysInfo "},
        {"a text is empty", [](ltp::Client& c) { EXPECT_EQ(c.information(), ""); },
         "Get  Infomation "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> handed;
        ltp::Options options;
        options.port = 9; // nothing listens: a connection attempt would fail
        options.user = "admin";
        options.password = "secret";
        options.dry_run = [&](std::string_view request) { handed.emplace_back(request); };
        ltp::Client client(options);
        c.call(client);
        EXPECT_FALSE(client.connected());
        ASSERT_EQ(handed.size(), 1u);
        EXPECT_EQ(handed[0].rfind(c.start, 0), 0u) << handed[0];
        EXPECT_NE(handed[0].find("secret"), std::string::npos);
    }
    // What the protocol cannot carry is refused as before, with nothing handed over.
    ltp::Options options;
    int handed = 0;
    options.dry_run = [&](std::string_view) { ++handed; };
    ltp::Client client(options);
    EXPECT_THROW(client.delete_user("a|b"), ltp::InvalidInput);
    EXPECT_EQ(handed, 0);
}

} // namespace
