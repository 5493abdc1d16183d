// The configuration file's fast paths against the YAML library they stand in for: the writer's
// direct form of plain texts, and the reader's split by indentation with its direct reading of
// simple entries. Both must give exactly what the library gives, or step aside.
#include <gtest/gtest.h>

#include <random>

#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/yaml_reader.h"
#include "tools/ltpctl/state/yaml_sections.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace {

using namespace ltpstate;

std::string Written(const State& state, bool emitterOnly) {
    std::string out;
    const FieldNaming naming;
    YamlWriter writer(naming, [&](std::string_view piece) { out.append(piece); });
    writer.emitterOnly = emitterOnly;
    WriteSections(writer, state);
    writer.Finish();
    return out;
}

State UsersWith(const std::vector<std::string>& texts) {
    State state;
    state.users.emplace();
    state.groups.emplace();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        UserEntry u;
        u.user.user_id = texts[i].empty() ? "u" + std::to_string(i) : texts[i];
        u.user.text2 = texts[i];
        u.user.text6 = "x" + texts[i];
        u.groups = {texts[i].empty() ? "g" : texts[i], "zz"};
        std::sort(u.groups.begin(), u.groups.end());
        state.users->push_back(u);
        state.groups->push_back({{u.user.user_id, texts[i]}, 0});
    }
    return state;
}

TEST(ConfigLayout, DirectWritingGivesTheEmittersBytes) {
    std::vector<std::string> texts = {"alice",
                                      "Alice Martin",
                                      "+1 555 0100",
                                      "Building 1, floor 2",
                                      "a@b.org",
                                      "null",
                                      "NULL",
                                      "Null",
                                      "nul",
                                      "~",
                                      "true",
                                      "yes",
                                      "123",
                                      "-5",
                                      "- a",
                                      "a: b",
                                      "a:b",
                                      "a #b",
                                      "a#b",
                                      "a ",
                                      " a",
                                      "a,b",
                                      "(x)",
                                      ".hidden",
                                      "/media/x",
                                      "_x",
                                      "@x",
                                      "x-",
                                      "[x",
                                      "x]",
                                      "{x}",
                                      "?x",
                                      "a  b",
                                      "é",
                                      "\"q\"",
                                      "it's",
                                      std::string(199, 'a'),
                                      std::string(201, 'a'),
                                      "ends with colon:",
                                      "%x",
                                      "!x",
                                      "&x",
                                      "*x",
                                      ">x",
                                      "`x",
                                      "#x",
                                      "a\tb",
                                      ""};
    // And random texts over the characters that matter to YAML.
    std::mt19937 random(7);
    const std::string alphabet = "aZ9 ,:#-+./()@_[]{}'\"!&*?>%`~";
    for (int i = 0; i < 400; ++i) {
        std::string t;
        for (int n = 1 + static_cast<int>(random() % 6); n > 0; --n)
            t += alphabet[random() % alphabet.size()];
        texts.push_back(t);
    }
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    const State state = UsersWith(texts);
    EXPECT_EQ(Written(state, false), Written(state, true));
    EXPECT_EQ(Written(state, false), WriteYaml(ReadYaml(Written(state, false), {}), {}));
}

TEST(ConfigLayout, WritingOutOfKeyOrderIsRefused) {
    const FieldNaming naming;
    YamlWriter writer(naming, [](std::string_view) {});
    writer.Begin("users");
    UserEntry u;
    u.user.user_id = "b";
    writer.Add(u);
    u.user.user_id = "b"; // a server may list a key twice: kept, in the order given
    writer.Add(u);
    u.user.user_id = "a";
    EXPECT_THROW(writer.Add(u), YamlWriter::OutOfOrder);
}

void ExpectSame(const YamlNode& fast, const YamlNode& parsed, const std::string& where) {
    EXPECT_EQ(fast.kind, parsed.kind) << where;
    EXPECT_EQ(fast.scalar, parsed.scalar) << where;
    EXPECT_EQ(fast.tag, parsed.tag) << where << " " << parsed.scalar;
    EXPECT_EQ(fast.line, parsed.line) << where << " " << parsed.scalar;
    ASSERT_EQ(fast.children.size(), parsed.children.size()) << where;
    for (std::size_t i = 0; i < fast.children.size(); ++i)
        ExpectSame(fast.children[i], parsed.children[i], where);
}

