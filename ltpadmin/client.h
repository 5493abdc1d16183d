/// @file
/// The modern interface of ltpadmin: `ltp::Client`, `ltp::Pool`, the value types, their field
/// reflection, the errors and the date helpers. Everything lives in namespace `ltp`; nothing of
/// the Windows-shaped interface is included, so this header mixes with any other code.
///
/// @code
/// ltp::Options options;
/// options.host = "127.0.0.1";
/// options.user = "admin";
/// options.password = "secret";
/// ltp::Client client(options);
/// for (const ltp::User& user : client.users())
///     std::cout << user.user_id << '\n';
/// @endcode
#pragma once

#include <ltpadmin/export.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

/// The modern interface of ltpadmin.
namespace ltp {

/// Which way traced bytes went (see Options::trace).
enum class TraceDirection {
    request, ///< about to be sent
    response ///< received: the whole response, or as much as came before the exchange failed
};

/// How to reach the server and how long to wait for it.
struct Options {
    /// Host name, IPv4 literal ("127.0.0.1") or IPv6 literal ("::1").
    std::string host = "127.0.0.1";
    /// TCP port of the server.
    std::uint16_t port = 120;
    /// User name sent with every request.
    std::string user;
    /// Password sent with every request.
    std::string password;
    /// Longest wait for the connection to be accepted.
    std::chrono::milliseconds connect_timeout{10000};
    /// Longest silence while a request goes out or its response comes in. The wait restarts
    /// whenever bytes move, so a long list over a slow link succeeds while a silent server fails
    /// after about this long.
    std::chrono::milliseconds request_timeout{10000};
    /// The server's code page: which bytes open a double-byte character, so that a trail byte is
    /// never taken for "|" or "<". 0 uses the process's code page; 1252 (single-byte), 932, 936,
    /// 949 and 950 are known.
    unsigned code_page = 0;
    /// Most bytes of one response (head and body); a longer one ends the request with a
    /// TransportError of kind limit and closes the connection.
    std::size_t max_response_bytes = std::size_t{256} << 20;
    /// Most bytes of the records of one result held in memory (texts and the records
    /// themselves); a larger result ends the request with a TransportError of kind limit.
    std::size_t max_result_bytes = std::size_t{512} << 20;
    /// When set, sees the bytes of every exchange: each request just before it is sent (the
    /// password included, as on the wire) and then its response. A request refused before
    /// sending is not traced. For logging and diagnostics; it must not throw, and the bytes are
    /// valid only during the call.
    std::function<void(TraceDirection, std::string_view)> trace;
    /// When set, nothing is sent: each request, checked and formatted as it would go out (the
    /// password included), is handed to it instead of to trace, no connection is opened, and the
    /// call returns as a success with nothing to say: an empty list or text, no record (nullopt), 0
    /// for a number or a new record's id, zeros for sys_info(). For previewing changes ("dry
    /// runs"); input the protocol cannot carry still throws InvalidInput. It must not throw, and
    /// the bytes are valid only during the call.
    std::function<void(std::string_view request)> dry_run;
};

/// @name Value types
/// The records of the protocol. Members keep the records' field names in snake case; texts are
/// kept whole in both directions, whole numbers are 32-bit, decimals are doubles, and every
/// member is zero (or empty) by default. Dates are decimals: days since 1899-12-30 00:00 UTC,
/// the time of day as the fraction (see to_wire_date()).
/// @{

/// A user.
struct User {
    std::string user_id; ///< the key
    std::string text2;
    std::string text3;
    std::string text4;
    std::string text5;
    std::string text6;
};

/// A group of users.
struct Group {
    std::string group_id; ///< the key
    std::string text2;
};

/// A node of the server's program tree.
struct Program {
    std::int32_t program_id = 0; ///< the key; Client::add_program() returns the server's one
    std::string text2;
    std::string text3;
    std::string text4;
    double real5 = 0;
    std::int32_t number6 = 0;
    std::int32_t number7 = 0;
    std::string text8;
    std::string text9;
    std::string text10;
    std::string text11;
    std::string text12;
    std::string text13;
};

/// A channel.
struct Channel {
    std::string channel_id; ///< the key
    std::string text2;
    std::string text3;
};

/// A schedule.
struct Schedule {
    std::int32_t schedule_id = 0; ///< the key; Client::add_schedule() returns the server's one
    std::string text2;
    std::int32_t number3 = 0;
    double real4 = 0; ///< a date
    double real5 = 0; ///< a date
    std::int32_t number6 = 0;
};

/// A global setting.
struct Global {
    std::string key; ///< the key
    std::int32_t number2 = 0;
    std::string text3;
    std::string text4;
};

/// An entry of the server's log (received only).
struct LogEvent {
    std::int32_t number1 = 0;
    double real2 = 0; ///< a date
    std::string text3;
    std::string text4;
};

/// The server's system information (received only).
struct SysInfo {
    std::int32_t number1 = 0;
    std::int32_t number2 = 0;
    std::int32_t number3 = 0;
    double real4 = 0;
    std::int32_t number5 = 0;
};

/// One row of the most used programs (received only).
struct TopProgram {
    std::int32_t number1 = 0;
    std::int32_t number2 = 0;
};

/// One row of the usage statistics (received only). The wire order differs from the order
/// here; fields() lists the wire order.
struct ProgramStatistic {
    std::int32_t number1 = 0;
    std::string text2;
    std::int32_t number3 = 0;
    std::int32_t number4 = 0;
    double real5 = 0; ///< a date
    double real6 = 0; ///< a date
};

/// An MTP server of the server's register. number4 is the server's and never sent.
struct MtpServer {
    std::string mtp_svr_name; ///< the key
    std::string text2;
    std::string text3;
    std::int32_t number4 = 0; ///< received only, last on the wire
    std::int32_t number5 = 0;
    std::int32_t number6 = 0;
};

/// A path attached to a program.
struct ProgramPath {
    std::int32_t program_id = 0;
    std::string program_path;
    double real3 = 0; ///< a date
    double real4 = 0; ///< a date
};

/// Every value type, for code that handles them all alike (printing, export).
using RecordTypes = std::tuple<User, Group, Program, Channel, Schedule, Global, LogEvent, SysInfo,
                               TopProgram, ProgramStatistic, MtpServer, ProgramPath>;
/// @}

/// @name Field reflection
/// Lets code print, read and compare any value type field by field without naming its fields.
/// @code
/// for (const ltp::Field<ltp::User>& f : ltp::fields<ltp::User>())
///     std::cout << f.wire_name << " = " << user.*f.text << '\n'; // all User fields are texts
/// @endcode
/// @{

/// What a field holds, and which member pointer of Field reaches it.
enum class FieldKind {
    text,    ///< std::string, through Field::text
    integer, ///< std::int32_t, through Field::integer
    decimal, ///< double, through Field::decimal
    date,    ///< double holding a date (days since 1899-12-30), through Field::decimal
};

/// One field of the value type T.
template <class T> struct Field {
    const char* wire_name; ///< the record's own name of the field: "UserID", "Text2", "Real4"
    const char* name;      ///< the member's name: "user_id", "text2", "real4"
    FieldKind kind;
    bool sent;                          ///< false for fields the server fills and never reads
    std::string T::*text = nullptr;     ///< set for FieldKind::text
    std::int32_t T::*integer = nullptr; ///< set for FieldKind::integer
    double T::*decimal = nullptr;       ///< set for FieldKind::decimal and FieldKind::date
};

/// The fields of T in wire order (the order of the record's element in a response).
template <class T> const std::vector<Field<T>>& fields();
/// The tag of T's record element: "User", "Group", ..., "MTPSvr", "ProgramPath".
template <class T> const char* record_name();

#define LTPADMIN_CLIENT_REFLECT(T)                                                                 \
    template <> LTPADMIN_API const std::vector<Field<T>>& fields<T>();                             \
    template <> LTPADMIN_API const char* record_name<T>();
LTPADMIN_CLIENT_REFLECT(User)
LTPADMIN_CLIENT_REFLECT(Group)
LTPADMIN_CLIENT_REFLECT(Program)
LTPADMIN_CLIENT_REFLECT(Channel)
LTPADMIN_CLIENT_REFLECT(Schedule)
LTPADMIN_CLIENT_REFLECT(Global)
LTPADMIN_CLIENT_REFLECT(LogEvent)
LTPADMIN_CLIENT_REFLECT(SysInfo)
LTPADMIN_CLIENT_REFLECT(TopProgram)
LTPADMIN_CLIENT_REFLECT(ProgramStatistic)
LTPADMIN_CLIENT_REFLECT(MtpServer)
LTPADMIN_CLIENT_REFLECT(ProgramPath)
#undef LTPADMIN_CLIENT_REFLECT
/// @}

/// @name Dates
/// The wire's dates are days since 1899-12-30 00:00 UTC with the time of day as the fraction:
/// 45658.5 is 2025-01-01 12:00 UTC.
/// @{
using TimePoint = std::chrono::system_clock::time_point;
/// The wire date of a point in time (to the microsecond the double can hold).
LTPADMIN_API double to_wire_date(TimePoint time);
/// The point in time of a wire date.
LTPADMIN_API TimePoint from_wire_date(double date);
/// @}

/// @name Errors
/// Every failure is an exception derived from Error; what() says what happened in a sentence.
/// @{

/// Base of every error of the interface.
class LTPADMIN_API Error : public std::runtime_error {
public:
    explicit Error(const std::string& what);
};

/// The server answered with a status other than 200.
class LTPADMIN_API Refused : public Error {
public:
    Refused(int status, std::string reason);
    /// The status code, such as 404 or 409.
    int status() const noexcept { return status_; }
    /// The reason text after the code, without the blank before it.
    const std::string& reason() const noexcept { return reason_; }

private:
    int status_;
    std::string reason_;
};

/// The exchange with the server failed; the connection is closed (the next call reconnects).
class LTPADMIN_API TransportError : public Error {
public:
    enum class Kind {
        connect, ///< the host could not be resolved or the connection was not accepted in time
        closed,  ///< the server closed the connection before the response was whole
        timeout, ///< nothing moved for request_timeout
        send,    ///< sending failed
        receive, ///< receiving failed
        limit,   ///< the response or its records passed a limit of Options
    };
    TransportError(Kind kind, std::string system_message, const std::string& what);
    Kind kind() const noexcept { return kind_; }
    /// The system's text for the failure ("Connection refused"), empty when there is none.
    const std::string& system_message() const noexcept { return system_message_; }

private:
    Kind kind_;
    std::string system_message_;
};

/// The name of a TransportError kind: "connect", "closed", "timeout", "send", "receive", "limit".
LTPADMIN_API const char* to_string(TransportError::Kind kind) noexcept;

/// A text holds a character the protocol cannot carry ("|", "<" or a line end); nothing was sent.
class LTPADMIN_API InvalidInput : public Error {
public:
    InvalidInput(std::string argument, char character);
    /// The argument or field that holds it: "user_id", "text2", "password", ...
    const std::string& argument() const noexcept { return argument_; }
    /// The character that cannot be carried.
    char character() const noexcept { return character_; }

private:
    std::string argument_;
    char character_;
};

/// The server's response cannot be used by the operation (an add without the new number, a
/// value element missing, no status line).
class LTPADMIN_API ProtocolError : public Error {
public:
    explicit ProtocolError(const std::string& what);
};
/// @}

/// One connection to the server, one request at a time.
///
/// Connects on first use. Movable, not copyable. It may be used from any thread, one thread at a
/// time; it needs no message loop. When the server has closed an idle connection, the next call
/// reconnects once before sending; a request that has gone out is never sent again. Lists come
/// back as vectors, lookups as optionals (empty when the server answers 404), values as values.
/// Every method throws Refused, TransportError, InvalidInput or ProtocolError on failure.
class LTPADMIN_API Client {
public:
    explicit Client(Options options);
    ~Client();
    Client(Client&& other) noexcept;
    Client& operator=(Client&& other) noexcept;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    const Options& options() const noexcept;
    /// Connects now instead of on first use (no-op when connected).
    void connect();
    /// Closes the connection; the next call connects again.
    void close() noexcept;
    /// Whether a connection is open (the server may still have closed its end).
    bool connected() const noexcept;

