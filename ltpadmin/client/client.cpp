// ltp::Client: each operation checks its texts, fills its catalogue row, exchanges it over the
// connection and reads the response into the value types.
#include "ltpadmin/ltp/client.h"

#include <climits>
#include <initializer_list>

#include "ltpadmin/client/connection.h"
#include "ltpadmin/client/decode.h"
#include "ltpadmin/client/request.h"
#include "ltpadmin/protocol/catalogue.h"

namespace ltp {

using detail::Arg;
using detail::BodyKind;
using detail::CatalogueRow;
using detail::CommandRow;
using detail::Response;
using detail::Row;

// Most keys a request line carries (rows 46, 47, 49, 50: name, program, rights).
constexpr std::size_t kMostKeys = 3;

struct Client::Impl {
    explicit Impl(Options o)
        : options(std::move(o)), lead(detail::LeadBytesOf(options.code_page)), connection(options) {
    }

    // A key or argument text, checked before anything is sent.
    Arg Key(const char* argument, std::string_view text) const {
        detail::CheckText(text, argument, lead);
        return Arg(text);
    }

    // Formats the row's request with args (keys, or the body's values) and returns the response,
    // whatever its status.
    Response Exchange(Row row, std::initializer_list<Arg> args) {
        return Exchange(row, args.begin(), args.size());
    }

    // A sink, when given, sees the response while it arrives.
    Response Exchange(Row name, const Arg* args, std::size_t count,
                      detail::BodySink* sink = nullptr) {
        const CommandRow& row = CatalogueRow(name);
        detail::CheckHeader(options.user, "user");
        detail::CheckHeader(options.password, "password");
        request.clear();
        if (!row.hasContentLength) {
            Arg all[2 + kMostKeys] = {Arg(options.user), Arg(options.password)};
            std::size_t n = 2;
            for (std::size_t k = 0; k < count && k < kMostKeys; ++k)
                all[n++] = args[k];
            detail::Fill(request, row.headTemplate, all, n);
        } else if (row.body == BodyKind::Text) {
            const std::string_view text = args[0].text;
            Head(row, text.size());
            request.append(text);
        } else {
            body.clear();
            detail::Fill(body, row.bodyTemplate, args, count);
            Head(row, body.size());
            request.append(body);
        }
        if (options.dry_run) {
            options.dry_run(request);
            return Response{"", 0, 0, true};
        }
        return connection.exchange(request, sink);
    }

    void Head(const CommandRow& row, std::size_t length) {
        if (length > INT_MAX)
            throw Error("the request's body is longer than the protocol can count");
        const Arg head[3] = {Arg(options.user), Arg(options.password),
                             Arg(static_cast<std::int32_t>(length))};
        detail::Fill(request, row.headTemplate, head, 3);
    }

    Response Call(Row row, std::initializer_list<Arg> args) {
        return Call(row, args.begin(), args.size());
    }

    Response Call(Row row, const Arg* args, std::size_t count) {
        const Response response = Exchange(row, args, count);
        detail::CheckStatus(response);
        return response;
    }

    template <class T> Response Send(Row row, const T& record) {
        Arg args[detail::kMostFields];
        const std::size_t n = detail::RecordArgs(record, args, lead);
        return Call(row, args, n);
    }

    template <class T> std::vector<T> List(Row row, std::initializer_list<Arg> args) {
        if (walk != nullptr) {
            const auto& each = *static_cast<const std::function<void(const T&)>*>(walk);
            walk = nullptr;
            Walk(row, args, each);
            return {};
        }
        std::vector<T> records;
        if (reuse != nullptr) {
            records = std::move(*static_cast<std::vector<T>*>(reuse));
            reuse = nullptr;
        }
        detail::ListDecoder<T> decoder(lead, options.max_result_bytes, std::move(records));
        const Response response = Exchange(row, args.begin(), args.size(), &decoder);
        detail::CheckStatus(response);
        return decoder.finish(response);
    }