TEST(ConfigLayout, SplitReadingGivesTheParsersTree) {
    const struct {
        const char* file;
        bool split;
    } cases[] = {
        {"users:\n  a:\n    Text2: Ann\n    groups: [g1, g2]\n  b: {}\ngroups: {}\n", true},
        {"information: hello\nusers:\n  a:\n    Text2: \"quoted: text\"\n    Text3: x:y\n", true},
        {"users:\n  a:\n    Text2: two\n      lines\n  b:\n    groups: []\n", true},
        {"users:\n  a:\n    Text2: 'single'\n    Text3: it's\n    Text4: \"a\\\"b\"\n", true},
        {"users:\n  a:\n    Text2: -x\n    Text3: ?y\n    Text4: [a, b c , d]\n", true},
        {"users:\n  a:\n    Text2: yes\n    Text3: 12\n    Text4: ~x\n", true},
        {"programs:\n  News:\n    Real5: 30\n    paths: {/m: {Real3: 2025-01-01}}\n", true},
        {"channels:\n  c:\n    schedules:\n      - Number3: \"P\"\n        Real4: 1\n", true},
        {"users:\n  a:\n    Text2: [x,\n      y]\n", false}, // a list over two lines
        {"users:\n  a:\n    Text2: x # note\n", true},       // a comment
        {"users:\n    a:\n        Text2: x\n", false},       // four spaces a level
        {"users:\n  \"a b\": {}\n", false},                  // a quoted key
        {"users:\n  a: {}\n---\ngroups: {}\n", false},       // two documents
        {"users:\n  a:\n    Text2: x\n", true},
        {"users:\n  a:\n    Text2: Studio #2\n    Text3: Hello!\n    Text4: R&D 100%\n", true},
        {"users:\n  a:\n    Text2: |\n      a block\n      of text\n  b:\n    Text2: !!str 5\n",
         true},
        {"# a comment\nusers: {}\n", false},
        {"users: {}\n# a comment\n", false},
        {"users:\n  a:\n    Text2: x", false}, // no last line break
        {"users:\n", false},                   // a section of no value
        {"users: &u {}\n", true},              // an anchor is no alias
        {"users:\r\n  a: {}\r\n", false},
    };
    for (const auto& c : cases) {
        std::vector<YamlSection> sections;
        ASSERT_EQ(SplitSections(c.file, sections), c.split) << c.file;
        if (!c.split)
            continue;
        const YamlNode root = ParseYaml(c.file);
        ASSERT_EQ(root.children.size(), 2 * sections.size()) << c.file;
        for (std::size_t s = 0; s < sections.size(); ++s) {
            ExpectSame(sections[s].key, root.children[2 * s], c.file);
            const YamlNode& body = root.children[2 * s + 1];
            if (!sections[s].split) {
                ExpectSame(sections[s].value, body, c.file);
                continue;
            }
            ASSERT_EQ(body.children.size(), 2 * sections[s].entries.size()) << c.file;
            for (std::size_t e = 0; e < sections[s].entries.size(); ++e) {
                YamlNode key, value;
                ReadEntry(sections[s].entries[e], key, value);
                ExpectSame(key, body.children[2 * e], c.file);
                ExpectSame(value, body.children[2 * e + 1], c.file);
            }
        }
    }
    // An alias in a split file is refused as in a whole one, on its line.
    try {
        ReadYaml("users:\n  a: &x {Text2: y}\n  b:\n    Text2: *x\n", FieldNaming());
        ADD_FAILURE() << "read";
    } catch (const FileError& e) {
        EXPECT_EQ(e.line(), 4);
        EXPECT_NE(std::string(e.what()).find("aliases"), std::string::npos) << e.what();
    }
}

} // namespace
