#include "client.h"

#include "dates.h"
#include "handle.h"
#include "text.h"

#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace py = pybind11;

namespace ltpy {
namespace {

// How each argument type of ltp::Client crosses: texts as str (every byte kept), dates as
// datetime, records copied while the GIL is held so that no other thread changes them mid-call.
template <class A> struct Arg {
    using type = A;
    static A to(A a) { return a; }
};
template <> struct Arg<std::string_view> {
    using type = Text;
    static std::string_view to(const Text& t) { return t.bytes; }
};
template <> struct Arg<double> {
    using type = WireDate;
    static double to(WireDate d) { return d.value; }
};
template <class T> struct Arg<const T&> {
    using type = T;
    static const T& to(const T& t) { return t; }
};

template <class R> struct Result {
    using type = R;
    static R from(R&& r) { return std::move(r); }
};
template <> struct Result<void> { using type = void; };
template <> struct Result<std::string> {
    using type = Text;
    static Text from(std::string&& r) { return Text{std::move(r)}; }
};

using Class = py::class_<ClientHandle, std::shared_ptr<ClientHandle>>;

template <class R, class... A, class... Extra>
void method(Class& cls, const char* name, R (ltp::Client::*m)(A...), const Extra&... extra) {
    cls.def(
        name,
        [m](ClientHandle& h, typename Arg<A>::type... args) -> typename Result<R>::type {
            return h.run([&](ltp::Client& c) -> typename Result<R>::type {
                if constexpr (std::is_void_v<R>)
                    (c.*m)(Arg<A>::to(args)...);
                else
                    return Result<R>::from((c.*m)(Arg<A>::to(args)...));
            });
        },
        extra...);
}

} // namespace

void bind_client(py::module_& m) {
    Class cls(m, "Client",
              "One connection to an LTP server, one request at a time; connects on first use.");
    cls.def(py::init([](const std::string& host, int port, const std::string& user,
                        const std::string& password, double connect_timeout, double request_timeout,
                        unsigned code_page) {
                return std::make_shared<ClientHandle>(make_options(
                    host, port, user, password, connect_timeout, request_timeout, code_page));
            }),
            py::kw_only(), py::arg("host") = "127.0.0.1",
            py::arg("port") = static_cast<int>(ltp::default_port), py::arg("user") = "",
            py::arg("password") = "",
            py::arg("connect_timeout") = Seconds(ltp::default_connect_timeout),
            py::arg("request_timeout") = Seconds(ltp::default_request_timeout),
            py::arg("code_page") = 0u);
    cls.def("__enter__", [](py::object self) { return self; });
    cls.def("__exit__",
            [](ClientHandle& h, py::args) { h.run([](ltp::Client& c) { c.close(); }); });
    cls.def("connect", [](ClientHandle& h) { h.run([](ltp::Client& c) { c.connect(); }); });
    cls.def("close", [](ClientHandle& h) { h.run([](ltp::Client& c) { c.close(); }); });
    cls.def("options", [](ClientHandle& h) {
        const ltp::Options o = h.run([](ltp::Client& c) { return c.options(); });
        py::dict out;
        out["host"] = text_to_python(o.host);
        out["port"] = o.port;
        out["user"] = text_to_python(o.user);
        out["password"] = text_to_python(o.password);
        out["connect_timeout"] = static_cast<double>(o.connect_timeout.count()) / 1000;
        out["request_timeout"] = static_cast<double>(o.request_timeout.count()) / 1000;
        out["code_page"] = o.code_page;
        return out;
    });
    cls.def("connected",
            [](ClientHandle& h) { return h.run([](ltp::Client& c) { return c.connected(); }); });

    using C = ltp::Client;
    auto id = [](const char* name) { return py::arg(name); };
    // Server information and log
    method(cls, "add_information", &C::add_information, id("text"));
    method(cls, "information", &C::information);
    method(cls, "sys_info", &C::sys_info);
    method(cls, "log_events", &C::log_events);
    method(cls, "clear_log_events", &C::clear_log_events);
    // Users
    method(cls, "users", &C::users);
    method(cls, "find_user", &C::find_user, id("user_id"));
    method(cls, "add_user", &C::add_user, id("user"));
    method(cls, "modify_user", &C::modify_user, id("user"));
    method(cls, "delete_user", &C::delete_user, id("user_id"));
    method(cls, "user_groups", &C::user_groups, id("user_id"));
    method(cls, "add_user_to_group", &C::add_user_to_group, id("user_id"), id("group_id"));
    method(cls, "delete_user_from_group", &C::delete_user_from_group, id("user_id"),
           id("group_id"));
    method(cls, "user_rights", &C::user_rights, id("user_id"), id("program_id"));
    method(cls, "add_user_rights", &C::add_user_rights, id("user_id"), id("program_id"),
           id("rights"));
    method(cls, "modify_user_rights", &C::modify_user_rights, id("user_id"), id("program_id"),
           id("rights"));
    method(cls, "delete_user_rights", &C::delete_user_rights, id("user_id"), id("program_id"));
    method(cls, "user_permission", &C::user_permission, id("user_id"), id("program_id"));
    method(cls, "user_program_statistics", &C::user_program_statistics, id("user_name"),
           id("start"), id("stop"));
    // Groups
    method(cls, "groups", &C::groups);
    method(cls, "find_group", &C::find_group, id("group_id"));
    method(cls, "add_group", &C::add_group, id("group"));
    method(cls, "modify_group", &C::modify_group, id("group"));
    method(cls, "delete_group", &C::delete_group, id("group_id"));
    method(cls, "group_rights", &C::group_rights, id("group_id"), id("program_id"));
    method(cls, "add_group_rights", &C::add_group_rights, id("group_id"), id("program_id"),
           id("rights"));
    method(cls, "modify_group_rights", &C::modify_group_rights, id("group_id"), id("program_id"),
           id("rights"));
    method(cls, "delete_group_rights", &C::delete_group_rights, id("group_id"), id("program_id"));
    method(cls, "group_users", &C::group_users, id("group_id"));
    // Programs
    method(cls, "programs", &C::programs);
    method(cls, "find_program", &C::find_program, id("program_id"));
    method(cls, "add_program", &C::add_program, id("program"));
    method(cls, "modify_program", &C::modify_program, id("program"));
    method(cls, "delete_program", &C::delete_program, id("program_id"));
    method(cls, "granted_users", &C::granted_users, id("program_id"));
    method(cls, "granted_groups", &C::granted_groups, id("program_id"));
    method(cls, "apply_permission_to_descendants", &C::apply_permission_to_descendants,
           id("program_id"));
    method(cls, "move_program", &C::move_program, id("program_id"), id("other_program_id"));
    method(cls, "copy_program", &C::copy_program, id("program_id"), id("other_program_id"));
    method(cls, "program_statistics", &C::program_statistics, id("program_id"), id("start"),
           id("stop"));
    method(cls, "top_programs", &C::top_programs, id("count"), id("start"), id("stop"));
    method(cls, "program_paths", &C::program_paths, id("program_id"));
    method(cls, "add_path_to_program", &C::add_path_to_program, id("path"));
    method(cls, "delete_path_from_program", &C::delete_path_from_program, id("program_id"),
           id("program_path"));
    // Channels and schedules
    method(cls, "channels", &C::channels);
    method(cls, "channel_schedules", &C::channel_schedules, id("channel_id"));
    method(cls, "find_channel", &C::find_channel, id("channel_id"));
    method(cls, "add_channel", &C::add_channel, id("channel"));
    method(cls, "modify_channel", &C::modify_channel, id("channel"));
    method(cls, "delete_channel", &C::delete_channel, id("channel_id"));
    method(cls, "schedules", &C::schedules);
    method(cls, "find_schedule", &C::find_schedule, id("schedule_id"));
    method(cls, "add_schedule", &C::add_schedule, id("schedule"));
    method(cls, "modify_schedule", &C::modify_schedule, id("schedule"));
    method(cls, "delete_schedule", &C::delete_schedule, id("schedule_id"));
    method(cls, "schedule_channel", &C::schedule_channel, id("schedule_id"));
    // Global settings
    method(cls, "globals", &C::globals);
    method(cls, "find_global", &C::find_global, id("key"));
    method(cls, "add_global", &C::add_global, id("setting"));
    method(cls, "modify_global", &C::modify_global, id("setting"));
    method(cls, "delete_global", &C::delete_global, id("key"));
    // MTP servers
    method(cls, "mtp_servers", &C::mtp_servers);
    method(cls, "find_mtp_server", &C::find_mtp_server, id("channel_id"));
    method(cls, "add_mtp_server", &C::add_mtp_server, id("server"));
    method(cls, "modify_mtp_server", &C::modify_mtp_server, id("server"));
    method(cls, "delete_mtp_server", &C::delete_mtp_server, id("mtp_svr_name"));
}

} // namespace ltpy
