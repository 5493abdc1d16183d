// ltp::Pipeline: requests formatted by the client's own methods (recorded instead of sent), sent
// as the window allows, and their answers read in order, also whenever the socket has no room to
// send, so that a server that stops reading until its answers are taken never deadlocks us.
#include "ltpadmin/ltp/pipeline.h"

#include <cstring>
#include <deque>

#include "ltpadmin/client/client_impl.h"

namespace ltp {
namespace {

using State_ = Pipeline::Outcome::State;

// The rows a pipeline carries: changes, whose answer is a status or the number of a new record.
bool IsChange(Row row) {
    const CommandRow& r = CatalogueRow(row);
    return r.response == detail::ResponseKind::Status ||
           (r.response == detail::ResponseKind::Value && std::strcmp(r.verb, "Add") == 0);
}

} // namespace

struct Pipeline::State {
    State(Client& owner, Client::Impl& i, std::size_t d, Callback c)
        : client(owner), impl(i), depth(d == 0 ? 1 : d), callback(std::move(c)) {}

    // Queues the recorded requests one after another.
    void Enqueue(const Recording& recording) {
        std::size_t from = 0;
        for (std::size_t k = 0; k < recording.ends.size(); ++k) {
            const std::string_view bytes(recording.bytes.data() + from, recording.ends[k] - from);
            from = recording.ends[k];
            const std::size_t index = outcomes.size();
            outcomes.emplace_back();
            rows.push_back(recording.rows[k]);
            if (failed) {
                Settle(index, State_::not_sent, failure);
                continue;
            }
            if (impl.options.dry_run) {
                impl.options.dry_run(bytes);
                Settle(index, State_::succeeded, {});
                continue;
            }
            try {
                while (index - answered >= depth)
                    Step();
                // Nothing in flight: a connection the server closed while idle is opened again,
                // as the client's own calls do (nothing of it is unanswered, so nothing is lost).
                if (begun && answered == index && out.empty())
                    End();
                if (!begun) {
                    impl.connection.begin();
                    impl.pipelined = true;
                    begun = true;
                }
                const std::size_t start = out.size();
                out.append(bytes);
                unsent.push_back({index, start, out.size()});
                ++appended;
                if (impl.options.trace)
                    impl.options.trace(TraceDirection::request, bytes);
                SendNow();
            } catch (const Error& e) {
                Fail(e.what(), std::current_exception());
            }
        }
    }

    void Flush() {
        try {
            while (answered < outcomes.size())
                Step();
        } catch (const Error& e) {
            Fail(e.what(), std::current_exception());
        }
        End();
    }

    // One move: sends what the socket takes, or waits for room or answers and reads them.
    void Step() {
        ReadAnswers();
        if (answered == outcomes.size())
            return;
        if (out_sent < out.size()) {
            const std::size_t before = out_sent;
            SendNow();
            if (out_sent != before || impl.connection.await(true))
                return;
        } else {
            impl.connection.await(false);
        }
        ReadAnswers();
    }

    void SendNow() {
        while (out_sent < out.size()) {
            const std::size_t n =
                impl.connection.send_some(out.data() + out_sent, out.size() - out_sent);
            if (n == 0)
                break;
            out_sent += n;
        }
        while (!unsent.empty() && unsent.front().end <= out_sent)
            unsent.pop_front();
        if (out_sent == out.size()) {
            out.clear();
            out_sent = 0;
        }
    }

    void ReadAnswers() {
        detail::Response response{};
        while (answered < outcomes.size() && impl.connection.next(response)) {
            if (impl.options.trace)
                impl.options.trace(TraceDirection::response,
                                   std::string_view(response.data, response.length));
            Answer(response);
        }
    }

    // The outcome of the oldest unanswered request from its answer.
    void Answer(const detail::Response& response) {
        const std::size_t index = answered;
        Outcome& o = outcomes[index];
        try {
            detail::CheckStatus(response);
            const CommandRow& row = CatalogueRow(rows[index]);
            if (row.response == detail::ResponseKind::Value)
                o.new_id = detail::DecodeValue(response, row.responseTag, impl.lead);
            o.state = State_::succeeded;
        } catch (const Refused& e) {
            o.state = State_::refused;
            o.status = e.status();
            o.message = e.reason();
            o.error = std::current_exception();
        } catch (const ProtocolError& e) {
            // Answered, so the stream goes on; what the request did cannot be told.
            o.state = State_::unknown;
            o.message = e.what();
            o.error = std::current_exception();
        }
        ++answered;
        Notify(index);
    }

