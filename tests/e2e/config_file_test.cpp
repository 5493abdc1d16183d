// The configuration file on its own: what is refused, on which line, before any server is asked;
// and texts that must survive writing and reading back.
#include <gtest/gtest.h>

#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/plan.h"
#include "tools/ltpctl/state/yaml_reader.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace {

using namespace ltpstate;

struct Refusal {
    const char* file;
    int line;
    const char* says;
};

TEST(ConfigFile, MistakesAreRefusedWithTheirLine) {
    const Refusal cases[] = {
        {"groups:\n  editors: {}\nusers:\n  alice:\n    groups: [editors, ghosts]\n", 5,
         "group \"ghosts\", which the file does not hold"},
        {"programs:\n  News: {}\n  Sport/Football: {}\n", 3, "under \"Sport\""},
        {"users:\n  alice:\n    Text2: \"a|b\"\n", 3, "\"|\""},
        {"users:\n  alice:\n    Text2: \"a\\nb\"\n", 3, "line break"},
        {"users:\n  \"a<b\": {}\n", 2, "\"<\""},
        {"groups:\n  g: {Colour: red}\n", 2, "\"Colour\" is not a field of Group"},
        {"globals:\n  k:\n    Number2: twelve\n", 3, "whole number"},
        {"programs:\n  P: {Number7: 2147483648}\n", 2, "whole number"},
        {"programs:\n  P: {Real5: 1e999}\n", 2, "must be a number"},
        {"programs:\n  P: {Real5: 1e3}\n", 2, "must be a number"}, // the wire has no exponent
        {"programs:\n  P: {Number7: +5}\n", 2, "whole number"},
        {"channels:\n  c:\n    schedules:\n      - {Real4: 2026-02-31}\n", 4, "must be a date"},
        {"programs:\n  P:\n    Real5: -1.5\n", 3, "must not be negative"},
        {"programs:\n  P:\n    paths: {/p: {Real3: 1899-12-29}}\n", 3, "must not be negative"},
        {"channels:\n  c:\n    schedules:\n      - {Real4: yesterday}\n", 4, "must be a date"},
        {"users:\n  a: {}\n  a: {}\n", 3, "\"a\" twice"},
        {"users:\n  a: {Text2: x, Text2: y}\n", 2, "twice"},
        {"programs:\n  \"a\\\\b\": {}\n  ab: {}\n", 3, "given twice"},
        {"users:\n  \"\": {}\n", 2, "empty name"},
        {"users:\n  a: [1, 2\n", 3, "not YAML"},
        {"people: {}\n", 1, "not a section"},
        {"users: &all {}\ngroups: *all\n", 2, "aliases"},
        {"users: {}\n---\ngroups: {}\n", 3, "more than one document"},
        {"- users\n", 1, "map of sections"},
        {"users:\n  a:\n    groups: editors\n", 3, "list of names"},
        {"programs: {}\nchannels:\n  c:\n    schedules:\n      - {Number3: \"Nope\", Real4: 1}\n",
         5, "the file does not hold"},
        {"channels:\n  c:\n    schedules:\n      - {Number3: 4, Real4: 1}\n      - {Number3: 4, "
         "Real4: 1}\n",
         5, "given twice (also on line 4)"},
        {"users: {}\nprograms:\n  P:\n    rights: {users: {ghost: 1}}\n", 4,
         "user \"ghost\", which the file does not hold"},
        {"programs:\n  P:\n    rights: {people: {a: 1}}\n", 3, "neither users nor groups"},
    };
    const FieldNaming naming;
    for (const Refusal& c : cases) {
        try {
            MakePlan(ReadYaml(c.file, naming), State{}, true, naming);
            ADD_FAILURE() << "accepted:\n" << c.file;
        } catch (const FileError& e) {
            EXPECT_EQ(e.line(), c.line) << c.file << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.file << e.what();
        }
    }
}

TEST(ConfigFile, AwkwardTextsSurviveWritingAndReading) {
    const std::string texts[] = {"null", "~",   " lead",  "trail ", "123",
                                 "true", "",    "#x",     "a: b",   "\xe9t\xe9",
                                 "[x]",  "'q'", "\"dq\"", "\t",     "\x01\x7f"};
    State state;
    state.users.emplace();
    state.programs.emplace();
    for (const std::string& t : texts) {
        UserEntry u;
        u.user.user_id = std::string("u") + static_cast<char>('a' + state.users->size());
        u.user.text2 = t;
        state.users->push_back(u);
        ProgramEntry p;
        p.path = {"top/\\" + t};
        p.program.text3 = t;
        state.programs->push_back(p);
    }
    state.information = "line one\r\nline two | with < anything\r\n";
    const FieldNaming naming;
    const std::string written = WriteYaml(state, naming);
    const State back = ReadYaml(written, naming);
    ASSERT_EQ(back.users->size(), state.users->size());
    for (std::size_t i = 0; i < state.users->size(); ++i)
        EXPECT_EQ((*back.users)[i].user.text2, (*state.users)[i].user.text2) << written;
    for (const ProgramEntry& p : *back.programs)
        EXPECT_EQ(p.path.front().substr(0, 5), "top/\\") << written;
    EXPECT_EQ(*back.information, *state.information);
    EXPECT_EQ(WriteYaml(back, naming), written);
    // Carriage returns without a line feed, at the end too: written plain, one was lost.
    state.information = "ends\r\r";
    EXPECT_EQ(*ReadYaml(WriteYaml(state, naming), naming).information, *state.information);
}

TEST(ConfigFile, FieldsAreWrittenUnderTheirLabelsAndReadUnderEither) {
    FieldNaming naming;
    naming.label = [](std::string_view kind, std::string_view wire) -> std::optional<std::string> {
        if (kind == "User" && wire == "Text2")
            return std::string("name");
        return std::nullopt;
    };
    naming.wire = [](std::string_view kind, std::string_view label) -> std::optional<std::string> {
        if (kind == "User" && label == "name")
            return std::string("Text2");
        return std::nullopt;
    };
    const State state = ReadYaml("users:\n  a: {name: Ann}\n  b: {Text2: Bob}\n", naming);
    EXPECT_EQ((*state.users)[0].user.text2, "Ann");
    EXPECT_EQ((*state.users)[1].user.text2, "Bob");
    EXPECT_EQ(WriteYaml(state, naming), "users:\n  a:\n    name: Ann\n  b:\n    name: Bob\n");
}

} // namespace