    /// @name Server information and log
    /// @{
    void add_information(std::string_view text); ///< replaces the information text, as it is
    std::string information();                   ///< the information text, whole
    SysInfo sys_info();
    std::vector<LogEvent> log_events();
    void clear_log_events();
    /// @}

    /// @name Users
    /// @{
    std::vector<User> users();
    std::optional<User> find_user(std::string_view user_id);
    void add_user(const User& user);
    void modify_user(const User& user);
    void delete_user(std::string_view user_id);
    std::vector<Group> user_groups(std::string_view user_id);
    void add_user_to_group(std::string_view user_id, std::string_view group_id);
    void delete_user_from_group(std::string_view user_id, std::string_view group_id);
    std::int32_t user_rights(std::string_view user_id, std::int32_t program_id);
    void add_user_rights(std::string_view user_id, std::int32_t program_id, std::int32_t rights);
    void modify_user_rights(std::string_view user_id, std::int32_t program_id, std::int32_t rights);
    void delete_user_rights(std::string_view user_id, std::int32_t program_id);
    std::int32_t user_permission(std::string_view user_id, std::int32_t program_id);
    /// Uses per program within [start, stop] (wire dates).
    std::vector<ProgramStatistic> user_program_statistics(std::string_view user_name, double start,
                                                          double stop);
    /// @}

