#include "ltpadmin/protocol/catalogue.h"

#include <cstring>

namespace ltp {
namespace {

// Pieces every request shares. Blanks are part of the protocol: the server splits the request
// line on exactly these runs.
#define TWO "  "
#define ONE " "
#define LTP_LINE(verb, gap, object) verb gap object "  LTP/1.0\r\n"
#define LTP_CREDENTIALS "User-Name: %s\r\nAuthorization: basic %s\r\n"
#define LTP_LENGTH "Content-Length: %d\r\n"
#define LTP_BLANK_LINE "\r\n"

// Record forms: the fields in wire order, separated by "|".
#define USER_FORM "<User>%s|%s|%s|%s|%s|%s</User>\r\n"
#define GROUP_FORM "<Group>%s|%s</Group>\r\n"
#define PROGRAM_FORM "<Program>%d|%s|%s|%s|%f|%d|%d|%s|%s|%s|%s|%s|%s</Program>\r\n"
#define CHANNEL_FORM "<Channel>%s|%s|%s</Channel>\r\n"
#define SCHEDULE_FORM "<Schedule>%d|%s|%d|%f|%f|%d</Schedule>\r\n"
#define GLOBAL_FORM "<Global>%s|%d|%s|%s</Global>\r\n"
#define MTPSVR_FORM "<MTPSvr>%s|%s|%s|%d|%d</MTPSvr>\r\n"
#define PROGRAMPATH_FORM "<ProgramPath>%d|%s|%.9f|%.9f</ProgramPath>\r\n"

// Statistics queries: a key and a period, dates with nine decimals.
#define PERIOD "<DateStarted>%.9f</DateStarted><DateStopped>%.9f</DateStopped>\r\n"
#define USER_STATISTICS_QUERY "<UserName>%s</UserName>" PERIOD
#define PROGRAM_STATISTICS_QUERY "<ProgramID>%d</ProgramID>" PERIOD
#define TOP_PROGRAMS_QUERY "<TOPCount>%d</TOPCount>" PERIOD

// The server expects the schedule key closed without a slash; it is sent so.
#define SCHEDULE_KEY "<ScheduleID>%d<ScheduleID>\r\n"

// Row shapes. BARE: head only. KEYED: head and one key line, no byte count. COUNTED: head with
// Content-Length; the body is formatted apart and appended.
#define BARE(n, verb, gap, object, resp, tag)                                                      \
    {                                                                                              \
        n, verb, object, LTP_LINE(verb, gap, object), false, BodyKind::None,                       \
            LTP_LINE(verb, gap, object) LTP_CREDENTIALS LTP_BLANK_LINE, nullptr,                   \
            ResponseKind::resp, tag                                                                \
    }
#define KEYED(n, verb, gap, object, key, resp, tag)                                                \
    {                                                                                              \
        n, verb, object, LTP_LINE(verb, gap, object), false, BodyKind::Key,                        \
            LTP_LINE(verb, gap, object) LTP_CREDENTIALS LTP_BLANK_LINE key, key,                   \
            ResponseKind::resp, tag                                                                \
    }
#define COUNTED(n, verb, gap, object, kind, form, resp, tag)                                       \
    {                                                                                              \
        n, verb, object, LTP_LINE(verb, gap, object), true, BodyKind::kind,                        \
            LTP_LINE(verb, gap, object) LTP_CREDENTIALS LTP_LENGTH LTP_BLANK_LINE, form,           \
            ResponseKind::resp, tag                                                                \
    }

// clang-format off
constexpr CommandRow kRows[kCommandCount] = {
    COUNTED( 1, "Add",    TWO, "Infomation",       Text,   "%s",          Status,   nullptr),
    BARE(    2, "Get",    TWO, "Infomation",                              FreeText, nullptr),
    BARE(    3, "Get",    TWO, "SysInfo",                                 Records,  "SysInfo"),
    BARE(    4, "Get",    TWO, "AllLogEvents",                            Records,  "LogEvent"),
    BARE(    5, "Clear",  TWO, "LogEvents",                               Status,   nullptr),
    BARE(    6, "Get",    TWO, "AllUsers",                                Records,  "User"),
    BARE(    7, "Get",    TWO, "AllGroups",                               Records,  "Group"),
    BARE(    8, "Get",    TWO, "AllPrograms",                             Records,  "Program"),
    BARE(    9, "Get",    TWO, "AllChannels",                             Records,  "Channel"),
    BARE(   10, "Get",    TWO, "AllSchedules",                            Records,  "Schedule"),
    BARE(   11, "Get",    TWO, "AllGlobals",                              Records,  "Global"),
    KEYED(  12, "Find",   TWO, "User",     "<UserID>%s</UserID>\r\n",       Records, "User"),
    KEYED(  13, "Find",   TWO, "Group",    "<GroupID>%s</GroupID>\r\n",     Records, "Group"),
    KEYED(  14, "Find",   TWO, "Program",  "<ProgramID>%d</ProgramID>\r\n", Records, "Program"),
    KEYED(  15, "Find",   TWO, "Channel",  "<ChannelID>%s</ChannelID>\r\n", Records, "Channel"),
    KEYED(  16, "Find",   TWO, "Schedule", SCHEDULE_KEY,                    Records, "Schedule"),
    KEYED(  17, "Find",   TWO, "Global",   "<Key>%s</Key>\r\n",             Records, "Global"),
    COUNTED(18, "Add",    TWO, "User",             Record, USER_FORM,     Status,   nullptr),
    COUNTED(19, "Add",    TWO, "Group",            Record, GROUP_FORM,    Status,   nullptr),
    COUNTED(20, "Add",    TWO, "Program",          Record, PROGRAM_FORM,  Value,    "ProgramID"),
    COUNTED(21, "Add",    TWO, "Channel",          Record, CHANNEL_FORM,  Status,   nullptr),
    COUNTED(22, "Add",    TWO, "Schedule",         Record, SCHEDULE_FORM, Value,    "ScheduleID"),
    COUNTED(23, "Add",    TWO, "Global",           Record, GLOBAL_FORM,   Status,   nullptr),
    COUNTED(24, "Modify", TWO, "User",             Record, USER_FORM,     Status,   nullptr),
    COUNTED(25, "Modify", TWO, "Group",            Record, GROUP_FORM,    Status,   nullptr),
    COUNTED(26, "Modify", TWO, "Program",          Record, PROGRAM_FORM,  Status,   nullptr),
    COUNTED(27, "Modify", TWO, "Channel",          Record, CHANNEL_FORM,  Status,   nullptr),
    COUNTED(28, "Modify", ONE, "Schedule",         Record, SCHEDULE_FORM, Status,   nullptr),
    COUNTED(29, "Modify", TWO, "Global",           Record, GLOBAL_FORM,   Status,   nullptr),
    KEYED(  30, "Delete", TWO, "User",     "<UserID>%s</UserID>\r\n",       Status, nullptr),
    KEYED(  31, "Delete", TWO, "Group",    "<GroupID>%s</GroupID>\r\n",     Status, nullptr),
    KEYED(  32, "Delete", TWO, "Program",  "<ProgramID>%d</ProgramID>\r\n", Status, nullptr),
    KEYED(  33, "Delete", TWO, "Channel",  "<ChannelID>%s</ChannelID>\r\n", Status, nullptr),
    KEYED(  34, "Delete", TWO, "Schedule", SCHEDULE_KEY,                    Status, nullptr),
    KEYED(  35, "Delete", TWO, "Global",   "<Key>%s</Key>\r\n",             Status, nullptr),
    KEYED(  36, "Get",    TWO, "GroupUsers",       "<GroupID>%s</GroupID>\r\n",     Records, "User"),
    KEYED(  37, "Get",    TWO, "UserGroups",       "<UserID>%s</UserID>\r\n",       Records, "Group"),
    KEYED(  38, "Get",    TWO, "ChannelSchedules", "<ChannelID>%s</ChannelID>\r\n", Records, "Schedule"),
    KEYED(  39, "Get",    TWO, "ScheduleChannel",  SCHEDULE_KEY,                    Records, "Channel"),
    KEYED(  40, "Get",    TWO, "UserRights",
          "<UserID>%s</UserID><ProgramID>%d</ProgramID>\r\n",                    Value, "UserRights"),
    KEYED(  41, "Get",    TWO, "GroupRights",
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID>\r\n",                  Value, "GroupRights"),
    KEYED(  42, "Get",    TWO, "GrantedGroups",    "<ProgramID>%d</ProgramID>\r\n", Records, "Group"),
    KEYED(  43, "Get",    TWO, "GrantedUsers",     "<ProgramID>%d</ProgramID>\r\n", Records, "User"),
    KEYED(  44, "Add",    TWO, "UserToGroup",
          "<UserID>%s</UserID><GroupID>%s</GroupID>\r\n",                        Status, nullptr),
    KEYED(  45, "Delete", TWO, "UserFromGroup",
          "<UserID>%s</UserID><GroupID>%s</GroupID>\r\n",                        Status, nullptr),
    KEYED(  46, "Add",    TWO, "UserRights",
          "<UserID>%s</UserID><ProgramID>%d</ProgramID><UserRights>%d</UserRights>\r\n",
                                                                                 Status, nullptr),
    KEYED(  47, "Modify", TWO, "UserRights",
          "<UserID>%s</UserID><ProgramID>%d</ProgramID><UserRights>%d</UserRights>\r\n",
                                                                                 Status, nullptr),
    KEYED(  48, "Delete", TWO, "UserRights",
          "<UserID>%s</UserID><ProgramID>%d</ProgramID>\r\n",                    Status, nullptr),
    KEYED(  49, "Add",    TWO, "GroupRights",
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID><GroupRights>%d</GroupRights>\r\n",
                                                                                 Status, nullptr),
    KEYED(  50, "Modify", TWO, "GroupRights",
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID><GroupRights>%d</GroupRights>\r\n",
                                                                                 Status, nullptr),
    KEYED(  51, "Delete", TWO, "GroupRights",
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID>\r\n",                  Status, nullptr),
    KEYED(  52, "Get",    TWO, "UserPermission",
          "<UserID>%s</UserID><ProgramID>%d</ProgramID>\r\n",                    Value, "UserPermission"),
    KEYED(  53, "Apply",  TWO, "PermissionToDescentdants",
          "<ProgramID>%d</ProgramID>\r\n",                                       Status, nullptr),
    KEYED(  54, "Move",   TWO, "Program",
          "<ProgramID>%d</ProgramID><ProgramID>%d</ProgramID>\r\n",              Status, nullptr),
    KEYED(  55, "Copy",   TWO, "Program",
          "<ProgramID>%d</ProgramID><ProgramID>%d</ProgramID>\r\n",              Status, nullptr),
    COUNTED(56, "Get",    TWO, "UserProgramStatistics", Query, USER_STATISTICS_QUERY,
                                                                          Records, "ProgramStatistic"),
    COUNTED(57, "Get",    TWO, "ProgramStatistics",     Query, PROGRAM_STATISTICS_QUERY,
                                                                          Records, "ProgramStatistic"),
    COUNTED(58, "Get",    TWO, "TOPPrograms",           Query, TOP_PROGRAMS_QUERY,
                                                                          Records, "TOPProgram"),
    COUNTED(59, "Add",    TWO, "PathTOProgram",    Record, PROGRAMPATH_FORM, Status, nullptr),
    BARE(   60, "Get",    TWO, "AllMTPSvrs",                              Records,  "MTPSvr"),
    KEYED(  61, "Find",   TWO, "MTPSvr",   "<ChannelID>%s</ChannelID>\r\n", Records, "MTPSvr"),
    COUNTED(62, "Add",    TWO, "MTPSvr",           Record, MTPSVR_FORM,   Status,   nullptr),
    COUNTED(63, "Modify", TWO, "MTPSvr",           Record, MTPSVR_FORM,   Status,   nullptr),
    KEYED(  64, "Delete", TWO, "MTPSvr",   "<MTPSvrName>%s</MTPSvrName>\r\n", Status, nullptr),
    KEYED(  65, "Get",    ONE, "ProgramPath",  "<ProgramID>%d</ProgramID>\r\n", Records, "ProgramPath"),
    KEYED(  66, "Delete", TWO, "PathFromProgram",
          "<ProgramID>%d</ProgramID><ProgramPath>%s</ProgramPath>\r\n",          Status, nullptr),
};
// clang-format on

constexpr bool NumberedInOrder() {
    for (int i = 0; i < kCommandCount; ++i)
        if (kRows[i].number != i + 1)
            return false;
    return true;
}
static_assert(NumberedInOrder(), "row n sits at index n - 1");

// Handed out for a number outside 1 to 66, so that a wrong number formats nothing harmful.
constexpr CommandRow kNoRow = {
    0, "", "", "", false, BodyKind::None, "", nullptr, ResponseKind::Status, nullptr};

bool SameText(const char* literal, const char* text, size_t length) {
    return std::strlen(literal) == length &&
           (length == 0 || std::memcmp(literal, text, length) == 0);
}

} // namespace

const CommandRow& Command(int number) {
    if (number < 1 || number > kCommandCount)
        return kNoRow;
    return kRows[number - 1];
}

const CommandRow* FindCommand(const char* verb, size_t verbLength, const char* object,
                              size_t objectLength) {
    for (const CommandRow& row : kRows)
        if (SameText(row.verb, verb, verbLength) && SameText(row.object, object, objectLength))
            return &row;
    return nullptr;
}

} // namespace ltp
