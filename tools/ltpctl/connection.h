// One login to the server, shared by every command of a run (and every line of a batch).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include <ltpadmin/client.h>

#include "tools/ltpctl/failure_text.h"

namespace ltpctl {

struct ConnectionSettings {
    std::string host = "127.0.0.1";
    int port = ltp::default_port;
    std::string user = "admin";
    std::string password;
    bool verbose = false;
    // Changing requests are printed instead of sent; reads still go out.
    bool dryRun = false;
    unsigned codePage = 0; // 0: the process's
    // Longest silence while a request goes out or its answer comes in.
    std::chrono::milliseconds timeout = ltp::default_request_timeout;
    std::size_t maxResponseBytes = ltp::Options{}.max_response_bytes;
    std::size_t maxResultBytes = ltp::Options{}.max_result_bytes;
};

class Connection {
public:
    // out receives the requests a dry run does not send; err the reports and the -v trace.
    Connection(ConnectionSettings settings, std::ostream& out, std::ostream& err);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs op (calls of the client that read), reporting a failure (an exception) on the error
    // stream; returns an exit code. Traces every exchange when verbose. After a transport failure
    // the next call connects again.
    int Run(const std::function<void(ltp::Client&)>& op);
    // The same for calls that change the server. In a dry run they are printed (password
    // masked) instead of sent, and succeed with nothing to say (no record, 0 for a new number).
    int Change(const std::function<void(ltp::Client&)>& op);
    // A change whose result the command shows (a new number): never pipelined, so a pipeline
    // waits for its answers first.
    int ChangeNow(const std::function<void(ltp::Client&)>& op);

    // Batch --pipeline: from now on Change queues its requests, up to depth in flight, and
    // returns at once; settled is told of each request's outcome in order, and Run waits for
    // every answer due first, so that reads see the changes before them.
    using Settled = std::function<void(std::size_t index, const ltp::Pipeline::Outcome&)>;
    void StartPipeline(std::size_t depth, Settled settled);
    // Waits for every answer still due.
    void FlushPipeline();
    // Flushes, then sends one request at a time again.
    void StopPipeline();
    // How many requests were queued since StartPipeline; whether the connection failed under them.
    std::size_t Queued() const { return m_pipeline ? m_pipeline->size() : 0; }
    bool PipelineFailed() const { return m_pipeline && m_pipeline->failed(); }
    // The words and exit code for a queued request that did not succeed, as if it had been sent
    // alone (valid inside settled).
    Failure Explain(const ltp::Pipeline::Outcome& outcome) const;
    // Reports and dry-run requests go to these streams (a batch line's, held until its turn);
    // nullptr: the streams given at construction.
    void SetStreams(std::ostream* out, std::ostream* err);

    const ConnectionSettings& Settings() const { return m_settings; }
    // A batch line may ask for a dry run of its own.
    void SetDryRun(bool dryRun) { m_settings.dryRun = dryRun; }
    // The client options of the settings, untraced.
    ltp::Options ClientOptions() const;
    // "HOST:PORT" as given ("[HOST]:PORT" for an IPv6 address).
    std::string Where() const;
    // Reports that the client's last lookup found nothing (with the server's refusal when it
    // gave one); returns the exit code.
    int ReportMissing(const std::string& missing);
    // Reports a failure found before anything was sent.
    void Report(const std::string& message) const;
    // The same onto a stream of the caller's, after prefix.
    static void ReportTo(std::ostream& err, const std::string& prefix, const std::string& message);
    // Where reports go when no line holds them.
    std::ostream& ErrorStream() const { return m_err; }
    // Put before every report, e.g. "line 3: " in a batch.
    void SetReportPrefix(std::string prefix) { m_prefix = std::move(prefix); }

private:
    int Use(ltp::Client& client, const std::function<void(ltp::Client&)>& op);
    // Reports the exception of a failed call; returns its exit code.
    int Failed(const std::exception& e);
    ltp::Client& Client();
    // Prints the last line of a response that -v has not printed yet.
    void FlushTrace();

    ConnectionSettings m_settings;
    std::ostream& m_out;
    std::ostream& m_err;
    std::ostream* m_lineOut = nullptr; // see SetStreams
    std::ostream* m_lineErr = nullptr;
    std::unique_ptr<ltp::Client> m_client;
    std::unique_ptr<ltp::Client> m_dryClient;  // prints instead of sending
    std::unique_ptr<ltp::Pipeline> m_pipeline; // batch --pipeline: where changes are queued
    std::string m_lastResponse; // what arrived for the client's last request (a walk's: the head)
    std::size_t m_awaiting = 0; // requests traced going out whose answers have not begun
    std::string m_traceTail;    // the response's line that -v has not printed yet
    bool m_sent = false;        // the client's last request was traced going out
    std::string m_prefix;
};

} // namespace ltpctl
