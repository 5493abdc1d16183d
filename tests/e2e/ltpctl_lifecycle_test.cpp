// Every keyed catalogue through ltpctl: add, list, find, modify (fields not given keep their
// values), delete, and the refusals of a duplicate and of a missing entry.
#include "support/fixture.h"

namespace {

using e2e::Column;
using e2e::Contains;

struct Family {
    const char* command;  // ltpctl's family
    const char* keyField; // the record's key field
    bool numericKey;      // the server numbers new entries
    std::string key;      // for text keys
    std::vector<std::string> addFields;
    const char* checkField; // set by add, kept by modify
    std::string checkValue;
    std::vector<std::string> modifyFields;
    const char* changedField;
    std::string changedValue;
};

const Family kFamilies[] = {
    {"users",
     "UserID",
     false,
     "zoe",
     {"--text2", "Zoe Quinn", "--text4", "zoe@example.org"},
     "Text2",
     "Zoe Quinn",
     {"--text3", "Sales"},
     "Text3",
     "Sales"},
    {"groups",
     "GroupID",
     false,
     "auditors",
     {"--text2", "Read the books"},
     "GroupID",
     "auditors",
     {"--text2", "Audit everything"},
     "Text2",
     "Audit everything"},
    {"channels",
     "ChannelID",
     false,
     "sports",
     {"--text2", "Sports HD", "--text3", "HD"},
     "Text2",
     "Sports HD",
     {"--text3", "SD"},
     "Text3",
     "SD"},
    {"globals",
     "Key",
     false,
     "MaxUploads",
     {"--number2", "5", "--text3", "x"},
     "Text3",
     "x",
     {"--number2", "7"},
     "Number2",
     "7"},
    {"mtp",
     "MTPSvrName",
     false,
     "mtp-north",
     {"--text2", "mtp-north.example.net", "--number5", "500"},
     "Text2",
     "mtp-north.example.net",
     {"--number6", "4"},
     "Number6",
     "4"},
    {"programs",
     "ProgramID",
     true,
     "",
     {"--text2", "Late Show", "--real5", "45", "--number6", "0"},
     "Text2",
     "Late Show",
     {"--text3", "Talk and music"},
     "Text3",
     "Talk and music"},
    {"schedules",
     "ScheduleID",
     true,
     "",
     {"--text2", "main", "--number3", "2", "--real4", "2026-12-07T20:00", "--real5",
      "2026-12-07T21:00", "--number6", "127"},
     "Real4",
     "2026-12-07T20:00:00",
     {"--real5", "2026-12-07T21:30"},
     "Real5",
     "2026-12-07T21:30:00"},
};

// Names the case by its family in test output.
void PrintTo(const Family& f, std::ostream* os) {
    *os << f.command;
}

class Lifecycle : public e2e::WithServer, public ::testing::WithParamInterface<Family> {};

std::string Text(const nlohmann::json& v) {
    return v.is_string() ? v.get<std::string>() : v.dump();
}

TEST_P(Lifecycle, AddListFindModifyDelete) {
    const Family& f = GetParam();
    const std::string family = f.command;

    // add
    std::vector<std::string> add = {family, "add"};
    if (!f.numericKey)
        add.push_back(f.key);
    add.insert(add.end(), f.addFields.begin(), f.addFields.end());
    std::string key = f.key;
    if (f.numericKey) {
        const nlohmann::json added = Json(add);
        ASSERT_TRUE(added.contains(f.keyField)) << added.dump();
        key = Text(added[f.keyField]);
        EXPECT_NE(key, "0");
    } else {
        Ok(add);
        // A second add of the same key is refused by the server, with its reason.
        const e2e::ProcessResult again = Run(add);
        EXPECT_EQ(again.exitCode, 1) << Describe(add, again);
        EXPECT_NE(again.err.find("the server refused the request: 409"), std::string::npos)
            << again.err;
    }

    // list
    EXPECT_TRUE(Contains(Column(Json({family, "list"}), f.keyField), key));

    // find
    nlohmann::json found = Json({family, "find", key});
    ASSERT_TRUE(found.is_object()) << found.dump();
    EXPECT_EQ(Text(found[f.keyField]), key);
    EXPECT_EQ(Text(found[f.checkField]), f.checkValue);

    // modify: only the given fields change
    std::vector<std::string> modify = {family, "modify", key};
    modify.insert(modify.end(), f.modifyFields.begin(), f.modifyFields.end());
    Ok(modify);
    found = Json({family, "find", key});
    EXPECT_EQ(Text(found[f.changedField]), f.changedValue) << found.dump();
    EXPECT_EQ(Text(found[f.checkField]), f.checkValue) << found.dump();

    // delete
    Ok({family, "delete", key});
    const e2e::ProcessResult gone = Run({family, "find", key});
    EXPECT_EQ(gone.exitCode, 1) << Describe({family, "find", key}, gone);
    // An MTP server is looked for by name in the register's list, which holds no 404 to show.
    EXPECT_NE(gone.err.find(family == "mtp" ? "has no MTP server" : "404"), std::string::npos)
        << gone.err;
    EXPECT_FALSE(Contains(Column(Json({family, "list"}), f.keyField), key));

    // and what is gone cannot be changed or deleted again
    EXPECT_EQ(Run(modify).exitCode, 1);
    EXPECT_EQ(Run({family, "delete", key}).exitCode, 1);
}

INSTANTIATE_TEST_SUITE_P(EveryCatalogue, Lifecycle, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) {
                             return std::string(info.param.command);
                         });

} // namespace
