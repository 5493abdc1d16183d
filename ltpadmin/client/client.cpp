// ltp::Client: each operation checks its texts, fills its catalogue row, exchanges it over the
// connection and reads the response into the value types.
#include "ltpadmin/client.h"

#include <climits>
#include <initializer_list>

#include "ltpadmin/client/connection.h"
#include "ltpadmin/client/decode.h"
#include "ltpadmin/client/request.h"
#include "ltpadmin/protocol/catalogue.h"

namespace ltp {

using detail::Arg;
using detail::Response;

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
    Response Exchange(int number, std::initializer_list<Arg> args) {
        return Exchange(number, args.begin(), args.size());
    }

    Response Exchange(int number, const Arg* args, std::size_t count) {
        const CommandRow& row = Command(number);
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
        return connection.exchange(request);
    }

    void Head(const CommandRow& row, std::size_t length) {
        if (length > INT_MAX)
            throw Error("the request's body is longer than the protocol can count");
        const Arg head[3] = {Arg(options.user), Arg(options.password),
                             Arg(static_cast<std::int32_t>(length))};
        detail::Fill(request, row.headTemplate, head, 3);
    }

    Response Call(int number, std::initializer_list<Arg> args) {
        return Call(number, args.begin(), args.size());
    }

    Response Call(int number, const Arg* args, std::size_t count) {
        const Response response = Exchange(number, args, count);
        detail::CheckStatus(response);
        return response;
    }

    template <class T> Response Send(int number, const T& record) {
        Arg args[detail::kMostFields];
        const std::size_t n = detail::RecordArgs(record, args, lead);
        return Call(number, args, n);
    }

    template <class T> std::vector<T> List(int number, std::initializer_list<Arg> args) {
        return detail::DecodeList<T>(Call(number, args), lead, options.max_result_bytes);
    }

    template <class T> std::optional<T> Find(int number, std::initializer_list<Arg> args) {
        const Response response = Exchange(number, args);
        if (detail::StatusCode(response) == 404)
            return std::nullopt;
        detail::CheckStatus(response);
        return detail::DecodeFirst<T>(response, lead);
    }

    std::int32_t Value(int number, std::initializer_list<Arg> args) {
        return detail::DecodeValue(Call(number, args), Command(number).responseTag, lead);
    }

    Options options;
    const unsigned char* lead;
    detail::Connection connection;
    std::string request; // kept between calls: its room is reused
    std::string body;
};

Client::Client(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}
Client::~Client() = default;
Client::Client(Client&& other) noexcept = default;
Client& Client::operator=(Client&& other) noexcept = default;

namespace {

Client::Impl& Use(const std::unique_ptr<Client::Impl>& impl) {
    if (!impl)
        throw Error("the client was moved from");
    return *impl;
}

} // namespace

const Options& Client::options() const noexcept {
    static const Options none;
    return impl_ ? impl_->options : none;
}
void Client::connect() {
    Use(impl_).connection.connect();
}
void Client::close() noexcept {
    if (impl_)
        impl_->connection.close();
}
bool Client::connected() const noexcept {
    return impl_ && impl_->connection.is_open();
}

#define IMPL Use(impl_)

// Server information and log.
void Client::add_information(std::string_view text) {
    IMPL.Call(1, {Arg(text)});
}
std::string Client::information() {
    const Response r = IMPL.Call(2, {});
    return std::string(r.data + r.body_offset, r.length - r.body_offset);
}
SysInfo Client::sys_info() {
    return detail::DecodeFirst<SysInfo>(IMPL.Call(3, {}), impl_->lead);
}
std::vector<LogEvent> Client::log_events() {
    return IMPL.List<LogEvent>(4, {});
}
void Client::clear_log_events() {
    IMPL.Call(5, {});
}

