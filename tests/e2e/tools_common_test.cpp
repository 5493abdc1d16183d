// The pieces the tools share: labels files, profiles, password files, host forms and how values
// are shown to people.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "support/ltpd_server.h"
#include "tools/common/config_error.h"
#include "tools/common/display.h"
#include "tools/common/labels.h"
#include "tools/common/profile.h"
#include "tools/common/record_json.h"

namespace {

using namespace ltptools;

TEST(ToolsCommon, LabelsReadBothWaysAndBadFilesAreRefused) {
    const FieldLabels labels =
        FieldLabels::Parse("[User]\nText2 = \"name\"\n[Program]\nNumber6 = \"Parent\"\n", "t");
    ASSERT_NE(labels.Label("User", "Text2"), nullptr);
    EXPECT_EQ(*labels.Label("User", "Text2"), "name");
    EXPECT_EQ(labels.Label("User", "Text3"), nullptr);
    EXPECT_EQ(labels.Label("Group", "Text2"), nullptr);
    ASSERT_NE(labels.Wire("Program", "parent"), nullptr);
    EXPECT_EQ(*labels.Wire("Program", "PARENT"), "Number6");
    EXPECT_EQ(labels.Name("Program", "Text2"), "Text2");

    const struct {
        const char* toml;
        const char* says;
    } bad[] = {
        {"[User]\nText2 = \"full name\"\n", "must be a name"},
        {"[User]\nText2 = \"name\"\nText3 = \"Name\"\n", "given twice"},
        {"[User]\nText2 = 5\n", "must be a text"},
        {"User = 3\n", "must be a table"},
        {"[User\n", "t:"},
    };
    for (const auto& c : bad) {
        try {
            FieldLabels::Parse(c.toml, "t");
            ADD_FAILURE() << c.toml;
        } catch (const ConfigError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

TEST(ToolsCommon, TheShippedLabelsFileLoads) {
    const FieldLabels labels = FieldLabels::Load(LTPD_LABELS_PATH);
    EXPECT_EQ(labels.Name("Schedule", "Real4"), "start");
    EXPECT_EQ(labels.Name("Program", "Number6"), "parent");
}

TEST(ToolsCommon, ProfilesAndPasswordFiles) {
    e2e::TempDir dir;
    const std::string config = dir.File("config.toml");
    std::ofstream(config) << "default = \"a\"\n"
                             "[profiles.a]\nhost = \"::1\"\nport = 4711\ntimeout = 2.5\n"
                             "labels = \"l.toml\"\npassword_file = \"/etc/pw\"\n"
                             "[profiles.b]\nuser = \"ann\"\n"
                             "[profiles.bad]\nport = 70000\n"
                             "[profiles.typo]\nhots = \"x\"\n";
    const Profile a = LoadProfile(config, "");
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(a.host.value_or(""), "::1");
    EXPECT_EQ(a.port.value_or(0), 4711);
    EXPECT_EQ(a.timeout.value_or(std::chrono::milliseconds(0)).count(), 2500);
    EXPECT_EQ(a.labels_file.value_or(""), dir.File("l.toml"));
    EXPECT_EQ(a.password_file.value_or(""), "/etc/pw");
    EXPECT_EQ(LoadProfile(config, "b").user.value_or(""), "ann");
    EXPECT_FALSE(LoadProfile(dir.File("none.toml"), "").host);
    for (const char* name : {"bad", "typo", "missing"})
        EXPECT_THROW(LoadProfile(config, name), ConfigError) << name;
    EXPECT_THROW(LoadProfile(dir.File("none.toml"), "a"), ConfigError);

    const std::string pw = dir.File("pw");
    std::ofstream(pw) << "s3cret\r\nsecond line\n";
    chmod(pw.c_str(), 0600);
    EXPECT_EQ(ReadPasswordFile(pw), "s3cret");
    chmod(pw.c_str(), 0640);
    EXPECT_THROW(ReadPasswordFile(pw), ConfigError);
    chmod(pw.c_str(), 0604);
    EXPECT_THROW(ReadPasswordFile(pw), ConfigError);
    EXPECT_THROW(ReadPasswordFile(dir.Path()), ConfigError);
    EXPECT_THROW(ReadPasswordFile(dir.File("absent")), ConfigError);
}

TEST(ToolsCommon, HostForms) {
    const struct {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"example.net", true, "example.net", 120},
        {"192.0.2.1:4711", true, "192.0.2.1", 4711},
        {"::1", true, "::1", 120},
        {"[::1]:4711", true, "::1", 4711},
        {"[fe80::1]", true, "fe80::1", 120},
        {"h:0", false, "", 0},
        {"h:65536", false, "", 0},
        {"h:", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]x", false, "", 0},
        {":4711", false, "", 0},
        {"h:99999999999999999999", false, "", 0},
    };
    for (const auto& c : cases) {
        std::string host, error;
        int port = 120;
        EXPECT_EQ(SplitHostPort(c.text, host, port, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(host, c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
    std::string same = "h:7", error;
    int port = 120;
    ASSERT_TRUE(SplitHostPort(same, same, port, error)) << "split into the string it came from";
    EXPECT_EQ(same, "h");
    EXPECT_EQ(port, 7);
}

TEST(ToolsCommon, ValuesForPeople) {
    EXPECT_EQ(DisplayDate(0, false), "");
    EXPECT_EQ(DisplayDate(46363.5, false), "2026-12-07T12:00Z");
    EXPECT_EQ(DisplayDate(46363.0 + 30.0 / 86400, false), "2026-12-07T00:00:30Z");
    EXPECT_EQ(DisplayDate(1e12, false), "1000000000000.000000000");
    setenv("TZ", "UTC-1", 1); // one hour east of UTC, as POSIX writes it
    tzset();
    EXPECT_EQ(DisplayDate(46363.5, true), "2026-12-07T13:00+01:00");
    unsetenv("TZ");
    tzset();

    const struct {
        std::int64_t bits;
        const char* text;
    } days[] = {{0, ""},
                {31, "Mon-Fri"},
                {96, "Sat,Sun"},
                {127, "Mon-Sun"},
                {1 | 4 | 8, "Mon,Wed,Thu"},
                {1 | 128, "Mon,+128"},
                {256, "+256"}};
    for (const auto& c : days) {
        EXPECT_EQ(DisplayWeekdays(c.bits), c.text) << c.bits;
        std::int32_t back = 0;
        if (c.bits > 0 && c.bits < 128) {
            EXPECT_TRUE(ParseWeekdays(c.text, back)) << c.text;
            EXPECT_EQ(back, c.bits) << c.text;
        }
    }
    std::int32_t bits = 0;
    for (const char* bad : {"", "Fri-Mon", "Mon,", "Funday", "Mon-"})
        EXPECT_FALSE(ParseWeekdays(bad, bits)) << bad;

    const struct {
        std::int64_t seconds;
        const char* text;
    } durations[] = {{0, "0:00"},
                     {29, "0:00"},
                     {90, "0:02"},
                     {5400, "1:30"},
                     {93900, "26:05"},
                     {-900, "-0:15"},
                     {INT64_MIN, "-2562047788015215:30"}};
    for (const auto& c : durations)
        EXPECT_EQ(DisplayDuration(c.seconds), c.text) << c.seconds;

    EXPECT_EQ(EscapeControls("a\x1b[31mred\x7f\tC:\\x é"), "a\\x1b[31mred\\x7f\\x09C:\\x é");
}

} // namespace

namespace {

TEST(ToolsCommon, RecordsAsJsonBothWays) {
    const ltptools::FieldLabels labels = ltptools::FieldLabels::Load(LTPD_LABELS_PATH);
    ltp::Schedule s;
    s.schedule_id = 7;
    s.text2 = "main";
    s.real4 = 46363.5;
    const nlohmann::ordered_json wire = ltptools::RecordToJson(s);
    EXPECT_EQ(wire.dump(), "{\"ScheduleID\":7,\"Text2\":\"main\",\"Number3\":0,"
                           "\"Real4\":\"2026-12-07T12:00:00\",\"Real5\":\"1899-12-30\","
                           "\"Number6\":0}");
    const nlohmann::ordered_json labelled = ltptools::RecordToJson(s, &labels);
    EXPECT_EQ(labelled["channel"], "main");
    EXPECT_EQ(labelled["start"], "2026-12-07T12:00:00");
    for (const auto& json : {wire, labelled}) {
        const auto back = ltptools::RecordFromJson<ltp::Schedule>(json, &labels);
        EXPECT_EQ(back.schedule_id, 7);
        EXPECT_EQ(back.text2, "main");
        EXPECT_DOUBLE_EQ(back.real4, 46363.5);
    }

    const char* bad[] = {
        R"({"Nope": 1})",
        R"({"ScheduleID": "7"})",
        R"({"ScheduleID": 2147483648})",
        R"({"ScheduleID": -2147483649})",
        R"({"ScheduleID": 18446744073709551615})",
        R"({"ScheduleID": 1.5})",
        R"({"Real4": -1})",
        R"({"Real4": -0.5})",
        R"({"Real4": "yesterday"})",
        R"({"Text2": 3})",
        R"([1])",
    };
    for (const char* text : bad)
        EXPECT_THROW(ltptools::RecordFromJson<ltp::Schedule>(nlohmann::json::parse(text), &labels),
                     ltptools::RecordJsonError)
            << text;
    // The edges the wire allows: the whole 32 bits, and a negative zero as 0.
    const auto edge = ltptools::RecordFromJson<ltp::Schedule>(nlohmann::json::parse(
        R"({"ScheduleID": -2147483648, "Number3": 2147483647, "Real4": -0.0})"));
    EXPECT_EQ(edge.schedule_id, -2147483647 - 1);
    EXPECT_EQ(edge.number3, 2147483647);
    EXPECT_FALSE(std::signbit(edge.real4));
    ltp::Schedule partial = s;
    ltptools::FillRecordFromJson(nlohmann::json::parse(R"({"days": 31})"), partial, &labels);
    EXPECT_EQ(partial.number6, 31);
    EXPECT_EQ(partial.text2, "main") << "fields not named keep their value";
}

} // namespace
