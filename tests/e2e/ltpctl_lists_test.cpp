// ltpctl's lists against answers no ltpd would give, from a scripted peer.
#include <gtest/gtest.h>

#include <string>

#include "support/loopback_peer.h"
#include "support/ltpd_server.h"

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