    // The list handed to each record by record; the connection is closed when each throws after
    // the response is whole as while it arrives (the exchange closes it then).
    template <class T>
    void Walk(Row row, std::initializer_list<Arg> args, const std::function<void(const T&)>& each) {
        detail::ListDecoder<T> decoder(lead, options.max_result_bytes, each);
        const Response response = Exchange(row, args.begin(), args.size(), &decoder);
        if (decoder.released() == 0) // otherwise the status was 200 and its line is gone
            detail::CheckStatus(response);
        try {
            decoder.finish_each(response);
        } catch (...) {
            connection.close();
            throw;
        }
    }

    template <class T> std::optional<T> Find(Row row, std::initializer_list<Arg> args) {
        const Response response = Exchange(row, args);
        if (response.dry || detail::StatusCode(response) == 404)
            return std::nullopt;
        detail::CheckStatus(response);
        return detail::DecodeLookup<T>(response, lead);
    }

    // Runs a list operation's fresh form with the caller's vector lent to its decoder (List takes
    // it, of the same record type, since the fresh form is the same operation).
    template <class T, class Fresh> void Reusing(std::vector<T>& into, Fresh fresh) {
        struct Lent {
            void*& slot;
            ~Lent() { slot = nullptr; }
        } lent{reuse};
        reuse = &into;
        try {
            into = fresh();
        } catch (...) {
            into.clear();
            throw;
        }
    }

    // Runs a list operation's fresh form as a walk with each (List takes it, as Reusing lends).
    template <class T, class Fresh>
    void Walking(const std::function<void(const T&)>& each, Fresh fresh) {
        if (!each)
            throw Error("a walk needs a function to hand the records to");
        struct Lent {
            const void*& slot;
            ~Lent() { slot = nullptr; }
        } lent{walk};
        walk = &each;
        fresh();
    }

    std::int32_t Value(Row row, std::initializer_list<Arg> args) {
        return detail::DecodeValue(Call(row, args), CatalogueRow(row).responseTag, lead);
    }

