// The schema file and the value forms every tool prints and reads through it: each printed form
// reads back to the same wire value, and the wire value is always read too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/common/config_error.h"
#include "tools/common/dates.h"
#include "tools/common/schema.h"
#include "tools/common/value_forms.h"

namespace {

using namespace ltptools;

const Schema& Shipped() {
    static const Schema schema = [] {
        Schema s = Schema::Load(LTPD_LABELS_PATH);
        return s;
    }();
    return schema;
}

// The meaning of "Kind.Field" or of a value that is no field ("user_rights").
const Meaning& MeaningOf(const Schema& schema, const std::string& where) {
    const size_t dot = where.find('.');
    const Meaning* m = dot == std::string::npos
                           ? schema.Value(where)
                           : schema.Field(where.substr(0, dot), where.substr(dot + 1));
    if (!m)
        throw std::runtime_error("no meaning for " + where);
    return *m;
}

bool Whole(ValueKind k) {
    return k == ValueKind::integer || k == ValueKind::bits || k == ValueKind::enumeration;
}

TEST(Schema, ValueFormsPrintAndReadBackForEveryKind) {
    const Schema levels = Schema::Parse("[enums.level]\n0 = \"off\"\n1 = \"low\"\n2 = \"high\"\n"
                                        "[Global]\nNumber2 = { enum = \"level\" }\n",
                                        "levels");
    const struct {
        const Schema& schema;
        const char* where;
        const char* wire;
        const char* printed;
        std::vector<const char*> alsoRead; // other forms of the same wire value
    } rows[] = {
        {Shipped(), "Schedule.Number6", "31", "Mon-Fri", {"mon-fri", "Mon,Tue,Wed,Thu,Fri", "31"}},
        {Shipped(), "Schedule.Number6", "96", "Sat,Sun", {"Sat-Sun", " sat , SUN ", "96"}},
        {Shipped(), "Schedule.Number6", "127", "Mon-Sun", {"Mon-Fri,Sat,Sun"}},
        {Shipped(), "Schedule.Number6", "21", "Mon,Wed,Fri", {}},
        {Shipped(), "Schedule.Number6", "131", "Mon,Tue,128", {"Mon,Tue,+128"}},
        {Shipped(), "Schedule.Number6", "0", "0", {}},
        {Shipped(), "user_rights", "3", "read,edit", {"edit,read", "READ,2"}},
        {Shipped(), "permission", "15", "read,edit,schedule,delete", {"15"}},
        {Shipped(), "group_rights", "-2147483648", "2147483648", {"-2147483648"}},
        {levels, "Global.Number2", "2", "high", {"HIGH", "2"}},
        {levels, "Global.Number2", "7", "7", {}},
        {Shipped(), "Program.Number7", "12", "12", {"+12"}},
        {Shipped(), "Program.Real5", "90", "90 min", {"90", "1h30", "1:30", "1 h 30 min", "90min"}},
        {Shipped(), "Program.Real5", "22.5", "22.5 min", {"22.5"}},
        {Shipped(), "Schedule.Real5", "0", "", {"  "}},
        {Shipped(),
         "Schedule.Real5",
         "46363.5",
         "2026-12-07T12:00:00",
         {"2026-12-07T13:00+01:00", "2026-12-07T07:30-0430", "46363.5", "2026-12-07 12:00Z",
          "2026-12-07T12:00:00.000"}},
        {Shipped(), "Schedule.Real4", "0", "1899-12-30", {"0"}},
        {Shipped(), "SysInfo.Real4", "4.75", "4.75", {"4.750"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.where) + " " + r.wire);
        const Meaning& m = MeaningOf(r.schema, r.where);
        std::vector<const char*> inputs = r.alsoRead;
        inputs.push_back(r.printed);
        if (Whole(m.kind)) {
            const auto wire = static_cast<std::int32_t>(std::stoll(r.wire));
            EXPECT_EQ(FormatWhole(r.schema, m, wire), r.printed);
            for (const char* in : inputs) {
                std::int32_t back = 0;
                std::string error;
                EXPECT_TRUE(ParseWhole(r.schema, m, in, back, error)) << in << ": " << error;
                EXPECT_EQ(back, wire) << in;
            }
        } else {
            const double wire = std::stod(r.wire);
            EXPECT_EQ(FormatNumber(m, wire), r.printed);
            for (const char* in : inputs) {
                double back = -1;
                std::string error;
                EXPECT_TRUE(ParseNumber(m, in, back, error)) << in << ": " << error;
                EXPECT_NEAR(back, wire, 1e-9) << in;
            }
        }
    }
}

TEST(Schema, WrongFormsAreRefusedSayingWhy) {
    const struct {
        const char* where;
        const char* text;
        const char* says;
    } rows[] = {
        {"Schedule.Number6", "Mon-Fry", "no range"},
        {"Schedule.Number6", "Fri-Mon", "no range"},
        {"Schedule.Number6", "Mon,,Tue", "empty name"},
        {"user_rights", "read,write", "'write' in 'read,write' is not one of read, edit"},
        {"user_rights", "99999999999", "is not one of"},
        {"Program.Real5", "1h30h", "no duration"},
        {"Program.Real5", "-5", "no duration"},
        {"Program.Real5", "1:75", "no duration"},
        {"Schedule.Real4", "2026-13-01", "does not exist"},
        {"Schedule.Real4", "2026-12-07T12:00+25:00", "not an ISO-8601 date"},
        {"Schedule.Real4", "2026-12-07+01:00", "not an ISO-8601 date"},
        {"Program.Number7", "twelve", "no whole number"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.where) + " " + r.text);
        const Meaning& m = MeaningOf(Shipped(), r.where);
        std::string error;
        if (Whole(m.kind)) {
            std::int32_t v = 0;
            EXPECT_FALSE(ParseWhole(Shipped(), m, r.text, v, error));
        } else {
            double v = 0;
            EXPECT_FALSE(ParseNumber(m, r.text, v, error));
        }
        EXPECT_NE(error.find(r.says), std::string::npos) << error;
    }
}