    /// @name Groups
    /// @{
    std::vector<Group> groups();
    std::optional<Group> find_group(std::string_view group_id);
    void add_group(const Group& group);
    void modify_group(const Group& group);
    void delete_group(std::string_view group_id);
    std::int32_t group_rights(std::string_view group_id, std::int32_t program_id);
    void add_group_rights(std::string_view group_id, std::int32_t program_id, std::int32_t rights);
    void modify_group_rights(std::string_view group_id, std::int32_t program_id,
                             std::int32_t rights);
    void delete_group_rights(std::string_view group_id, std::int32_t program_id);
    std::vector<User> group_users(std::string_view group_id);
    /// @}

    /// @name Programs
    /// @{
    std::vector<Program> programs();
    std::optional<Program> find_program(std::int32_t program_id);
    /// Returns the number the server gave the new program (program.program_id is not used).
    std::int32_t add_program(const Program& program);
    void modify_program(const Program& program);
    void delete_program(std::int32_t program_id);
    std::vector<User> granted_users(std::int32_t program_id);
    std::vector<Group> granted_groups(std::int32_t program_id);
    void apply_permission_to_descendants(std::int32_t program_id);
    void move_program(std::int32_t program_id, std::int32_t other_program_id);
    void copy_program(std::int32_t program_id, std::int32_t other_program_id);
    /// Uses of the program within [start, stop] (wire dates).
    std::vector<ProgramStatistic> program_statistics(std::int32_t program_id, double start,
                                                     double stop);
    /// The count most used programs within [start, stop] (wire dates).
    std::vector<TopProgram> top_programs(std::int32_t count, double start, double stop);
    std::vector<ProgramPath> program_paths(std::int32_t program_id);
    void add_path_to_program(const ProgramPath& path);
    void delete_path_from_program(std::int32_t program_id, std::string_view program_path);
    /// @}

