#include "tools/ltpd/tables.h"

namespace ltpd {
namespace {

constexpr FieldKind T = FieldKind::Text;
constexpr FieldKind N = FieldKind::Number;
constexpr FieldKind D = FieldKind::Decimal;

} // namespace

// Widths are those of the record arrays clients decode into.

const RecordTable& UsersTable() {
    static const RecordTable t(TableLayout{"users",
                                           "User",
                                           "user",
                                           {{"id", "UserID", T, 50},
                                            {"text2", "Text2", T, 50},
                                            {"text3", "Text3", T, 50},
                                            {"text4", "Text4", T, 255},
                                            {"text5", "Text5", T, 255},
                                            {"text6", "Text6", T, 50}},
                                           false,
                                           {}});
    return t;
}

const RecordTable& GroupsTable() {
    static const RecordTable t(TableLayout{"user_groups",
                                           "Group",
                                           "group",
                                           {{"id", "GroupID", T, 50}, {"text2", "Text2", T, 255}},
                                           false,
                                           {}});
    return t;
}

const RecordTable& ProgramsTable() {
    static const RecordTable t(TableLayout{"programs",
                                           "Program",
                                           "program",
                                           {{"id", "ProgramID", N, 0},
                                            {"text2", "Text2", T, 50},
                                            {"text3", "Text3", T, 255},
                                            {"text4", "Text4", T, 255},
                                            {"real5", "Real5", D, 0},
                                            {"number6", "Number6", N, 0},
                                            {"number7", "Number7", N, 0},
                                            {"text8", "Text8", T, 255},
                                            {"text9", "Text9", T, 255},
                                            {"text10", "Text10", T, 50},
                                            {"text11", "Text11", T, 255},
                                            {"text12", "Text12", T, 255},
                                            {"text13", "Text13", T, 1024}},
                                           true,
                                           {}});
    return t;
}

const RecordTable& ChannelsTable() {
    static const RecordTable t(TableLayout{
        "channels",
        "Channel",
        "channel",
        {{"id", "ChannelID", T, 50}, {"text2", "Text2", T, 255}, {"text3", "Text3", T, 50}},
        false,
        {}});
    return t;
}

const RecordTable& SchedulesTable() {
    static const RecordTable t(TableLayout{"schedules",
                                           "Schedule",
                                           "schedule",
                                           {{"id", "ScheduleID", N, 0},
                                            {"text2", "Text2", T, 50},
                                            {"number3", "Number3", N, 0},
                                            {"real4", "Real4", D, 0},
                                            {"real5", "Real5", D, 0},
                                            {"number6", "Number6", N, 0}},
                                           true,
                                           {}});
    return t;
}

const RecordTable& GlobalsTable() {
    static const RecordTable t(TableLayout{"globals",
                                           "Global",
                                           "global",
                                           {{"key", "Key", T, 50},
                                            {"number2", "Number2", N, 0},
                                            {"text3", "Text3", T, 255},
                                            {"text4", "Text4", T, 255}},
                                           false,
                                           {}});
    return t;
}

const RecordTable& MtpServersTable() {
    static const RecordTable t(TableLayout{"mtp_servers",
                                           "MTPSvr",
                                           "MTP server",
                                           {{"name", "MTPSvrName", T, 50},
                                            {"text2", "Text2", T, 255},
                                            {"text3", "Text3", T, 50},
                                            {"number5", "Number5", N, 0},
                                            {"number6", "Number6", N, 0}},
                                           false,
                                           {{"number4", "Number4", N, 0}}});
    return t;
}

} // namespace ltpd
