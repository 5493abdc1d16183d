// ltpctl batch keeps one parser for many lines: nothing a line gives may reach a later line,
// and a line it refuses reads as a fresh parser's refusal.
#include "support/fixture.h"

namespace {

class BatchLines : public e2e::WithServer {};

TEST_F(BatchLines, NoLineInheritsWhatAnEarlierLineGave) {
    const e2e::ProcessResult r = Run({"--format", "csv", "batch", "--keep-going", "-"},
                                     "users add ua --text2 A2 --text3 A3\n"
                                     "users add ub --text3 B3\n"
                                     "users add uc --no-such-option 1\n"
                                     "users add ud\n"
                                     "users modify ua --text2 M2\n"
                                     "users add\n"
                                     "users add ue --text2 E2\n");
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("line 3: unknown option '--no-such-option'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 6: UserID is required"), std::string::npos) << r.err;
    struct Expected {
        const char* user;
        const char* row;
    } expected[] = {
        {"ua", "ua,M2,A3,,,"}, {"ub", "ub,,B3,,,"}, {"ud", "ud,,,,,"}, {"ue", "ue,E2,,,,"}};
    for (const Expected& e : expected) {
        const e2e::ProcessResult found = Run({"--format", "csv", "users", "find", e.user});
        EXPECT_NE(found.out.find(e.row), std::string::npos) << found.out;
    }
    EXPECT_NE(Run({"users", "find", "uc"}).exitCode, 0);
}

TEST_F(BatchLines, ALineOfItsOwnDryRunLeavesTheNextLinesSent) {
    const e2e::ProcessResult r = Run({"batch", "-"}, "users delete alice --dry-run\n"
                                                     "users add uf\n"
                                                     "users delete bob -y --dry-run\n"
                                                     "users delete carol\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Run({"users", "find", "uf"}).exitCode, 0) << "the add after a dry run went out";
    EXPECT_NE(Run({"users", "find", "carol"}).exitCode, 0) << "the delete went out";
    EXPECT_EQ(Run({"users", "find", "alice"}).exitCode, 0);
    EXPECT_EQ(Run({"users", "find", "bob"}).exitCode, 0);
}

} // namespace