// Users.
std::vector<User> Client::users() {
    return IMPL.List<User>(6, {});
}
std::optional<User> Client::find_user(std::string_view user_id) {
    Impl& i = IMPL;
    return i.Find<User>(12, {i.Key("user_id", user_id)});
}
void Client::add_user(const User& user) {
    IMPL.Send(18, user);
}
void Client::modify_user(const User& user) {
    IMPL.Send(24, user);
}
void Client::delete_user(std::string_view user_id) {
    Impl& i = IMPL;
    i.Call(30, {i.Key("user_id", user_id)});
}
std::vector<Group> Client::user_groups(std::string_view user_id) {
    Impl& i = IMPL;
    return i.List<Group>(37, {i.Key("user_id", user_id)});
}
void Client::add_user_to_group(std::string_view user_id, std::string_view group_id) {
    Impl& i = IMPL;
    i.Call(44, {i.Key("user_id", user_id), i.Key("group_id", group_id)});
}
void Client::delete_user_from_group(std::string_view user_id, std::string_view group_id) {
    Impl& i = IMPL;
    i.Call(45, {i.Key("user_id", user_id), i.Key("group_id", group_id)});
}
std::int32_t Client::user_rights(std::string_view user_id, std::int32_t program_id) {
    Impl& i = IMPL;
    return i.Value(40, {i.Key("user_id", user_id), Arg(program_id)});
}
void Client::add_user_rights(std::string_view user_id, std::int32_t program_id,
                             std::int32_t rights) {
    Impl& i = IMPL;
    i.Call(46, {i.Key("user_id", user_id), Arg(program_id), Arg(rights)});
}
void Client::modify_user_rights(std::string_view user_id, std::int32_t program_id,
                                std::int32_t rights) {
    Impl& i = IMPL;
    i.Call(47, {i.Key("user_id", user_id), Arg(program_id), Arg(rights)});
}
void Client::delete_user_rights(std::string_view user_id, std::int32_t program_id) {
    Impl& i = IMPL;
    i.Call(48, {i.Key("user_id", user_id), Arg(program_id)});
}
std::int32_t Client::user_permission(std::string_view user_id, std::int32_t program_id) {
    Impl& i = IMPL;
    return i.Value(52, {i.Key("user_id", user_id), Arg(program_id)});
}
std::vector<ProgramStatistic> Client::user_program_statistics(std::string_view user_name,
                                                              double start, double stop) {
    Impl& i = IMPL;
    return i.List<ProgramStatistic>(56, {i.Key("user_name", user_name), Arg(start), Arg(stop)});
}

// Groups.
std::vector<Group> Client::groups() {
    return IMPL.List<Group>(7, {});
}
std::optional<Group> Client::find_group(std::string_view group_id) {
    Impl& i = IMPL;
    return i.Find<Group>(13, {i.Key("group_id", group_id)});
}
void Client::add_group(const Group& group) {
    IMPL.Send(19, group);
}
void Client::modify_group(const Group& group) {
    IMPL.Send(25, group);
}
void Client::delete_group(std::string_view group_id) {
    Impl& i = IMPL;
    i.Call(31, {i.Key("group_id", group_id)});
}
std::int32_t Client::group_rights(std::string_view group_id, std::int32_t program_id) {
    Impl& i = IMPL;
    return i.Value(41, {i.Key("group_id", group_id), Arg(program_id)});
}
void Client::add_group_rights(std::string_view group_id, std::int32_t program_id,
                              std::int32_t rights) {
    Impl& i = IMPL;
    i.Call(49, {i.Key("group_id", group_id), Arg(program_id), Arg(rights)});
}
void Client::modify_group_rights(std::string_view group_id, std::int32_t program_id,
                                 std::int32_t rights) {
    Impl& i = IMPL;
    i.Call(50, {i.Key("group_id", group_id), Arg(program_id), Arg(rights)});
}
void Client::delete_group_rights(std::string_view group_id, std::int32_t program_id) {
    Impl& i = IMPL;
    i.Call(51, {i.Key("group_id", group_id), Arg(program_id)});
}
std::vector<User> Client::group_users(std::string_view group_id) {
    Impl& i = IMPL;
    return i.List<User>(36, {i.Key("group_id", group_id)});
}

