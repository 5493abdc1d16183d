// What the tools can do with a server, described once. Two tables:
// - kFamilies: per value type, its family's nouns, its key and the ltp::Client call of each of
//   list, find, add, modify and delete;
// - kOperations: everything else, the relations between families (memberships, rights, paths,
//   a channel's schedules, statistics, ...) and the server's own texts, each with its name, the
//   ltp::Client call, ltpctl's words and the API's method and path.
// ltpctl's commands, help and completion, ltpweb's routes and OpenAPI document, export/apply and
// the README's vocabulary are written from these rows, so that one word names one thing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include <ltpadmin/client.h>

namespace ltptools {

// The verbs of a family. Their words are ltpctl's subcommands; the API answers them as GET of
// the collection, GET, POST, PUT and DELETE of one record.
enum class Verb { list, find, add, modify, remove };
inline constexpr Verb kVerbs[] = {Verb::list, Verb::find, Verb::add, Verb::modify, Verb::remove};

constexpr const char* VerbWord(Verb verb) {
    constexpr const char* kWords[] = {"list", "find", "add", "modify", "delete"};
    return kWords[static_cast<int>(verb)];
}
constexpr const char* VerbMethod(Verb verb) {
    constexpr const char* kMethods[] = {"GET", "GET", "POST", "PUT", "DELETE"};
    return kMethods[static_cast<int>(verb)];
}

// The key a family's find and delete take: the parameter of its delete call.
template <class Call> struct KeyParameter;
template <class R, class K> struct KeyParameter<R (ltp::Client::*)(K)> { using type = K; };

// One family. Each call is an ltp::Client member, or a function taking the client first, or
// nullptr where the family lacks the verb; std::invoke calls either.
template <class T, class List, class Find, class Add, class Modify, class Remove> struct FamilyRow {
    using Value = T;
    using Key = typename KeyParameter<Remove>::type; // std::string_view or std::int32_t
    static constexpr bool kNumericKey = std::is_same_v<Key, std::int32_t>;
    static constexpr bool kHasFind = !std::is_null_pointer_v<Find>;
    // add returns the key the server chose (programs, schedules) rather than taking one.
    static constexpr bool kServerKey =
        !std::is_void_v<std::invoke_result_t<Add, ltp::Client&, const T&>>;

    const char* singular; // "user": help and messages
    const char* plural;   // "users": the command, /api/users and its tag, export's section
    const char* key;      // "UserID": the key field's wire name, as help, JSON and messages say
    const char* aliases;  // earlier command names that still work, blank-separated
    List list;
    Find find;
    Add add;
    Modify modify;
    Remove remove;

    constexpr bool Has(Verb verb) const { return verb != Verb::find || kHasFind; }
};

template <class T, class List, class Find, class Add, class Modify, class Remove>
constexpr FamilyRow<T, List, Find, Add, Modify, Remove>
Family(const char* singular, const char* plural, const char* key, const char* aliases, List list,
       Find find, Add add, Modify modify, Remove remove) {
    return {singular, plural, key, aliases, list, find, add, modify, remove};
}

// The register's own lookup takes a channel (see channel_mtp_server below); a server is found
// by its name in the list.
std::optional<ltp::MtpServer> FindMtpServerByName(ltp::Client& client, std::string_view name);

// clang-format off
inline constexpr auto kFamilies = std::make_tuple(
    //                       singular      plural         key           aliases
    Family<ltp::User>(     "user",       "users",       "UserID",     "user",
        &ltp::Client::users, &ltp::Client::find_user, &ltp::Client::add_user,
        &ltp::Client::modify_user, &ltp::Client::delete_user),
    Family<ltp::Group>(    "group",      "groups",      "GroupID",    "group",
        &ltp::Client::groups, &ltp::Client::find_group, &ltp::Client::add_group,
        &ltp::Client::modify_group, &ltp::Client::delete_group),
    Family<ltp::Program>(  "program",    "programs",    "ProgramID",  "program",
        &ltp::Client::programs, &ltp::Client::find_program, &ltp::Client::add_program,
        &ltp::Client::modify_program, &ltp::Client::delete_program),
    Family<ltp::Channel>(  "channel",    "channels",    "ChannelID",  "channel",
        &ltp::Client::channels, &ltp::Client::find_channel, &ltp::Client::add_channel,
        &ltp::Client::modify_channel, &ltp::Client::delete_channel),
    Family<ltp::Schedule>( "schedule",   "schedules",   "ScheduleID", "schedule",
        &ltp::Client::schedules, &ltp::Client::find_schedule, &ltp::Client::add_schedule,
        &ltp::Client::modify_schedule, &ltp::Client::delete_schedule),
    Family<ltp::Global>(   "global",     "globals",     "Key",        "global",
        &ltp::Client::globals, &ltp::Client::find_global, &ltp::Client::add_global,
        &ltp::Client::modify_global, &ltp::Client::delete_global),
    Family<ltp::MtpServer>("mtp-server", "mtp-servers", "MTPSvrName", "mtp-server mtp mtpsvr",
        &ltp::Client::mtp_servers, &FindMtpServerByName, &ltp::Client::add_mtp_server,
        &ltp::Client::modify_mtp_server, &ltp::Client::delete_mtp_server));
// clang-format on

// Calls f(row) for every family, in the table's order.
template <class F> void ForEachFamily(F&& f) {
    std::apply([&](const auto&... row) { (f(row), ...); }, kFamilies);
}

namespace detail {
template <class T, std::size_t I = 0> constexpr std::size_t FamilyIndex() {
    static_assert(I < std::tuple_size_v<std::decay_t<decltype(kFamilies)>>,
                  "the value type has no family");
    using Row = std::decay_t<decltype(std::get<I>(kFamilies))>;
    if constexpr (std::is_same_v<typename Row::Value, T>)
        return I;
    else
        return FamilyIndex<T, I + 1>();
}
} // namespace detail

// The family row of the value type T.
template <class T> constexpr const auto& FamilyOf() {
    return std::get<detail::FamilyIndex<T>()>(kFamilies);
}

// The calls of T's family, for code that handles every family alike.
template <class T> using KeyOf = typename std::decay_t<decltype(FamilyOf<T>())>::Key;

template <class T> std::vector<T> ListAll(ltp::Client& client) {
    return std::invoke(FamilyOf<T>().list, client);
}
template <class T> std::optional<T> FindOne(ltp::Client& client, KeyOf<T> key) {
    return std::invoke(FamilyOf<T>().find, client, key);
}
// Adds the record; where the server chooses the key, the record gets it.
template <class T> void AddOne(ltp::Client& client, T& record) {
    if constexpr (std::decay_t<decltype(FamilyOf<T>())>::kServerKey)
        record.*ltp::fields<T>().front().integer = std::invoke(FamilyOf<T>().add, client, record);
    else
        std::invoke(FamilyOf<T>().add, client, record);
}
template <class T> void ModifyOne(ltp::Client& client, const T& record) {
    std::invoke(FamilyOf<T>().modify, client, record);
}
template <class T> void DeleteOne(ltp::Client& client, KeyOf<T> key) {
    std::invoke(FamilyOf<T>().remove, client, key);
}

// The operations that are no family's own five, in the order the help and the API list them.
enum class Op {
    information,
    add_information,
    sys_info,
    log_events,
    clear_log_events,
    group_users,
    user_groups,
    add_user_to_group,
    delete_user_from_group,
    user_rights,
    add_user_rights,
    modify_user_rights,
    delete_user_rights,
    group_rights,
    add_group_rights,
    modify_group_rights,
    delete_group_rights,
    granted_users,
    granted_groups,
    user_permission,
    move_program,
    copy_program,
    apply_permission_to_descendants,
    user_program_statistics,
    program_statistics,
    top_programs,
    program_paths,
    add_path_to_program,
    delete_path_from_program,
    channel_schedules,
    schedule_channel,
    channel_mtp_server,
    count
};

struct OperationRow {
    Op op;
    const char* name;    // the API's operationId; the ltp::Client call where it is the same
    const char* call;    // the ltp::Client call
    const char* command; // ltpctl's words: "members groups"
    const char* method;  // the API's method and path
    const char* path;
    const char* summary; // the help's and the API's one line
    const char* aliases; // earlier ltpctl words that still work, ';'-separated: "stats user"
    const char* oldPath; // an earlier API path that still answers, or ""
};

// clang-format off
inline constexpr OperationRow kOperations[] = {
    {Op::information, "information", "information", "information get", "GET", "/api/information",
     "the server's information text", "info get", ""},
    {Op::add_information, "add_information", "add_information", "information set", "PUT",
     "/api/information", "replace the server's information text", "info set", ""},
    {Op::sys_info, "sys_info", "sys_info", "sysinfo", "GET", "/api/sysinfo",
     "the server's system information", "", "/api/system"},
    {Op::log_events, "log_events", "log_events", "log list", "GET", "/api/log",
     "the server's log events", "", ""},
    {Op::clear_log_events, "clear_log_events", "clear_log_events", "log clear", "DELETE",
     "/api/log", "empty the server's log", "", ""},
    {Op::group_users, "group_users", "group_users", "members list", "GET",
     "/api/groups/{id}/users", "the users of a group", "members group-users", ""},
    {Op::user_groups, "user_groups", "user_groups", "members groups", "GET",
     "/api/users/{id}/groups", "the groups a user belongs to", "members user-groups", ""},
    {Op::add_user_to_group, "add_user_to_group", "add_user_to_group", "members add", "PUT",
     "/api/users/{id}/groups/{group}", "add a user to a group", "", ""},
    {Op::delete_user_from_group, "delete_user_from_group", "delete_user_from_group",
     "members delete", "DELETE", "/api/users/{id}/groups/{group}", "take a user out of a group",
     "members remove", ""},
    {Op::user_rights, "user_rights", "user_rights", "rights get", "GET",
     "/api/programs/{id}/rights/users/{name}", "the rights of a user on a program", "", ""},
    {Op::add_user_rights, "add_user_rights", "add_user_rights", "rights add", "POST",
     "/api/programs/{id}/rights/users/{name}", "grant a user rights on a program", "", ""},
    {Op::modify_user_rights, "modify_user_rights", "modify_user_rights", "rights modify", "PUT",
     "/api/programs/{id}/rights/users/{name}", "modify a user's rights on a program", "", ""},
    {Op::delete_user_rights, "delete_user_rights", "delete_user_rights", "rights delete",
     "DELETE", "/api/programs/{id}/rights/users/{name}", "revoke a user's rights on a program",
     "", ""},
    {Op::group_rights, "group_rights", "group_rights", "rights get", "GET",
     "/api/programs/{id}/rights/groups/{name}", "the rights of a group on a program", "", ""},
    {Op::add_group_rights, "add_group_rights", "add_group_rights", "rights add", "POST",
     "/api/programs/{id}/rights/groups/{name}", "grant a group rights on a program", "", ""},
    {Op::modify_group_rights, "modify_group_rights", "modify_group_rights", "rights modify",
     "PUT", "/api/programs/{id}/rights/groups/{name}", "modify a group's rights on a program",
     "", ""},
    {Op::delete_group_rights, "delete_group_rights", "delete_group_rights", "rights delete",
     "DELETE", "/api/programs/{id}/rights/groups/{name}", "revoke a group's rights on a program",
     "", ""},
    {Op::granted_users, "granted_users", "granted_users", "rights users", "GET",
     "/api/programs/{id}/rights/users", "the users granted rights on a program",
     "rights granted-users", ""},
    {Op::granted_groups, "granted_groups", "granted_groups", "rights groups", "GET",
     "/api/programs/{id}/rights/groups", "the groups granted rights on a program",
     "rights granted-groups", ""},
    {Op::user_permission, "user_permission", "user_permission", "permission", "GET",
     "/api/users/{id}/permission/{program}",
     "a user's permission on a program, from his own rights and his groups'", "", ""},
    {Op::move_program, "move_program", "move_program", "programs move", "POST",
     "/api/programs/{id}/move", "move a program (with its descendants) under another", "", ""},
    {Op::copy_program, "copy_program", "copy_program", "programs copy", "POST",
     "/api/programs/{id}/copy", "copy a program (with its descendants) under another", "", ""},
    {Op::apply_permission_to_descendants, "apply_permission_to_descendants",
     "apply_permission_to_descendants", "programs apply-permission", "POST",
     "/api/programs/{id}/apply-permission",
     "give the programs below a program the grants of that program", "",
     "/api/programs/{id}/rights/apply"},
    {Op::user_program_statistics, "user_program_statistics", "user_program_statistics",
     "statistics user", "GET", "/api/users/{id}/statistics",
     "the programs a user used in a period", "stats user", ""},
    {Op::program_statistics, "program_statistics", "program_statistics", "statistics program",
     "GET", "/api/programs/{id}/statistics", "the use of one program in a period",
     "stats program", ""},
    {Op::top_programs, "top_programs", "top_programs", "statistics top", "GET",
     "/api/statistics/top", "the most used programs in a period", "stats top", ""},
    {Op::program_paths, "program_paths", "program_paths", "paths list", "GET",
     "/api/programs/{id}/paths", "the paths of a program", "", ""},
    {Op::add_path_to_program, "add_path_to_program", "add_path_to_program", "paths add", "POST",
     "/api/programs/{id}/paths", "attach a path to a program", "", ""},
    {Op::delete_path_from_program, "delete_path_from_program", "delete_path_from_program",
     "paths delete", "DELETE", "/api/programs/{id}/paths", "detach a path from a program", "",
     ""},
    {Op::channel_schedules, "channel_schedules", "channel_schedules", "channels schedules", "GET",
     "/api/channels/{id}/schedules", "the schedules of a channel", "", ""},
    {Op::schedule_channel, "schedule_channel", "schedule_channel", "schedules channel", "GET",
     "/api/schedules/{id}/channel", "the channel a schedule belongs to", "", ""},
    {Op::channel_mtp_server, "channel_mtp_server", "find_mtp_server", "channels mtp-server",
     "GET", "/api/channels/{id}/mtp-server", "the MTP server that serves a channel", "", ""},
};
// clang-format on

constexpr bool OperationsInOrder() {
    std::size_t i = 0;
    for (const OperationRow& row : kOperations)
        if (static_cast<std::size_t>(row.op) != i++)
            return false;
    return i == static_cast<std::size_t>(Op::count);
}
static_assert(OperationsInOrder(), "kOperations holds one row per Op, in the enum's order");

constexpr const OperationRow& Operation(Op op) {
    return kOperations[static_cast<std::size_t>(op)];
}

// One operation in words, for the help, the API and the docs: a family's verb or a row above.
struct OperationWords {
    std::string name;    // "find_user", "user_groups"
    std::string call;    // the ltp::Client call
    std::string command; // "users find"
    std::string method;
    std::string path;
    std::string summary;
    std::vector<std::string> aliases; // earlier ltpctl words
    std::string oldPath;
};

// A family verb's name: "users" for list (the client's own name), "find_user", "add_mtp_server".
template <class Row> std::string VerbName(const Row& row, Verb verb) {
    std::string noun = verb == Verb::list ? row.plural : row.singular;
    for (char& c : noun)
        if (c == '-')
            c = '_';
    return verb == Verb::list ? noun : std::string(VerbWord(verb)) + "_" + noun;
}

template <class Row> OperationWords FamilyVerbWords(const Row& row, Verb verb) {
    const std::string plural = row.plural;
    const std::string item = "/api/" + plural + "/{id}";
    const bool one = verb != Verb::list && verb != Verb::add;
    OperationWords w;
    w.name = VerbName(row, verb);
    w.call = verb == Verb::find && std::is_same_v<typename Row::Value, ltp::MtpServer>
                 ? "mtp_servers"
                 : w.name;
    w.command = plural + " " + VerbWord(verb);
    w.method = VerbMethod(verb);
    w.path = one ? item : "/api/" + plural;
    const std::string a = std::strchr("aeiou", row.singular[0]) ? "an " : "a ";
    switch (verb) {
        case Verb::list:
            w.summary = "list every " + std::string(row.singular);
            break;
        case Verb::find:
            w.summary = "show one " + std::string(row.singular);
            break;
        case Verb::add:
            w.summary = "add " + a + row.singular;
            break;
        case Verb::modify:
            w.summary = "modify " + a + row.singular;
            break;
        case Verb::remove:
            w.summary = "delete " + std::string(row.plural);
            break;
    }
    std::string aliases = row.aliases;
    for (std::size_t at = 0; at < aliases.size();) {
        std::size_t end = aliases.find(' ', at);
        if (end == std::string::npos)
            end = aliases.size();
        if (aliases.compare(at, end - at, row.singular) != 0) // the singular is no old spelling
            w.aliases.push_back(aliases.substr(at, end - at) + " " + VerbWord(verb));
        at = end + 1;
    }
    return w;
}

OperationWords RowWords(const OperationRow& row);

// Every operation: the families' verbs first, then the rows above.
std::vector<OperationWords> AllOperations();

} // namespace ltptools
