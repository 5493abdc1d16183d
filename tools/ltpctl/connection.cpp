#include "tools/ltpctl/connection.h"

#include <exception>
#include <ostream>
#include <string_view>

#include "tools/common/display.h"
#include "tools/ltpctl/exit_codes.h"
#include "tools/ltpctl/failure_text.h"
#include "tools/ltpctl/wire_trace.h"

namespace ltpctl {
namespace {

// The idle time-out as a reason shows it: whole seconds as "10 s", anything else in ms.
std::string TimeoutText(std::chrono::milliseconds timeout) {
    if (timeout.count() % 1000 == 0)
        return std::to_string(timeout.count() / 1000) + " s";
    return std::to_string(timeout.count()) + " ms";
}

} // namespace

Connection::Connection(ConnectionSettings settings, std::ostream& out, std::ostream& err)
    : m_settings(std::move(settings)), m_out(out), m_err(err) {}

Connection::~Connection() = default;

std::string Connection::Where() const {
    // An IPv6 address in brackets, so that the port stands apart.
    const bool v6 = m_settings.host.find(':') != std::string::npos;
    return (v6 ? "[" + m_settings.host + "]" : m_settings.host) + ":" +
           std::to_string(m_settings.port);
}

void Connection::Report(const std::string& message) const {
    ReportTo(m_lineErr != nullptr ? *m_lineErr : m_err, m_prefix, message);
}

void Connection::ReportTo(std::ostream& err, const std::string& prefix,
                          const std::string& message) {
    // Reasons come from the server: control bytes are shown, not sent to the terminal.
    err << "ltpctl: " << prefix << ltptools::EscapeControls(message) << std::endl;
}

int Connection::ReportMissing(const std::string& missing) {
    const Failure failure = ExplainMissing(m_lastResponse, missing, Where());
    Report(failure.message);
    return failure.exitCode;
}

ltp::Options Connection::ClientOptions() const {
    ltp::Options options;
    options.host = m_settings.host;
    options.port = static_cast<std::uint16_t>(m_settings.port);
    options.user = m_settings.user;
    options.password = m_settings.password;
    options.connect_timeout = m_settings.timeout;
    options.request_timeout = m_settings.timeout;
    options.code_page = m_settings.codePage;
    options.max_response_bytes = m_settings.maxResponseBytes;
    // --max-response-bytes bounds a whole answer, also one printed as it arrives.
    options.max_stream_bytes = m_settings.maxResponseBytes;
    options.max_result_bytes = m_settings.maxResultBytes;
    return options;
}

ltp::Client& Connection::Client() {
    if (!m_client) {
        ltp::Options options = ClientOptions();
        // Always traced: a failure is explained from what arrived, and -v shows the exchange.
        // A walked list's response comes in pieces: the first holds the head, which is all a
        // failure is explained from (the rest is not kept), and -v prints whole lines only.
        // Pipelined requests go out before their answers come, each answer whole: a response
        // starts an answer while requests await theirs, and continues a walk's otherwise.
        options.trace = [this](ltp::TraceDirection way, std::string_view bytes) {
            const bool request = way == ltp::TraceDirection::request;
            m_sent = true;
            if (request) {
                FlushTrace();
                m_lastResponse.clear();
                ++m_awaiting;
            } else if (m_awaiting > 0) {
                --m_awaiting;
                m_lastResponse.assign(bytes);
            }
            if (!m_settings.verbose)
                return;
            if (request) {
                PrintPrefixed(MaskPassword(std::string(bytes)), "> ", m_err);
            } else {
                m_traceTail.append(bytes);
                // A line end may be cut between pieces ("\r" | "\n"): only what is followed by a
                // "\n" is whole.
                const std::size_t end = m_traceTail.rfind('\n');
                if (end != std::string::npos) {
                    PrintPrefixed(m_traceTail.substr(0, end + 1), "< ", m_err);
                    m_traceTail.erase(0, end + 1);
                }
            }
            m_err.flush();
        };
        if (m_settings.verbose)
            m_err << "* connecting to " << Where() << " as " << m_settings.user << std::endl;
        m_client = std::make_unique<ltp::Client>(std::move(options));
    }
    return *m_client;
}

int Connection::Run(const std::function<void(ltp::Client&)>& op) {
    FlushPipeline();
    return Use(Client(), op);
}

int Connection::ChangeNow(const std::function<void(ltp::Client&)>& op) {
    if (m_settings.dryRun || !m_pipeline)
        return Change(op);
    FlushPipeline();
    return Use(Client(), op);
}

void Connection::StartPipeline(std::size_t depth, Settled settled) {
    StopPipeline();
    m_pipeline = std::make_unique<ltp::Pipeline>(Client(), depth, std::move(settled));
}

void Connection::FlushPipeline() {
    if (m_pipeline)
        m_pipeline->flush();
}

void Connection::StopPipeline() {
    FlushPipeline();
    m_pipeline.reset();
}

Failure Connection::Explain(const ltp::Pipeline::Outcome& outcome) const {
    try {
        if (outcome.error)
            std::rethrow_exception(outcome.error);
    } catch (const ltp::TransportError& e) {
        // What arrived last may be an earlier request's whole answer: only a part of one is this
        // request's.
        const bool cut = ResponseCutShort(m_lastResponse.data(), m_lastResponse.size());
        return ExplainClientError(e, cut ? m_lastResponse : std::string(), Where(),
                                  TimeoutText(m_settings.timeout));
    } catch (const std::exception& e) {
        return ExplainClientError(e, m_lastResponse, Where(), TimeoutText(m_settings.timeout));
    }
    return {kExitTransport, outcome.message};
}

void Connection::SetStreams(std::ostream* out, std::ostream* err) {
    m_lineOut = out;
    m_lineErr = err;
}

int Connection::Change(const std::function<void(ltp::Client&)>& op) {
    if (!m_settings.dryRun && m_pipeline) {
        m_lastResponse.clear();
        m_sent = false;
        try {
            m_pipeline->record(op);
            return kExitOk;
        } catch (const std::exception& e) {
            return Failed(e);
        }
    }
    if (!m_settings.dryRun)
        return Run(op);
    if (!m_dryClient) {
        ltp::Options options = ClientOptions();
        // Shown as -v shows a request going out, but on standard output: it is the result.
        options.dry_run = [this](std::string_view request) {
            m_sent = true;
            std::ostream& out = m_lineOut != nullptr ? *m_lineOut : m_out;
            PrintPrefixed(MaskPassword(std::string(request)), "> ", out);
            out.flush();
        };
        m_dryClient = std::make_unique<ltp::Client>(std::move(options));
    }
    return Use(*m_dryClient, op);
}

void Connection::FlushTrace() {
    if (m_traceTail.empty())
        return;
    PrintPrefixed(m_traceTail, "< ", m_err);
    m_traceTail.clear();
    m_err.flush();
}

int Connection::Use(ltp::Client& client, const std::function<void(ltp::Client&)>& op) {
    m_lastResponse.clear();
    m_awaiting = 0; // a broken pipeline's requests will get no answer
    m_sent = false;
    try {
        op(client);
        FlushTrace();
        return kExitOk;
    } catch (const std::exception& e) {
        FlushTrace();
        return Failed(e);
    }
}

int Connection::Failed(const std::exception& e) {
    if (m_settings.verbose && !m_sent)
        m_err << "* not sent" << std::endl;
    else if (m_settings.verbose && m_lastResponse.empty())
        m_err << "* no response" << std::endl;
    const Failure failure =
        ExplainClientError(e, m_lastResponse, Where(), TimeoutText(m_settings.timeout));
    Report(failure.message);
    return failure.exitCode;
}

} // namespace ltpctl