    /// @name Channels and schedules
    /// @{
    std::vector<Channel> channels();
    std::vector<Schedule> channel_schedules(std::string_view channel_id);
    std::optional<Channel> find_channel(std::string_view channel_id);
    void add_channel(const Channel& channel);
    void modify_channel(const Channel& channel);
    void delete_channel(std::string_view channel_id);
    std::vector<Schedule> schedules();
    std::optional<Schedule> find_schedule(std::int32_t schedule_id);
    /// Returns the number the server gave the new schedule (schedule.schedule_id is not used).
    std::int32_t add_schedule(const Schedule& schedule);
    void modify_schedule(const Schedule& schedule);
    void delete_schedule(std::int32_t schedule_id);
    std::optional<Channel> schedule_channel(std::int32_t schedule_id);
    /// @}

    /// @name Global settings
    /// @{
    std::vector<Global> globals();
    std::optional<Global> find_global(std::string_view key);
    void add_global(const Global& global);
    void modify_global(const Global& global);
    void delete_global(std::string_view key);
    /// @}

    /// @name MTP servers
    /// @{
    std::vector<MtpServer> mtp_servers();
    /// The MTP server that serves the channel (its text3).
    std::optional<MtpServer> find_mtp_server(std::string_view channel_id);
    void add_mtp_server(const MtpServer& server);
    void modify_mtp_server(const MtpServer& server);
    void delete_mtp_server(std::string_view mtp_svr_name);
    /// @}

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

/// Clients for many threads. Thread-safe: any number of threads may lease at once; each lease
/// holds one client alone until it is returned. Clients connect on first use and stay open.
class LTPADMIN_API Pool {
public:
    /// A client on loan; returned to the pool when the lease ends.
    class LTPADMIN_API Lease {
    public:
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();
        Client& operator*() const noexcept { return *client_; }
        Client* operator->() const noexcept { return client_; }

    private:
        friend class Pool;
        Lease(Pool* pool, Client* client) noexcept : pool_(pool), client_(client) {}
        Pool* pool_;
        Client* client_;
    };

    /// size clients (at least 1), none connected yet.
    Pool(Options options, std::size_t size);
    ~Pool();
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    /// Waits until a client is free and lends it.
    Lease acquire();
    /// Lends a client when one becomes free within wait; otherwise nothing.
    std::optional<Lease> try_acquire(std::chrono::milliseconds wait);
    /// Runs f with a leased client and returns what it returns.
    template <class F> auto with(F&& f) {
        Lease lease = acquire();
        return std::forward<F>(f)(*lease);
    }
    std::size_t size() const noexcept;

private:
    void give_back(Client* client) noexcept;
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ltp