    void Settle(std::size_t index, State_ state, const std::string& message) {
        Outcome& o = outcomes[index];
        o.state = state;
        o.message = message;
        o.error = failure_error;
        answered = index + 1;
        Notify(index);
    }

    void Notify(std::size_t index) {
        if (callback)
            callback(index, outcomes[index]);
    }

    // Whether any byte of the request went out.
    bool Started(std::size_t index) const {
        if (index >= appended)
            return false;
        for (const Unsent& u : unsent)
            if (u.index == index)
                return u.start < out_sent;
        return true;
    }

    // The transport failed: nothing is resent; what was sent and not answered may have been
    // applied.
    void Fail(const std::string& message, std::exception_ptr error) {
        if (impl.options.trace) {
            const std::string_view partial = impl.connection.partial();
            if (!partial.empty())
                impl.options.trace(TraceDirection::response, partial);
        }
        impl.connection.close();
        failed = true;
        failure = message;
        failure_error = error;
        for (std::size_t i = answered; i < outcomes.size(); ++i)
            Settle(i, Started(i) ? State_::unknown : State_::not_sent, message);
        End();
    }

    // Nothing is in flight: the client may use its connection again.
    void End() {
        if (begun) {
            impl.connection.end();
            impl.pipelined = false;
        }
        begun = false;
        out.clear();
        out_sent = 0;
        unsent.clear();
    }

    struct Unsent {
        std::size_t index;
        std::size_t start; // in out
        std::size_t end;
    };

