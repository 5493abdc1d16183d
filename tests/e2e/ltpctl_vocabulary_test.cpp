// One vocabulary: the earlier spellings of commands and options still do what the words of the
// vocabulary do, and the MTP register is asked by name or by channel as the words say.
#include "support/fixture.h"

namespace {

class Vocabulary : public e2e::WithServer {};

TEST_F(Vocabulary, EarlierSpellingsGiveWhatTheirWordsGive) {
    struct Case {
        std::vector<std::string> words;
        std::vector<std::string> earlier;
    };
    const Case cases[] = {
        {{"statistics", "top", "-n", "3"}, {"stats", "top", "-n", "3"}},
        {{"statistics", "user", "alice"}, {"stats", "user", "alice"}},
        {{"statistics", "program", "2"}, {"stats", "program", "2"}},
        {{"information", "get"}, {"info", "get"}},
        {{"mtp-servers", "list"}, {"mtp", "list"}},
        {{"mtp-servers", "find", "mtp-west"}, {"mtpsvr", "find", "mtp-west"}},
        {{"users", "find", "alice"}, {"user", "find", "alice"}},
        {{"members", "list", "editors"}, {"members", "group-users", "editors"}},
        {{"members", "groups", "alice"}, {"members", "user-groups", "alice"}},
        {{"rights", "users", "1"}, {"rights", "granted-users", "1"}},
        {{"rights", "groups", "1"}, {"rights", "granted-groups", "1"}},
        {{"--code-page", "1252", "users", "list"}, {"--codepage", "1252", "users", "list"}},
        {{"--request-timeout", "5", "groups", "list"}, {"--timeout", "5", "groups", "list"}},
        // Changes: what the dry run would send is the same request.
        {{"--dry-run", "members", "delete", "alice", "editors"},
         {"--dry-run", "members", "remove", "alice", "editors"}},
        {{"--dry-run", "information", "set", "hello"}, {"--dry-run", "info", "set", "hello"}},
        {{"--dry-run", "mtp-servers", "delete", "mtp-east"},
         {"--dry-run", "mtp", "delete", "mtp-east"}},
    };
    for (const Case& c : cases) {
        const e2e::ProcessResult now = Run(c.words);
        const e2e::ProcessResult before = Run(c.earlier);
        EXPECT_EQ(now.exitCode, 0) << Describe(c.words, now);
        EXPECT_FALSE(now.out.empty()) << Describe(c.words, now);
        EXPECT_EQ(before.exitCode, now.exitCode) << Describe(c.earlier, before);
        EXPECT_EQ(before.out, now.out) << Describe(c.earlier, before);
    }
    // Nothing of the dry runs was sent.
    EXPECT_TRUE(
        e2e::Contains(e2e::Column(Json({"members", "groups", "alice"}), "GroupID"), "editors"));
}

TEST_F(Vocabulary, TheRegisterIsAskedByNameOrByChannelAsTheWordsSay) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* name;   // the MTP server answered; "" when none
        const char* errHas; // on failure
    };
    // mtp-west serves channel news24; mtp-east serves main.
    const Case cases[] = {
        {{"mtp-servers", "find", "mtp-west"}, 0, "mtp-west", ""},
        {{"channels", "mtp-server", "news24"}, 0, "mtp-west", ""},
        {{"channels", "mtp-server", "main"}, 0, "mtp-east", ""},
        // A channel's id is no server's name.
        {{"mtp-servers", "find", "news24"}, 1, "", "has no MTP server 'news24'"},
        {{"channels", "mtp-server", "nowhere"}, 1, "", "404"},
        {{"channels", "mtp-server", "a|b"}, 4, "", "ChannelID holds '|'"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--format", "json"});
        const e2e::ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << Describe(args, r);
        if (c.exitCode == 0)
            EXPECT_EQ(nlohmann::json::parse(r.out, nullptr, false).value("MTPSvrName", ""), c.name)
                << Describe(args, r);
        else
            EXPECT_NE(r.err.find(c.errHas), std::string::npos) << Describe(args, r);
    }
}

} // namespace

namespace {

class CodePage : public e2e::WithServer {};

// A text is judged in the code page given: a '|' that trails a double-byte lead travels, a lead
// byte that ends the text does not.
TEST_F(CodePage, TextsAreJudgedInTheCodePageGiven) {
    struct Case {
        const char* codePage;
        std::string key;
        int exitCode;
    };
    const Case cases[] = {
        {"932", "a\x82|", 0},  {"1252", "a\x82|", 4}, {"932", "ab\x82", 4},
        {"1252", "ab\x82", 0}, {"932", "a|", 4},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> args = {"--code-page", c.codePage, "--dry-run",
                                               "users",       "add",      c.key};
        const e2e::ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << Describe(args, r);
    }
}

} // namespace
