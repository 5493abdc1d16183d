// ltpctl's lists against answers no ltpd would give, from a scripted peer.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/loopback_peer.h"
#include "support/ltpd_server.h"
#include "tools/ltpctl/output.h"

namespace {

// Junk that counts as records must fail the command, not print nothing and succeed.
TEST(LtpctlLists, AFloodOfOpeningBracketsFailsAtTheResultLimit) {
    ltptest::LoopbackPeer peer;
    const std::string flood =
        ltptest::MakeResponse(200, " OK", std::string(std::size_t(5) << 20, '<'));
    peer.ServeEach([&](const std::string&) { return flood; }).Start();
    const e2e::ProcessResult r =
        e2e::CtlWithEnvironment({"--max-result-bytes", "16777216", "programs", "list"},
                                {{"LTP_HOST", "127.0.0.1"},
                                 {"LTP_PORT", std::to_string(peer.Port())},
                                 {"LTP_PASSWORD", "secret"}});
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(peer.Finish());
}

std::vector<ltp::User> SomeUsers(int count) {
    std::vector<ltp::User> users(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "u%05d", i);
        users[static_cast<std::size_t>(i)] = {id, "Name, \"quoted\"", "Dept", "", "n", "+1 555"};
    }
    return users;
}

std::string WireBody(const std::vector<ltp::User>& users) {
    std::string body;
    for (const ltp::User& u : users)
        body += "<User>" + u.user_id + "|" + u.text2 + "|" + u.text3 + "|" + u.text4 + "|" +
                u.text5 + "|" + u.text6 + "</User>\r\n";
    return body;
}

e2e::ProcessResult CtlAgainst(const ltptest::LoopbackPeer& peer,
                              const std::vector<std::string>& args) {
    return e2e::CtlWithEnvironment(args, {{"LTP_HOST", "127.0.0.1"},
                                          {"LTP_PORT", std::to_string(peer.Port())},
                                          {"LTP_PASSWORD", "secret"}});
}

// Written as the records arrive (standard output is no terminal here), the output is the bytes
// the whole list prints as.
TEST(LtpctlLists, StreamedOutputIsTheWholeListsBytes) {
    const std::vector<ltp::User> users = SomeUsers(3000);
    const std::string response = ltptest::MakeResponse(200, " OK", WireBody(users));
    struct Case {
        std::vector<std::string> args;
        ltpctl::PrintOptions options;
    };
    const Case cases[] = {
        {{"-o", "json", "users", "list"}, {ltpctl::OutputFormat::Json}},
        {{"-o", "csv", "members", "list", "g"}, {ltpctl::OutputFormat::Csv}},
        {{"-o", "csv", "--no-headers", "users", "list"},
         {ltpctl::OutputFormat::Csv, false, false, false, {}, true}},
        {{"--no-headers", "users", "list"},
         {ltpctl::OutputFormat::Table, false, false, false, {}, true}},
        {{"users", "list"}, {ltpctl::OutputFormat::Table}}, // held: aligned under its headers
    };
    for (const Case& c : cases) {
        ltptest::LoopbackPeer peer;
        peer.ServeEach([&](const std::string&) { return response; }).Start();
        const e2e::ProcessResult r = CtlAgainst(peer, c.args);
        std::ostringstream held;
        ltpctl::PrintResult(ltpctl::ValueListTable(users), c.options, held);
        EXPECT_EQ(r.exitCode, 0) << c.args[1] << r.err;
        EXPECT_TRUE(r.out == held.str()) << c.args[1] << " " << c.args[2];
        EXPECT_TRUE(peer.Finish());
    }
}

// A list that breaks off: the rows written stay, the JSON array is closed, the failure goes to
// standard error with its exit code.
TEST(LtpctlLists, AListThatBreaksOffKeepsItsRows) {
    const std::string whole = ltptest::MakeResponse(200, " OK", WireBody(SomeUsers(3000)));
    const std::string cut = whole.substr(0, whole.size() / 2);
    for (const char* format : {"json", "csv"}) {
        ltptest::LoopbackPeer peer;
        peer.ExpectRequest().Send(cut).Close().Start();
        const e2e::ProcessResult r = CtlAgainst(peer, {"-o", format, "users", "list"});
        EXPECT_EQ(r.exitCode, 3) << format;
        EXPECT_NE(r.err.find("broke before the whole answer arrived"), std::string::npos) << r.err;
        std::size_t rows = 0;
        if (std::string(format) == "json")
            rows = nlohmann::json::parse(r.out).size(); // throws when not well-formed
        else
            rows = static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')) - 1;
        EXPECT_GT(rows, 1000u) << format;
        EXPECT_LT(rows, 1500u) << format;
        EXPECT_TRUE(peer.Finish());
    }
}

// The records' limit is named when it is the one passed, whether the list is held or streamed.
TEST(LtpctlLists, TheRecordLimitIsNamedWhenItIsPassed) {
    std::vector<ltp::User> users = SomeUsers(200);
    users[150].text5 = std::string(5000, 'x');
    const std::string response = ltptest::MakeResponse(200, " OK", WireBody(users));
    const std::vector<std::vector<std::string>> runs = {
        {"--max-result-bytes", "4096", "users", "list"},
        {"--max-result-bytes", "4096", "-o", "json", "users", "list"},
        {"--max-response-bytes", "4096", "users", "list"},
    };
    for (const auto& args : runs) {
        ltptest::LoopbackPeer peer;
        peer.ServeEach([&](const std::string&) { return response; }).Start();
        const e2e::ProcessResult r = CtlAgainst(peer, args);
        EXPECT_EQ(r.exitCode, 3) << args[0] << " " << args[2];
        EXPECT_NE(r.err.find(args[0]), std::string::npos) << r.err;
        EXPECT_TRUE(peer.Finish());
    }
}

} // namespace

namespace {

// Export writes users as they arrive, in the key order ltpd lists them in. A server that lists
// them otherwise still gets a sorted file: the export is made again from a read of the whole
// list, on a new connection (the first is closed once the disorder shows).
TEST(LtpctlLists, ExportOfUsersListedOutOfOrderIsSorted) {
    const std::string users = ltptest::MakeResponse(
        200, " OK",
        "<User>bob|Bob||||</User>\r\n<User>al|Al||||</User>\r\n<User>cy|Cy||||</User>\r\n");
    const std::string none = ltptest::MakeResponse(200, " OK", "");
    const auto answer = [&](const std::string& request) {
        return request.find("AllUsers") != std::string::npos ? users : none;
    };
    ltptest::LoopbackPeer peer;
    peer.ServeEach(answer).Accept().ServeEach(answer).Start();
    const e2e::ProcessResult r = e2e::CtlWithEnvironment({"export", "--only", "users"},
                                                         {{"LTP_HOST", "127.0.0.1"},
                                                          {"LTP_PORT", std::to_string(peer.Port())},
                                                          {"LTP_PASSWORD", "secret"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "users:\n  al:\n    Text2: Al\n  bob:\n    Text2: Bob\n  cy:\n    Text2: Cy\n");
    EXPECT_TRUE(peer.Finish());
}

} // namespace