    Client& client;
    Client::Impl& impl;
    std::size_t depth;
    Callback callback;
    std::vector<Outcome> outcomes;
    std::vector<Row> rows;
    std::size_t answered = 0; // outcomes known, from the first on
    std::size_t appended = 0; // requests whose bytes were put in out
    std::string out;          // bytes of requests not yet sent, from out_sent on
    std::size_t out_sent = 0;
    std::deque<Unsent> unsent; // requests with bytes in out not yet sent
    bool begun = false;        // the connection carries this pipeline's requests
    bool failed = false;
    std::string failure;
    std::exception_ptr failure_error;
};

Pipeline::Pipeline(Client& client, std::size_t depth, Callback on_outcome)
    : state_(std::make_unique<State>(client, client.impl(), depth, std::move(on_outcome))) {}

Pipeline::~Pipeline() {
    try {
        state_->Flush();
    } catch (...) {
        // A callback that threw: nothing more can be told.
    }
}

std::size_t Pipeline::record(const std::function<void(Client&)>& op) {
    Client::Impl& impl = state_->impl;
    if (impl.pipelined && !state_->begun)
        throw Error("another pipeline has requests in flight on this client");
    Recording recording;
    struct Recorder {
        Client::Impl& impl;
        ~Recorder() { impl.recording = nullptr; }
    } recorder{impl};
    impl.recording = &recording;
    op(state_->client);
    impl.recording = nullptr;
    for (const Row row : recording.rows)
        if (!IsChange(row))
            throw Error(std::string("a pipeline carries changes only, not \"") +
                        CatalogueRow(row).verb + " " + CatalogueRow(row).object + "\"");
    const std::size_t first = state_->outcomes.size();
    state_->Enqueue(recording);
    return first;
}

void Pipeline::flush() {
    state_->Flush();
}
const std::vector<Pipeline::Outcome>& Pipeline::outcomes() const noexcept {
    return state_->outcomes;
}
std::size_t Pipeline::size() const noexcept {
    return state_->outcomes.size();
}
std::size_t Pipeline::settled() const noexcept {
    return state_->answered;
}
bool Pipeline::failed() const noexcept {
    return state_->failed;
}

std::size_t Pipeline::add_information(std::string_view text) {
    return record([&](Client& c) { c.add_information(text); });
}
std::size_t Pipeline::clear_log_events() {
    return record([&](Client& c) { c.clear_log_events(); });
}
std::size_t Pipeline::add_user(const User& user) {
    return record([&](Client& c) { c.add_user(user); });
}
std::size_t Pipeline::modify_user(const User& user) {
    return record([&](Client& c) { c.modify_user(user); });
}
std::size_t Pipeline::delete_user(std::string_view user_id) {
    return record([&](Client& c) { c.delete_user(user_id); });
}
std::size_t Pipeline::add_user_to_group(std::string_view user_id, std::string_view group_id) {
    return record([&](Client& c) { c.add_user_to_group(user_id, group_id); });
}
std::size_t Pipeline::delete_user_from_group(std::string_view user_id, std::string_view group_id) {
    return record([&](Client& c) { c.delete_user_from_group(user_id, group_id); });
}
std::size_t Pipeline::add_user_rights(std::string_view user_id, std::int32_t program_id,
                                      std::int32_t rights) {
    return record([&](Client& c) { c.add_user_rights(user_id, program_id, rights); });
}
std::size_t Pipeline::modify_user_rights(std::string_view user_id, std::int32_t program_id,
                                         std::int32_t rights) {
    return record([&](Client& c) { c.modify_user_rights(user_id, program_id, rights); });
}
std::size_t Pipeline::delete_user_rights(std::string_view user_id, std::int32_t program_id) {
    return record([&](Client& c) { c.delete_user_rights(user_id, program_id); });
}
std::size_t Pipeline::add_group(const Group& group) {
    return record([&](Client& c) { c.add_group(group); });
}
std::size_t Pipeline::modify_group(const Group& group) {
    return record([&](Client& c) { c.modify_group(group); });
}
std::size_t Pipeline::delete_group(std::string_view group_id) {
    return record([&](Client& c) { c.delete_group(group_id); });
}
std::size_t Pipeline::add_group_rights(std::string_view group_id, std::int32_t program_id,
                                       std::int32_t rights) {
    return record([&](Client& c) { c.add_group_rights(group_id, program_id, rights); });
}
std::size_t Pipeline::modify_group_rights(std::string_view group_id, std::int32_t program_id,
                                          std::int32_t rights) {
    return record([&](Client& c) { c.modify_group_rights(group_id, program_id, rights); });
}
std::size_t Pipeline::delete_group_rights(std::string_view group_id, std::int32_t program_id) {
    return record([&](Client& c) { c.delete_group_rights(group_id, program_id); });
}
std::size_t Pipeline::add_program(const Program& program) {
    return record([&](Client& c) { c.add_program(program); });
}
std::size_t Pipeline::modify_program(const Program& program) {
    return record([&](Client& c) { c.modify_program(program); });
}
std::size_t Pipeline::delete_program(std::int32_t program_id) {
    return record([&](Client& c) { c.delete_program(program_id); });
}
std::size_t Pipeline::apply_permission_to_descendants(std::int32_t program_id) {
    return record([&](Client& c) { c.apply_permission_to_descendants(program_id); });
}
std::size_t Pipeline::move_program(std::int32_t program_id, std::int32_t other_program_id) {
    return record([&](Client& c) { c.move_program(program_id, other_program_id); });
}
std::size_t Pipeline::copy_program(std::int32_t program_id, std::int32_t other_program_id) {
    return record([&](Client& c) { c.copy_program(program_id, other_program_id); });
}
std::size_t Pipeline::add_path_to_program(const ProgramPath& path) {
    return record([&](Client& c) { c.add_path_to_program(path); });
}
std::size_t Pipeline::delete_path_from_program(std::int32_t program_id,
                                               std::string_view program_path) {
    return record([&](Client& c) { c.delete_path_from_program(program_id, program_path); });
}
std::size_t Pipeline::add_channel(const Channel& channel) {
    return record([&](Client& c) { c.add_channel(channel); });
}
std::size_t Pipeline::modify_channel(const Channel& channel) {
    return record([&](Client& c) { c.modify_channel(channel); });
}
std::size_t Pipeline::delete_channel(std::string_view channel_id) {
    return record([&](Client& c) { c.delete_channel(channel_id); });
}
std::size_t Pipeline::add_schedule(const Schedule& schedule) {
    return record([&](Client& c) { c.add_schedule(schedule); });
}
std::size_t Pipeline::modify_schedule(const Schedule& schedule) {
    return record([&](Client& c) { c.modify_schedule(schedule); });
}
std::size_t Pipeline::delete_schedule(std::int32_t schedule_id) {
    return record([&](Client& c) { c.delete_schedule(schedule_id); });
}
std::size_t Pipeline::add_global(const Global& global) {
    return record([&](Client& c) { c.add_global(global); });
}
std::size_t Pipeline::modify_global(const Global& global) {
    return record([&](Client& c) { c.modify_global(global); });
}
std::size_t Pipeline::delete_global(std::string_view key) {
    return record([&](Client& c) { c.delete_global(key); });
}
std::size_t Pipeline::add_mtp_server(const MtpServer& server) {
    return record([&](Client& c) { c.add_mtp_server(server); });
}
std::size_t Pipeline::modify_mtp_server(const MtpServer& server) {
    return record([&](Client& c) { c.modify_mtp_server(server); });
}
std::size_t Pipeline::delete_mtp_server(std::string_view mtp_svr_name) {
    return record([&](Client& c) { c.delete_mtp_server(mtp_svr_name); });
}

} // namespace ltp
