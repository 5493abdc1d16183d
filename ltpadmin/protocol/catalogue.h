// The catalogue of the 66 LTP/1.0 requests: the one place that holds the wire text of requests.
// Each row carries printf templates that the administration interface fills with CString::Format.
// Internal to the library and its tools: a caller of the interface never sees it. The table is
// known at compile time, so that an operation's arguments are checked against its row's format
// before they can reach formatting.
#pragma once

#include <cstddef>
#include <type_traits>

namespace ltp::detail {

// What follows the blank line of a request.
enum class BodyKind {
    None,   // nothing
    Key,    // one line of key elements, part of headTemplate; no Content-Length
    Record, // a record form, counted by Content-Length
    Query,  // a statistics query, counted by Content-Length
    Text,   // the caller's text as it is, counted by Content-Length (row 1)
};

// What a successful response carries.
enum class ResponseKind {
    Status,   // nothing is read
    Records,  // record elements tagged responseTag (one or many)
    Value,    // one value element named responseTag
    FreeText, // the body as it is (row 2)
};

struct CommandRow {
    int number;              // 1 to 66
    const char* verb;        // "Get"
    const char* object;      // "AllUsers"
    const char* requestLine; // "Get  AllUsers  LTP/1.0\r\n", blanks as sent
    bool hasContentLength;
    BodyKind body;
    // Key rows: request line, the two header lines, the blank line and the key line; filled with
    // the user name, the password, then the keys. Counted rows: the same head with
    // "Content-Length: %d\r\n" before the blank line, filled with user, password, body length.
    // Bare rows: the head alone.
    const char* headTemplate;
    // Counted rows: the body's template (record form, query form, or "%s" for the text of row 1);
    // Key rows: the key line alone (also contained in headTemplate); otherwise nullptr.
    const char* bodyTemplate;
    ResponseKind response;
    const char* responseTag; // record tag or value element name; nullptr otherwise
};

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

// The rows in catalogue order: verb, the blanks after it, object, then what the body holds and
// what the response carries. Spellings such as "Infomation", "Descentdants" and "PathTOProgram"
// are the protocol's own and kept on purpose. BARE: head only. KEYED: head and one key line, no
// byte count. COUNTED: head with Content-Length; the body is formatted apart and appended.
// clang-format off
#define LTP_CATALOGUE(BARE, KEYED, COUNTED)                                                                   \
    COUNTED(Add, TWO, Infomation,       Text,   "%s",          Status,   nullptr)                         \
    BARE(Get, TWO, Infomation,                              FreeText, nullptr)                            \
    BARE(Get, TWO, SysInfo,                                 Records,  "SysInfo")                          \
    BARE(Get, TWO, AllLogEvents,                            Records,  "LogEvent")                         \
    BARE(Clear, TWO, LogEvents,                               Status,   nullptr)                          \
    BARE(Get, TWO, AllUsers,                                Records,  "User")                             \
    BARE(Get, TWO, AllGroups,                               Records,  "Group")                            \
    BARE(Get, TWO, AllPrograms,                             Records,  "Program")                          \
    BARE(Get, TWO, AllChannels,                             Records,  "Channel")                          \
    BARE(Get, TWO, AllSchedules,                            Records,  "Schedule")                         \
    BARE(Get, TWO, AllGlobals,                              Records,  "Global")                           \
    KEYED(Find, TWO, User,     "<UserID>%s</UserID>\r\n",       Records, "User")                          \
    KEYED(Find, TWO, Group,    "<GroupID>%s</GroupID>\r\n",     Records, "Group")                         \
    KEYED(Find, TWO, Program,  "<ProgramID>%d</ProgramID>\r\n", Records, "Program")                       \
    KEYED(Find, TWO, Channel,  "<ChannelID>%s</ChannelID>\r\n", Records, "Channel")                       \
    KEYED(Find, TWO, Schedule, SCHEDULE_KEY,                    Records, "Schedule")                      \
    KEYED(Find, TWO, Global,   "<Key>%s</Key>\r\n",             Records, "Global")                        \
    COUNTED(Add, TWO, User,             Record, USER_FORM,     Status,   nullptr)                         \
    COUNTED(Add, TWO, Group,            Record, GROUP_FORM,    Status,   nullptr)                         \
    COUNTED(Add, TWO, Program,          Record, PROGRAM_FORM,  Value,    "ProgramID")                     \
    COUNTED(Add, TWO, Channel,          Record, CHANNEL_FORM,  Status,   nullptr)                         \
    COUNTED(Add, TWO, Schedule,         Record, SCHEDULE_FORM, Value,    "ScheduleID")                    \
    COUNTED(Add, TWO, Global,           Record, GLOBAL_FORM,   Status,   nullptr)                         \
    COUNTED(Modify, TWO, User,             Record, USER_FORM,     Status,   nullptr)                      \
    COUNTED(Modify, TWO, Group,            Record, GROUP_FORM,    Status,   nullptr)                      \
    COUNTED(Modify, TWO, Program,          Record, PROGRAM_FORM,  Status,   nullptr)                      \
    COUNTED(Modify, TWO, Channel,          Record, CHANNEL_FORM,  Status,   nullptr)                      \
    COUNTED(Modify, ONE, Schedule,         Record, SCHEDULE_FORM, Status,   nullptr)                      \
    COUNTED(Modify, TWO, Global,           Record, GLOBAL_FORM,   Status,   nullptr)                      \
    KEYED(Delete, TWO, User,     "<UserID>%s</UserID>\r\n",       Status, nullptr)                        \
    KEYED(Delete, TWO, Group,    "<GroupID>%s</GroupID>\r\n",     Status, nullptr)                        \
    KEYED(Delete, TWO, Program,  "<ProgramID>%d</ProgramID>\r\n", Status, nullptr)                        \
    KEYED(Delete, TWO, Channel,  "<ChannelID>%s</ChannelID>\r\n", Status, nullptr)                        \
    KEYED(Delete, TWO, Schedule, SCHEDULE_KEY,                    Status, nullptr)                        \
    KEYED(Delete, TWO, Global,   "<Key>%s</Key>\r\n",             Status, nullptr)                        \
    KEYED(Get, TWO, GroupUsers,       "<GroupID>%s</GroupID>\r\n",     Records, "User")                   \
    KEYED(Get, TWO, UserGroups,       "<UserID>%s</UserID>\r\n",       Records, "Group")                  \
    KEYED(Get, TWO, ChannelSchedules, "<ChannelID>%s</ChannelID>\r\n", Records, "Schedule")               \
    KEYED(Get, TWO, ScheduleChannel,  SCHEDULE_KEY,                    Records, "Channel")                \
    KEYED(Get, TWO, UserRights,                                                                           \
          "<UserID>%s</UserID><ProgramID>%d</ProgramID>\r\n",                    Value, "UserRights")     \
    KEYED(Get, TWO, GroupRights,                                                                          \
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID>\r\n",                  Value, "GroupRights")    \
    KEYED(Get, TWO, GrantedGroups,    "<ProgramID>%d</ProgramID>\r\n", Records, "Group")                  \
    KEYED(Get, TWO, GrantedUsers,     "<ProgramID>%d</ProgramID>\r\n", Records, "User")                   \
    KEYED(Add, TWO, UserToGroup,                                                                          \
          "<UserID>%s</UserID><GroupID>%s</GroupID>\r\n",                        Status, nullptr)         \
    KEYED(Delete, TWO, UserFromGroup,                                                                     \
          "<UserID>%s</UserID><GroupID>%s</GroupID>\r\n",                        Status, nullptr)         \
    KEYED(Add, TWO, UserRights,                                                                           \
          "<UserID>%s</UserID><ProgramID>%d</ProgramID><UserRights>%d</UserRights>\r\n",                  \
                                                                                 Status, nullptr)         \
    KEYED(Modify, TWO, UserRights,                                                                        \
          "<UserID>%s</UserID><ProgramID>%d</ProgramID><UserRights>%d</UserRights>\r\n",                  \
                                                                                 Status, nullptr)         \
    KEYED(Delete, TWO, UserRights,                                                                        \
          "<UserID>%s</UserID><ProgramID>%d</ProgramID>\r\n",                    Status, nullptr)         \
    KEYED(Add, TWO, GroupRights,                                                                          \
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID><GroupRights>%d</GroupRights>\r\n",              \
                                                                                 Status, nullptr)         \
    KEYED(Modify, TWO, GroupRights,                                                                       \
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID><GroupRights>%d</GroupRights>\r\n",              \
                                                                                 Status, nullptr)         \
    KEYED(Delete, TWO, GroupRights,                                                                       \
          "<GroupID>%s</GroupID><ProgramID>%d</ProgramID>\r\n",                  Status, nullptr)         \
    KEYED(Get, TWO, UserPermission,                                                                       \
          "<UserID>%s</UserID><ProgramID>%d</ProgramID>\r\n",                    Value, "UserPermission") \
    KEYED(Apply, TWO, PermissionToDescentdants,                                                           \
          "<ProgramID>%d</ProgramID>\r\n",                                       Status, nullptr)         \
    KEYED(Move, TWO, Program,                                                                             \
          "<ProgramID>%d</ProgramID><ProgramID>%d</ProgramID>\r\n",              Status, nullptr)         \
    KEYED(Copy, TWO, Program,                                                                             \
          "<ProgramID>%d</ProgramID><ProgramID>%d</ProgramID>\r\n",              Status, nullptr)         \
    COUNTED(Get, TWO, UserProgramStatistics, Query, USER_STATISTICS_QUERY,                                \
                                                                          Records, "ProgramStatistic")    \
    COUNTED(Get, TWO, ProgramStatistics,     Query, PROGRAM_STATISTICS_QUERY,                             \
                                                                          Records, "ProgramStatistic")    \
    COUNTED(Get, TWO, TOPPrograms,           Query, TOP_PROGRAMS_QUERY,                                   \
                                                                          Records, "TOPProgram")          \
    COUNTED(Add, TWO, PathTOProgram,    Record, PROGRAMPATH_FORM, Status, nullptr)                        \
    BARE(Get, TWO, AllMTPSvrs,                              Records,  "MTPSvr")                           \
    KEYED(Find, TWO, MTPSvr,   "<ChannelID>%s</ChannelID>\r\n", Records, "MTPSvr")                        \
    COUNTED(Add, TWO, MTPSvr,           Record, MTPSVR_FORM,   Status,   nullptr)                         \
    COUNTED(Modify, TWO, MTPSvr,           Record, MTPSVR_FORM,   Status,   nullptr)                      \
    KEYED(Delete, TWO, MTPSvr,   "<MTPSvrName>%s</MTPSvrName>\r\n", Status, nullptr)                      \
    KEYED(Get, ONE, ProgramPath,  "<ProgramID>%d</ProgramID>\r\n", Records, "ProgramPath")                \
    KEYED(Delete, TWO, PathFromProgram,                                                                   \
          "<ProgramID>%d</ProgramID><ProgramPath>%s</ProgramPath>\r\n",          Status, nullptr)

// Rows by name, numbered from 1 in catalogue order: Row::GetAllUsers is row 6.
#define LTP_ROW_NAME(verb, gap, object, ...) verb##object,
enum class Row : int { None, LTP_CATALOGUE(LTP_ROW_NAME, LTP_ROW_NAME, LTP_ROW_NAME) };
#undef LTP_ROW_NAME

constexpr int kCommandCount = static_cast<int>(Row::DeletePathFromProgram);
static_assert(kCommandCount == 66, "the catalogue has 66 rows");

#define LTP_ROW_START(verb, gap, object)                                                           \
    static_cast<int>(Row::verb##object), #verb, #object, LTP_LINE(#verb, gap, #object)
#define LTP_BARE(verb, gap, object, resp, tag)                                                     \
    {LTP_ROW_START(verb, gap, object), false, BodyKind::None,                                      \
     LTP_LINE(#verb, gap, #object) LTP_CREDENTIALS LTP_BLANK_LINE, nullptr, ResponseKind::resp, tag},
#define LTP_KEYED(verb, gap, object, key, resp, tag)                                               \
    {LTP_ROW_START(verb, gap, object), false, BodyKind::Key,                                       \
     LTP_LINE(#verb, gap, #object) LTP_CREDENTIALS LTP_BLANK_LINE key, key, ResponseKind::resp, tag},
#define LTP_COUNTED(verb, gap, object, kind, form, resp, tag)                                      \
    {LTP_ROW_START(verb, gap, object), true, BodyKind::kind,                                       \
     LTP_LINE(#verb, gap, #object) LTP_CREDENTIALS LTP_LENGTH LTP_BLANK_LINE, form,                \
     ResponseKind::resp, tag},

inline constexpr CommandRow kCatalogue[kCommandCount] = {
    LTP_CATALOGUE(LTP_BARE, LTP_KEYED, LTP_COUNTED)};
// clang-format on

#undef LTP_COUNTED
#undef LTP_KEYED
#undef LTP_BARE
#undef LTP_ROW_START
#undef LTP_CATALOGUE
#undef SCHEDULE_KEY
#undef TOP_PROGRAMS_QUERY
#undef PROGRAM_STATISTICS_QUERY
#undef USER_STATISTICS_QUERY
#undef PERIOD
#undef PROGRAMPATH_FORM
#undef MTPSVR_FORM
#undef GLOBAL_FORM
#undef SCHEDULE_FORM
#undef CHANNEL_FORM
#undef PROGRAM_FORM
#undef GROUP_FORM
#undef USER_FORM
#undef LTP_BLANK_LINE
#undef LTP_LENGTH
#undef LTP_CREDENTIALS
#undef LTP_LINE
#undef ONE
#undef TWO

constexpr const CommandRow& CatalogueRow(Row row) {
    return kCatalogue[static_cast<int>(row) - 1];
}
// The row with the given number (1 to 66); any other number gives an empty row numbered 0.
const CommandRow& CatalogueRow(int number);
// The row whose verb and object match exactly, or nullptr. For servers that read requests.
const CommandRow* FindCommand(const char* verb, size_t verbLength, const char* object,
                              size_t objectLength);

// The conversion that formats an argument of type T: 's' for texts, 'd' for 32-bit whole
// numbers, 'f' for decimals; '?' for anything else, which no row takes.
template <class T> constexpr char ConversionOf() {
    using U = std::decay_t<T>;
    if constexpr (std::is_same_v<U, char*> || std::is_same_v<U, const char*>)
        return 's';
    else if constexpr (std::is_same_v<U, double>)
        return 'f';
    else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, bool> && sizeof(U) == 4)
        return 'd';
    else
        return '?';
}

// Whether the conversions of format, in order, are exactly those listed in expected (zero-ended).
// A null format takes nothing.
constexpr bool ConversionsAre(const char* format, const char* expected) {
    for (const char* p = format; p != nullptr && *p != 0; ++p) {
        if (*p != '%' || *++p == '%')
            continue;
        while (*p != 0 && *p != 'd' && *p != 'f' && *p != 's')
            ++p; // flags, width and precision
        if (*p == 0 || *p != *expected)
            return false;
        ++expected;
    }
    return *expected == 0;
}

// Whether an operation on row R may pass arguments of the types Args: they fill the row's key or
// body template, one conversion each, in order.
template <Row R, class... Args> constexpr bool ArgumentsFit() {
    constexpr char expected[] = {ConversionOf<Args>()..., 0};
    return ConversionsAre(CatalogueRow(R).bodyTemplate, expected);
}

} // namespace ltp::detail