TEST(Schema, ReferencesResolveByKeyPrintedFormOrUniqueName) {
    const std::vector<RefCandidate> programs = {
        {"1", "News"}, {"3", "Story Time"}, {"9", "Story Time"}, {"12", "Weather"}, {"20", "7"}};
    const struct {
        const char* text;
        const char* key; // nullptr: refused
        const char* says;
    } rows[] = {
        {"12", "12", ""},
        {"Weather", "12", ""},
        {"weather", "12", ""},
        {"1 News", "1", ""},
        {"3 Story Time", "3", ""},
        {"7", "7", ""}, // a number is a key, even when a program is so named
        {"44", "44", ""},
        {"Story Time", nullptr,
         "'Story Time' names 2 Program records (3 Story Time; 9 Story Time)"},
        {"Sports", nullptr, "no Program is named 'Sports'"},
    };
    for (const auto& r : rows) {
        std::string key, error;
        const bool ok = ResolveRef(r.text, programs, "Program", key, error);
        EXPECT_EQ(ok, r.key != nullptr) << r.text << ": " << error;
        if (r.key)
            EXPECT_EQ(key, r.key) << r.text;
        else
            EXPECT_NE(error.find(r.says), std::string::npos) << error;
    }
    EXPECT_EQ(FormatRef("1", "News", false), "1 News");
    EXPECT_EQ(FormatRef("7", "", false), "7");
    EXPECT_EQ(FormatRef("main", "Main Channel", true), "main");
}

TEST(Schema, ShippedFileSaysLtpdsMeanings) {
    const Schema& s = Shipped();
    const FieldMeaning* notes = s.Field("User", "Text5");
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->label, "notes");
    ASSERT_TRUE(notes->max.has_value());
    std::string error;
    EXPECT_TRUE(CheckLimit(*notes, "--notes", std::string(254, 'x'), error));
    EXPECT_FALSE(CheckLimit(*notes, "--notes", std::string(300, 'x'), error));
    EXPECT_EQ(error, "--notes is 300 bytes long; the server takes at most 254");
    EXPECT_TRUE(s.Field("Program", "ProgramID")->assigned);
    EXPECT_TRUE(s.Field("MTPSvr", "Number4")->answerOnly);
    EXPECT_TRUE(s.Field("Program", "Text13")->hidden);
    EXPECT_EQ(s.Field("Program", "Number6")->ref, "Program");
    EXPECT_EQ(s.Field("Schedule", "Text2")->ref, "Channel");
    EXPECT_EQ(*s.Display("Program"), "Text2");
    EXPECT_EQ(s.Field("SysInfo", "Number1")->unit, "seconds");
    // The labels it always gave stay.
    EXPECT_EQ(*s.Labels().Wire("Program", "parent"), "Number6");
    // Without a file, fields keep the protocol's kinds.
    const Schema none;
    ASSERT_NE(none.Field("Schedule", "Real4"), nullptr);
    EXPECT_EQ(none.Field("Schedule", "Number6")->kind, ValueKind::integer);
    EXPECT_EQ(none.Field("Nothing", "Text2"), nullptr);
}

TEST(Schema, LabelsOnlyFilesStayValidAndBadSchemasAreRefused) {
    const Schema labels = Schema::Parse("[User]\nText2 = \"name\"\n[Custom]\nX = \"y\"\n", "t");
    EXPECT_EQ(*labels.Labels().Label("User", "Text2"), "name");
    EXPECT_EQ(labels.Field("User", "Text2")->kind, ValueKind::text);
    const struct {
        const char* toml;
        const char* says;
    } bad[] = {
        {"[Schedule]\nNumber6 = { bits = \"days\" }\n", "names bits 'days'"},
        {"[Schedule]\nText2 = { kind = \"bits\", bits = \"d\" }\n[bits.d]\nnames=[\"a\"]\n",
         "cannot hold a bits value"},
        {"[Program]\nNumber6 = { ref = \"Programme\" }\n", "is no record kind"},
        {"[Program]\nNumber6 = { kind = \"colour\" }\n", "none of text"},
        {"[Program]\nNumber6 = { lable = \"parent\" }\n", "no setting 'lable'"},
        {"[Program]\ndisplay = \"Text99\"\n", "no field of Program"},
        {"[bits.d]\nnames = [\"a-b\"]\nranges = true\n", "is no name"},
        {"[bits.d]\nnames = [\"a\", \"A\"]\n", "given twice"},
        {"[enums.e]\nx = \"a\"\n", "no whole number"},
        {"[User]\nText2 = { max = -1 }\n", "max must be"},
        {"[values]\nr = { bits = \"nope\" }\n", "names bits 'nope'"},
    };
    for (const auto& b : bad) {
        try {
            Schema::Parse(b.toml, "f.toml");
            ADD_FAILURE() << b.toml;
        } catch (const ConfigError& e) {
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("f.toml: ", 0), 0u) << e.what();
        }
    }
}

} // namespace
