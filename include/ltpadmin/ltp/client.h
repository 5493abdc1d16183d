/// @file
/// `ltp::Client`: one connection to the server, one request at a time, every operation of the
/// protocol as a method.
#pragma once

#include <ltpadmin/export.h>
#include <ltpadmin/ltp/errors.h>
#include <ltpadmin/ltp/options.h>
#include <ltpadmin/ltp/values.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace ltp {

/// One connection to the server, one request at a time.
///
/// Connects on first use. Movable, not copyable. It may be used from any thread, one thread at a
/// time; it needs no message loop. When the server has closed an idle connection, the next call
/// reconnects once before sending; a request that has gone out is never sent again. Lists come
/// back as vectors, lookups as optionals (empty when the server answers 404), values as values.
/// Every list also comes into the caller's vector (`users_into(into)`): its records are overwritten
/// in place, their texts keeping their room, so that a steady poll allocates nothing; on failure
/// the vector is left empty. Every list can also be walked (`users_each(each)`): each record goes
/// to the callback as it arrives, in the order and with the values the vector would hold, while
/// neither the response nor the list is held (memory stays near the largest record plus a read
/// buffer, whatever the length; see Options for the limits of a walk). A record is valid only
/// during the call. When the callback throws, the exception reaches the caller and the
/// connection is closed; on any failure, the records already handed on stay handed on. Every
/// method throws Refused, TransportError, InvalidInput or ProtocolError on failure.
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
    void log_events_into(std::vector<LogEvent>& into);
    void log_events_each(const std::function<void(const LogEvent&)>& each);
    void clear_log_events();
    /// @}

    /// @name Users
    /// @{
    std::vector<User> users();
    void users_into(std::vector<User>& into);
    void users_each(const std::function<void(const User&)>& each);
    std::optional<User> find_user(std::string_view user_id);
    void add_user(const User& user);
    void modify_user(const User& user);
    void delete_user(std::string_view user_id);
    std::vector<Group> user_groups(std::string_view user_id);
    void user_groups_into(std::string_view user_id, std::vector<Group>& into);
    void user_groups_each(std::string_view user_id, const std::function<void(const Group&)>& each);
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
    void user_program_statistics_into(std::string_view user_name, double start, double stop,
                                      std::vector<ProgramStatistic>& into);
    void user_program_statistics_each(std::string_view user_name, double start, double stop,
                                      const std::function<void(const ProgramStatistic&)>& each);
    /// @}

    /// @name Groups
    /// @{
    std::vector<Group> groups();
    void groups_into(std::vector<Group>& into);
    void groups_each(const std::function<void(const Group&)>& each);
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
    void group_users_into(std::string_view group_id, std::vector<User>& into);
    void group_users_each(std::string_view group_id, const std::function<void(const User&)>& each);
    /// @}

    /// @name Programs
    /// @{
    std::vector<Program> programs();
    void programs_into(std::vector<Program>& into);
    void programs_each(const std::function<void(const Program&)>& each);
    std::optional<Program> find_program(std::int32_t program_id);
    /// Returns the number the server gave the new program (program.program_id is not used).
    std::int32_t add_program(const Program& program);
    void modify_program(const Program& program);
    void delete_program(std::int32_t program_id);
    std::vector<User> granted_users(std::int32_t program_id);
    void granted_users_into(std::int32_t program_id, std::vector<User>& into);
    void granted_users_each(std::int32_t program_id, const std::function<void(const User&)>& each);
    std::vector<Group> granted_groups(std::int32_t program_id);
    void granted_groups_into(std::int32_t program_id, std::vector<Group>& into);
    void granted_groups_each(std::int32_t program_id,
                             const std::function<void(const Group&)>& each);
    void apply_permission_to_descendants(std::int32_t program_id);
    void move_program(std::int32_t program_id, std::int32_t other_program_id);
    void copy_program(std::int32_t program_id, std::int32_t other_program_id);
    /// Uses of the program within [start, stop] (wire dates).
    std::vector<ProgramStatistic> program_statistics(std::int32_t program_id, double start,
                                                     double stop);
    void program_statistics_into(std::int32_t program_id, double start, double stop,
                                 std::vector<ProgramStatistic>& into);
    void program_statistics_each(std::int32_t program_id, double start, double stop,
                                 const std::function<void(const ProgramStatistic&)>& each);
    /// The count most used programs within [start, stop] (wire dates).
    std::vector<TopProgram> top_programs(std::int32_t count, double start, double stop);
    void top_programs_into(std::int32_t count, double start, double stop,
                           std::vector<TopProgram>& into);
    void top_programs_each(std::int32_t count, double start, double stop,
                           const std::function<void(const TopProgram&)>& each);
    std::vector<ProgramPath> program_paths(std::int32_t program_id);
    void program_paths_into(std::int32_t program_id, std::vector<ProgramPath>& into);
    void program_paths_each(std::int32_t program_id,
                            const std::function<void(const ProgramPath&)>& each);
    void add_path_to_program(const ProgramPath& path);
    void delete_path_from_program(std::int32_t program_id, std::string_view program_path);
    /// @}

    /// @name Channels and schedules
    /// @{
    std::vector<Channel> channels();
    void channels_into(std::vector<Channel>& into);
    void channels_each(const std::function<void(const Channel&)>& each);
    std::vector<Schedule> channel_schedules(std::string_view channel_id);
    void channel_schedules_into(std::string_view channel_id, std::vector<Schedule>& into);
    void channel_schedules_each(std::string_view channel_id,
                                const std::function<void(const Schedule&)>& each);
    std::optional<Channel> find_channel(std::string_view channel_id);
    void add_channel(const Channel& channel);
    void modify_channel(const Channel& channel);
    void delete_channel(std::string_view channel_id);
    std::vector<Schedule> schedules();
    void schedules_into(std::vector<Schedule>& into);
    void schedules_each(const std::function<void(const Schedule&)>& each);
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
    void globals_into(std::vector<Global>& into);
    void globals_each(const std::function<void(const Global&)>& each);
    std::optional<Global> find_global(std::string_view key);
    void add_global(const Global& global);
    void modify_global(const Global& global);
    void delete_global(std::string_view key);
    /// @}

    /// @name MTP servers
    /// @{
    std::vector<MtpServer> mtp_servers();
    void mtp_servers_into(std::vector<MtpServer>& into);
    void mtp_servers_each(const std::function<void(const MtpServer&)>& each);
    /// The MTP server that serves the channel (its text3).
    std::optional<MtpServer> find_mtp_server(std::string_view channel_id);
    void add_mtp_server(const MtpServer& server);
    void modify_mtp_server(const MtpServer& server);
    void delete_mtp_server(std::string_view mtp_svr_name);
    /// @}

private:
    struct Impl;
    /// The state of a client that was not moved from; throws Error otherwise.
    Impl& impl();
    std::unique_ptr<Impl> impl_;
};

/// Clients for many threads. Thread-safe: any number of threads may lease at once; each lease

} // namespace ltp