// Programs.
std::vector<Program> Client::programs() {
    return IMPL.List<Program>(8, {});
}
std::optional<Program> Client::find_program(std::int32_t program_id) {
    return IMPL.Find<Program>(14, {Arg(program_id)});
}
std::int32_t Client::add_program(const Program& program) {
    Impl& i = IMPL;
    return detail::DecodeValue(i.Send(20, program), Command(20).responseTag, i.lead);
}
void Client::modify_program(const Program& program) {
    IMPL.Send(26, program);
}
void Client::delete_program(std::int32_t program_id) {
    IMPL.Call(32, {Arg(program_id)});
}
std::vector<User> Client::granted_users(std::int32_t program_id) {
    return IMPL.List<User>(43, {Arg(program_id)});
}
std::vector<Group> Client::granted_groups(std::int32_t program_id) {
    return IMPL.List<Group>(42, {Arg(program_id)});
}
void Client::apply_permission_to_descendants(std::int32_t program_id) {
    IMPL.Call(53, {Arg(program_id)});
}
void Client::move_program(std::int32_t program_id, std::int32_t other_program_id) {
    IMPL.Call(54, {Arg(program_id), Arg(other_program_id)});
}
void Client::copy_program(std::int32_t program_id, std::int32_t other_program_id) {
    IMPL.Call(55, {Arg(program_id), Arg(other_program_id)});
}
std::vector<ProgramStatistic> Client::program_statistics(std::int32_t program_id, double start,
                                                         double stop) {
    return IMPL.List<ProgramStatistic>(57, {Arg(program_id), Arg(start), Arg(stop)});
}
std::vector<TopProgram> Client::top_programs(std::int32_t count, double start, double stop) {
    return IMPL.List<TopProgram>(58, {Arg(count), Arg(start), Arg(stop)});
}
std::vector<ProgramPath> Client::program_paths(std::int32_t program_id) {
    return IMPL.List<ProgramPath>(65, {Arg(program_id)});
}
void Client::add_path_to_program(const ProgramPath& path) {
    IMPL.Send(59, path);
}
void Client::delete_path_from_program(std::int32_t program_id, std::string_view program_path) {
    Impl& i = IMPL;
    i.Call(66, {Arg(program_id), i.Key("program_path", program_path)});
}

// Channels and schedules.
std::vector<Channel> Client::channels() {
    return IMPL.List<Channel>(9, {});
}
std::vector<Schedule> Client::channel_schedules(std::string_view channel_id) {
    Impl& i = IMPL;
    return i.List<Schedule>(38, {i.Key("channel_id", channel_id)});
}
std::optional<Channel> Client::find_channel(std::string_view channel_id) {
    Impl& i = IMPL;
    return i.Find<Channel>(15, {i.Key("channel_id", channel_id)});
}
void Client::add_channel(const Channel& channel) {
    IMPL.Send(21, channel);
}
void Client::modify_channel(const Channel& channel) {
    IMPL.Send(27, channel);
}
void Client::delete_channel(std::string_view channel_id) {
    Impl& i = IMPL;
    i.Call(33, {i.Key("channel_id", channel_id)});
}
std::vector<Schedule> Client::schedules() {
    return IMPL.List<Schedule>(10, {});
}
std::optional<Schedule> Client::find_schedule(std::int32_t schedule_id) {
    return IMPL.Find<Schedule>(16, {Arg(schedule_id)});
}
std::int32_t Client::add_schedule(const Schedule& schedule) {
    Impl& i = IMPL;
    return detail::DecodeValue(i.Send(22, schedule), Command(22).responseTag, i.lead);
}
void Client::modify_schedule(const Schedule& schedule) {
    IMPL.Send(28, schedule);
}
void Client::delete_schedule(std::int32_t schedule_id) {
    IMPL.Call(34, {Arg(schedule_id)});
}
std::optional<Channel> Client::schedule_channel(std::int32_t schedule_id) {
    return IMPL.Find<Channel>(39, {Arg(schedule_id)});
}

// Global settings.
std::vector<Global> Client::globals() {
    return IMPL.List<Global>(11, {});
}
std::optional<Global> Client::find_global(std::string_view key) {
    Impl& i = IMPL;
    return i.Find<Global>(17, {i.Key("key", key)});
}
void Client::add_global(const Global& global) {
    IMPL.Send(23, global);
}
void Client::modify_global(const Global& global) {
    IMPL.Send(29, global);
}
void Client::delete_global(std::string_view key) {
    Impl& i = IMPL;
    i.Call(35, {i.Key("key", key)});
}

// MTP servers.
std::vector<MtpServer> Client::mtp_servers() {
    return IMPL.List<MtpServer>(60, {});
}
std::optional<MtpServer> Client::find_mtp_server(std::string_view channel_id) {
    Impl& i = IMPL;
    return i.Find<MtpServer>(61, {i.Key("channel_id", channel_id)});
}
void Client::add_mtp_server(const MtpServer& server) {
    IMPL.Send(62, server);
}
void Client::modify_mtp_server(const MtpServer& server) {
    IMPL.Send(63, server);
}
void Client::delete_mtp_server(std::string_view mtp_svr_name) {
    Impl& i = IMPL;
    i.Call(64, {i.Key("mtp_svr_name", mtp_svr_name)});
}

#undef IMPL

} // namespace ltp
