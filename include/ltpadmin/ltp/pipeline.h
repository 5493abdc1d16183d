/// @file
/// `ltp::Pipeline`: many changing requests in flight on one client's connection, their answers
/// read in order, each request with its own outcome. Off unless a Pipeline is made: only for
/// servers known to answer requests in order while they read ahead.
#pragma once

#include <ltpadmin/export.h>
#include <ltpadmin/ltp/client.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ltp {

/// Sends changing requests on a client's connection without waiting for each answer: up to
/// `depth` requests are in flight, and answers are read in order, also while requests go out, so
/// that neither side ever blocks writing to the other.
///
/// Each method queues one request and returns its index (0, 1, ...); its outcome is known once its
/// answer is read (by a later call or by flush()). Input the protocol cannot carry throws
/// InvalidInput at the call, and nothing is queued. A refusal is an outcome: it does not stop the
/// pipeline. A transport failure does not throw either: nothing is resent, the connection is
/// closed, requests answered keep their outcomes, requests sent but unanswered become `unknown`
/// (they may have been applied), and those never sent (also every one queued later) become
/// `not_sent`; failed() then tells. Options::trace sees each request as it goes out and each
/// answer; under Options::dry_run nothing is sent and every request succeeds at once.
///
/// Requests go out as they are queued, each in its own send (answers are read when the window is
/// full, or by flush()). With nothing in flight, a connection the server closed while idle is
/// opened again first, as Client does; once a request is in flight, nothing is ever resent.
/// While requests are unanswered the client itself, and any other pipeline on it, must wait
/// (their calls throw Error); after flush() they may go on. Not thread-safe; the client must
/// outlive the pipeline. Destroying a pipeline waits for the answers still due, as flush() does.
class LTPADMIN_API Pipeline {
public:
    /// What became of one request.
    struct Outcome {
        enum class State {
            succeeded, ///< answered with 200
            refused,   ///< answered with another status: see status and message
            unknown,   ///< sent, but no usable answer came: it may have been applied
            not_sent,  ///< never sent (the transport failed before it)
        };
        State state = State::not_sent;
        /// refused: the status code (404, 409, ...); 0 otherwise.
        int status = 0;
        /// refused: the server's reason; unknown and not_sent: what went wrong.
        std::string message;
        /// The number the server gave a new program or schedule (add_program, add_schedule).
        std::int32_t new_id = 0;
        /// What the client would have thrown for the request sent alone: Refused when refused;
        /// TransportError or ProtocolError when unknown or not_sent. Empty on success.
        std::exception_ptr error;
    };
    /// Told of each outcome, in index order, as it becomes known. It must not throw.
    using Callback = std::function<void(std::size_t index, const Outcome& outcome)>;

    /// Up to depth requests in flight (0 is taken as 1) on client's connection, which is opened
    /// when the first request goes out.
    Pipeline(Client& client, std::size_t depth, Callback on_outcome = {});
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    /// @name Requests: each returns the request's index
    /// @{
    std::size_t add_information(std::string_view text);
    std::size_t clear_log_events();
    std::size_t add_user(const User& user);
    std::size_t modify_user(const User& user);
    std::size_t delete_user(std::string_view user_id);
    std::size_t add_user_to_group(std::string_view user_id, std::string_view group_id);
    std::size_t delete_user_from_group(std::string_view user_id, std::string_view group_id);
    std::size_t add_user_rights(std::string_view user_id, std::int32_t program_id,
                                std::int32_t rights);
    std::size_t modify_user_rights(std::string_view user_id, std::int32_t program_id,
                                   std::int32_t rights);
    std::size_t delete_user_rights(std::string_view user_id, std::int32_t program_id);
    std::size_t add_group(const Group& group);
    std::size_t modify_group(const Group& group);
    std::size_t delete_group(std::string_view group_id);
    std::size_t add_group_rights(std::string_view group_id, std::int32_t program_id,
                                 std::int32_t rights);
    std::size_t modify_group_rights(std::string_view group_id, std::int32_t program_id,
                                    std::int32_t rights);
    std::size_t delete_group_rights(std::string_view group_id, std::int32_t program_id);
    /// The outcome's new_id is the program's number.
    std::size_t add_program(const Program& program);
    std::size_t modify_program(const Program& program);
    std::size_t delete_program(std::int32_t program_id);
    std::size_t apply_permission_to_descendants(std::int32_t program_id);
    std::size_t move_program(std::int32_t program_id, std::int32_t other_program_id);
    std::size_t copy_program(std::int32_t program_id, std::int32_t other_program_id);
    std::size_t add_path_to_program(const ProgramPath& path);
    std::size_t delete_path_from_program(std::int32_t program_id, std::string_view program_path);
    std::size_t add_channel(const Channel& channel);
    std::size_t modify_channel(const Channel& channel);
    std::size_t delete_channel(std::string_view channel_id);
    /// The outcome's new_id is the schedule's number.
    std::size_t add_schedule(const Schedule& schedule);
    std::size_t modify_schedule(const Schedule& schedule);
    std::size_t delete_schedule(std::int32_t schedule_id);
    std::size_t add_global(const Global& global);
    std::size_t modify_global(const Global& global);
    std::size_t delete_global(std::string_view key);
    std::size_t add_mtp_server(const MtpServer& server);
    std::size_t modify_mtp_server(const MtpServer& server);
    std::size_t delete_mtp_server(std::string_view mtp_svr_name);
    /// @}

    /// Queues the changing requests that op makes on the client, in order, instead of sending
    /// them: op sees each call succeed with nothing to say (0 for a new number). Returns the index
    /// of the first; they end at size(). For code written against Client (a tool's commands).
    /// Nothing is queued when op throws (the exception passes on) or when it asks for a list, a
    /// lookup or a value (Error).
    std::size_t record(const std::function<void(Client&)>& op);

    /// Sends what is queued and waits for every answer still due.
    void flush();
    /// Every request's outcome so far, by index (not_sent for those not answered yet).
    const std::vector<Outcome>& outcomes() const noexcept;
    /// How many requests were queued.
    std::size_t size() const noexcept;
    /// How many outcomes are known (answered, or settled by a failure).
    std::size_t settled() const noexcept;
    /// Whether the transport failed; every later request is not_sent.
    bool failed() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ltp