    Options options;
    const unsigned char* lead;
    detail::Connection connection;
    std::string request; // kept between calls: its room is reused
    std::string body;
    void* reuse = nullptr;      // the caller's vector for the next List, while Reusing runs
    const void* walk = nullptr; // the caller's function for the next List, while Walking runs
};

Client::Client(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}
Client::~Client() = default;
Client::Client(Client&& other) noexcept = default;
Client& Client::operator=(Client&& other) noexcept = default;

Client::Impl& Client::impl() {
    if (!impl_)
        throw Error("the client was moved from");
    return *impl_;
}

const Options& Client::options() const noexcept {
    static const Options none;
    return impl_ ? impl_->options : none;
}
void Client::connect() {
    impl().connection.connect();
}
void Client::close() noexcept {
    if (impl_)
        impl_->connection.close();
}
bool Client::connected() const noexcept {
    return impl_ && impl_->connection.is_open();
}

// Server information and log.
void Client::add_information(std::string_view text) {
    impl().Call(Row::AddInfomation, {Arg(text)});
}
std::string Client::information() {
    const Response r = impl().Call(Row::GetInfomation, {});
    return std::string(r.data + r.body_offset, r.length - r.body_offset);
}
SysInfo Client::sys_info() {
    return detail::DecodeFirst<SysInfo>(impl().Call(Row::GetSysInfo, {}), impl_->lead);
}
std::vector<LogEvent> Client::log_events() {
    return impl().List<LogEvent>(Row::GetAllLogEvents, {});
}
void Client::clear_log_events() {
    impl().Call(Row::ClearLogEvents, {});
}

// Users.
std::vector<User> Client::users() {
    return impl().List<User>(Row::GetAllUsers, {});
}
std::optional<User> Client::find_user(std::string_view user_id) {
    Impl& i = impl();
    return i.Find<User>(Row::FindUser, {i.Key("user_id", user_id)});
}
void Client::add_user(const User& user) {
    impl().Send(Row::AddUser, user);
}
void Client::modify_user(const User& user) {
    impl().Send(Row::ModifyUser, user);
}
void Client::delete_user(std::string_view user_id) {
    Impl& i = impl();
    i.Call(Row::DeleteUser, {i.Key("user_id", user_id)});
}
std::vector<Group> Client::user_groups(std::string_view user_id) {
    Impl& i = impl();
    return i.List<Group>(Row::GetUserGroups, {i.Key("user_id", user_id)});
}
void Client::add_user_to_group(std::string_view user_id, std::string_view group_id) {
    Impl& i = impl();
    i.Call(Row::AddUserToGroup, {i.Key("user_id", user_id), i.Key("group_id", group_id)});
}
void Client::delete_user_from_group(std::string_view user_id, std::string_view group_id) {
    Impl& i = impl();
    i.Call(Row::DeleteUserFromGroup, {i.Key("user_id", user_id), i.Key("group_id", group_id)});
}
std::int32_t Client::user_rights(std::string_view user_id, std::int32_t program_id) {
    Impl& i = impl();
    return i.Value(Row::GetUserRights, {i.Key("user_id", user_id), Arg(program_id)});
}
void Client::add_user_rights(std::string_view user_id, std::int32_t program_id,
                             std::int32_t rights) {
    Impl& i = impl();
    i.Call(Row::AddUserRights, {i.Key("user_id", user_id), Arg(program_id), Arg(rights)});
}
void Client::modify_user_rights(std::string_view user_id, std::int32_t program_id,
                                std::int32_t rights) {
    Impl& i = impl();
    i.Call(Row::ModifyUserRights, {i.Key("user_id", user_id), Arg(program_id), Arg(rights)});
}
void Client::delete_user_rights(std::string_view user_id, std::int32_t program_id) {
    Impl& i = impl();
    i.Call(Row::DeleteUserRights, {i.Key("user_id", user_id), Arg(program_id)});
}
std::int32_t Client::user_permission(std::string_view user_id, std::int32_t program_id) {
    Impl& i = impl();
    return i.Value(Row::GetUserPermission, {i.Key("user_id", user_id), Arg(program_id)});
}
std::vector<ProgramStatistic> Client::user_program_statistics(std::string_view user_name,
                                                              double start, double stop) {
    Impl& i = impl();
    return i.List<ProgramStatistic>(Row::GetUserProgramStatistics,
                                    {i.Key("user_name", user_name), Arg(start), Arg(stop)});
}

// Groups.
std::vector<Group> Client::groups() {
    return impl().List<Group>(Row::GetAllGroups, {});
}
std::optional<Group> Client::find_group(std::string_view group_id) {
    Impl& i = impl();
    return i.Find<Group>(Row::FindGroup, {i.Key("group_id", group_id)});
}
void Client::add_group(const Group& group) {
    impl().Send(Row::AddGroup, group);
}
void Client::modify_group(const Group& group) {
    impl().Send(Row::ModifyGroup, group);
}
void Client::delete_group(std::string_view group_id) {
    Impl& i = impl();
    i.Call(Row::DeleteGroup, {i.Key("group_id", group_id)});
}
std::int32_t Client::group_rights(std::string_view group_id, std::int32_t program_id) {
    Impl& i = impl();
    return i.Value(Row::GetGroupRights, {i.Key("group_id", group_id), Arg(program_id)});
}
void Client::add_group_rights(std::string_view group_id, std::int32_t program_id,
                              std::int32_t rights) {
    Impl& i = impl();
    i.Call(Row::AddGroupRights, {i.Key("group_id", group_id), Arg(program_id), Arg(rights)});
}
void Client::modify_group_rights(std::string_view group_id, std::int32_t program_id,
                                 std::int32_t rights) {
    Impl& i = impl();
    i.Call(Row::ModifyGroupRights, {i.Key("group_id", group_id), Arg(program_id), Arg(rights)});
}
void Client::delete_group_rights(std::string_view group_id, std::int32_t program_id) {
    Impl& i = impl();
    i.Call(Row::DeleteGroupRights, {i.Key("group_id", group_id), Arg(program_id)});
}
std::vector<User> Client::group_users(std::string_view group_id) {
    Impl& i = impl();
    return i.List<User>(Row::GetGroupUsers, {i.Key("group_id", group_id)});
}

// Programs.
std::vector<Program> Client::programs() {
    return impl().List<Program>(Row::GetAllPrograms, {});
}
std::optional<Program> Client::find_program(std::int32_t program_id) {
    return impl().Find<Program>(Row::FindProgram, {Arg(program_id)});
}
std::int32_t Client::add_program(const Program& program) {
    Impl& i = impl();
    return detail::DecodeValue(i.Send(Row::AddProgram, program),
                               CatalogueRow(Row::AddProgram).responseTag, i.lead);
}
void Client::modify_program(const Program& program) {
    impl().Send(Row::ModifyProgram, program);
}
void Client::delete_program(std::int32_t program_id) {
    impl().Call(Row::DeleteProgram, {Arg(program_id)});
}
std::vector<User> Client::granted_users(std::int32_t program_id) {
    return impl().List<User>(Row::GetGrantedUsers, {Arg(program_id)});
}
std::vector<Group> Client::granted_groups(std::int32_t program_id) {
    return impl().List<Group>(Row::GetGrantedGroups, {Arg(program_id)});
}
void Client::apply_permission_to_descendants(std::int32_t program_id) {
    impl().Call(Row::ApplyPermissionToDescentdants, {Arg(program_id)});
}
void Client::move_program(std::int32_t program_id, std::int32_t other_program_id) {
    impl().Call(Row::MoveProgram, {Arg(program_id), Arg(other_program_id)});
}
void Client::copy_program(std::int32_t program_id, std::int32_t other_program_id) {
    impl().Call(Row::CopyProgram, {Arg(program_id), Arg(other_program_id)});
}
std::vector<ProgramStatistic> Client::program_statistics(std::int32_t program_id, double start,
                                                         double stop) {
    return impl().List<ProgramStatistic>(Row::GetProgramStatistics,
                                         {Arg(program_id), Arg(start), Arg(stop)});
}
std::vector<TopProgram> Client::top_programs(std::int32_t count, double start, double stop) {
    return impl().List<TopProgram>(Row::GetTOPPrograms, {Arg(count), Arg(start), Arg(stop)});
}
std::vector<ProgramPath> Client::program_paths(std::int32_t program_id) {
    return impl().List<ProgramPath>(Row::GetProgramPath, {Arg(program_id)});
}
void Client::add_path_to_program(const ProgramPath& path) {
    impl().Send(Row::AddPathTOProgram, path);
}
void Client::delete_path_from_program(std::int32_t program_id, std::string_view program_path) {
    Impl& i = impl();
    i.Call(Row::DeletePathFromProgram, {Arg(program_id), i.Key("program_path", program_path)});
}

// Channels and schedules.
std::vector<Channel> Client::channels() {
    return impl().List<Channel>(Row::GetAllChannels, {});
}
std::vector<Schedule> Client::channel_schedules(std::string_view channel_id) {
    Impl& i = impl();
    return i.List<Schedule>(Row::GetChannelSchedules, {i.Key("channel_id", channel_id)});
}
std::optional<Channel> Client::find_channel(std::string_view channel_id) {
    Impl& i = impl();
    return i.Find<Channel>(Row::FindChannel, {i.Key("channel_id", channel_id)});
}
void Client::add_channel(const Channel& channel) {
    impl().Send(Row::AddChannel, channel);
}
void Client::modify_channel(const Channel& channel) {
    impl().Send(Row::ModifyChannel, channel);
}
void Client::delete_channel(std::string_view channel_id) {
    Impl& i = impl();
    i.Call(Row::DeleteChannel, {i.Key("channel_id", channel_id)});
}
std::vector<Schedule> Client::schedules() {
    return impl().List<Schedule>(Row::GetAllSchedules, {});
}
std::optional<Schedule> Client::find_schedule(std::int32_t schedule_id) {
    return impl().Find<Schedule>(Row::FindSchedule, {Arg(schedule_id)});
}
std::int32_t Client::add_schedule(const Schedule& schedule) {
    Impl& i = impl();
    return detail::DecodeValue(i.Send(Row::AddSchedule, schedule),
                               CatalogueRow(Row::AddSchedule).responseTag, i.lead);
}
void Client::modify_schedule(const Schedule& schedule) {
    impl().Send(Row::ModifySchedule, schedule);
}
void Client::delete_schedule(std::int32_t schedule_id) {
    impl().Call(Row::DeleteSchedule, {Arg(schedule_id)});
}
std::optional<Channel> Client::schedule_channel(std::int32_t schedule_id) {
    return impl().Find<Channel>(Row::GetScheduleChannel, {Arg(schedule_id)});
}

// Global settings.
std::vector<Global> Client::globals() {
    return impl().List<Global>(Row::GetAllGlobals, {});
}
std::optional<Global> Client::find_global(std::string_view key) {
    Impl& i = impl();
    return i.Find<Global>(Row::FindGlobal, {i.Key("key", key)});
}
void Client::add_global(const Global& global) {
    impl().Send(Row::AddGlobal, global);
}
void Client::modify_global(const Global& global) {
    impl().Send(Row::ModifyGlobal, global);
}
void Client::delete_global(std::string_view key) {
    Impl& i = impl();
    i.Call(Row::DeleteGlobal, {i.Key("key", key)});
}

// MTP servers.
std::vector<MtpServer> Client::mtp_servers() {
    return impl().List<MtpServer>(Row::GetAllMTPSvrs, {});
}
std::optional<MtpServer> Client::find_mtp_server(std::string_view channel_id) {
    Impl& i = impl();
    return i.Find<MtpServer>(Row::FindMTPSvr, {i.Key("channel_id", channel_id)});
}
void Client::add_mtp_server(const MtpServer& server) {
    impl().Send(Row::AddMTPSvr, server);
}
void Client::modify_mtp_server(const MtpServer& server) {
    impl().Send(Row::ModifyMTPSvr, server);
}
void Client::delete_mtp_server(std::string_view mtp_svr_name) {
    Impl& i = impl();
    i.Call(Row::DeleteMTPSvr, {i.Key("mtp_svr_name", mtp_svr_name)});
}

// Lists into the caller's vector: the fresh form, decoding into the caller's records.
void Client::log_events_into(std::vector<LogEvent>& into) {
    impl().Reusing(into, [&] { return log_events(); });
}
void Client::users_into(std::vector<User>& into) {
    impl().Reusing(into, [&] { return users(); });
}
void Client::user_groups_into(std::string_view user_id, std::vector<Group>& into) {
    impl().Reusing(into, [&] { return user_groups(user_id); });
}
void Client::user_program_statistics_into(std::string_view user_name, double start, double stop,
                                          std::vector<ProgramStatistic>& into) {
    impl().Reusing(into, [&] { return user_program_statistics(user_name, start, stop); });
}
void Client::groups_into(std::vector<Group>& into) {
    impl().Reusing(into, [&] { return groups(); });
}
void Client::group_users_into(std::string_view group_id, std::vector<User>& into) {
    impl().Reusing(into, [&] { return group_users(group_id); });
}
void Client::programs_into(std::vector<Program>& into) {
    impl().Reusing(into, [&] { return programs(); });
}
void Client::granted_users_into(std::int32_t program_id, std::vector<User>& into) {
    impl().Reusing(into, [&] { return granted_users(program_id); });
}
void Client::granted_groups_into(std::int32_t program_id, std::vector<Group>& into) {
    impl().Reusing(into, [&] { return granted_groups(program_id); });
}
void Client::program_statistics_into(std::int32_t program_id, double start, double stop,
                                     std::vector<ProgramStatistic>& into) {
    impl().Reusing(into, [&] { return program_statistics(program_id, start, stop); });
}
void Client::top_programs_into(std::int32_t count, double start, double stop,
                               std::vector<TopProgram>& into) {
    impl().Reusing(into, [&] { return top_programs(count, start, stop); });
}
void Client::program_paths_into(std::int32_t program_id, std::vector<ProgramPath>& into) {
    impl().Reusing(into, [&] { return program_paths(program_id); });
}
void Client::channels_into(std::vector<Channel>& into) {
    impl().Reusing(into, [&] { return channels(); });
}
void Client::channel_schedules_into(std::string_view channel_id, std::vector<Schedule>& into) {
    impl().Reusing(into, [&] { return channel_schedules(channel_id); });
}
void Client::schedules_into(std::vector<Schedule>& into) {
    impl().Reusing(into, [&] { return schedules(); });
}
void Client::globals_into(std::vector<Global>& into) {
    impl().Reusing(into, [&] { return globals(); });
}
void Client::mtp_servers_into(std::vector<MtpServer>& into) {
    impl().Reusing(into, [&] { return mtp_servers(); });
}

// Lists walked: the fresh form, its records handed to each as they arrive.
void Client::log_events_each(const std::function<void(const LogEvent&)>& each) {
    impl().Walking(each, [&] { log_events(); });
}
void Client::users_each(const std::function<void(const User&)>& each) {
    impl().Walking(each, [&] { users(); });
}
void Client::user_groups_each(std::string_view user_id,
                              const std::function<void(const Group&)>& each) {
    impl().Walking(each, [&] { user_groups(user_id); });
}
void Client::user_program_statistics_each(
    std::string_view user_name, double start, double stop,
    const std::function<void(const ProgramStatistic&)>& each) {
    impl().Walking(each, [&] { user_program_statistics(user_name, start, stop); });
}
void Client::groups_each(const std::function<void(const Group&)>& each) {
    impl().Walking(each, [&] { groups(); });
}
void Client::group_users_each(std::string_view group_id,
                              const std::function<void(const User&)>& each) {
    impl().Walking(each, [&] { group_users(group_id); });
}
void Client::programs_each(const std::function<void(const Program&)>& each) {
    impl().Walking(each, [&] { programs(); });
}
void Client::granted_users_each(std::int32_t program_id,
                                const std::function<void(const User&)>& each) {
    impl().Walking(each, [&] { granted_users(program_id); });
}
void Client::granted_groups_each(std::int32_t program_id,
                                 const std::function<void(const Group&)>& each) {
    impl().Walking(each, [&] { granted_groups(program_id); });
}
void Client::program_statistics_each(std::int32_t program_id, double start, double stop,
                                     const std::function<void(const ProgramStatistic&)>& each) {
    impl().Walking(each, [&] { program_statistics(program_id, start, stop); });
}
void Client::top_programs_each(std::int32_t count, double start, double stop,
                               const std::function<void(const TopProgram&)>& each) {
    impl().Walking(each, [&] { top_programs(count, start, stop); });
}
void Client::program_paths_each(std::int32_t program_id,
                                const std::function<void(const ProgramPath&)>& each) {
    impl().Walking(each, [&] { program_paths(program_id); });
}
void Client::channels_each(const std::function<void(const Channel&)>& each) {
    impl().Walking(each, [&] { channels(); });
}
void Client::channel_schedules_each(std::string_view channel_id,
                                    const std::function<void(const Schedule&)>& each) {
    impl().Walking(each, [&] { channel_schedules(channel_id); });
}
void Client::schedules_each(const std::function<void(const Schedule&)>& each) {
    impl().Walking(each, [&] { schedules(); });
}
void Client::globals_each(const std::function<void(const Global&)>& each) {
    impl().Walking(each, [&] { globals(); });
}
void Client::mtp_servers_each(const std::function<void(const MtpServer&)>& each) {
    impl().Walking(each, [&] { mtp_servers(); });
}

} // namespace ltp
