#include "tools/ltpctl/connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstdint>
#include <ostream>
#include <string_view>

#include "tools/common/display.h"
#include "tools/ltpctl/exit_codes.h"
#include "tools/ltpctl/failure_text.h"

namespace ltpctl {
namespace {

// The dotted IPv4 address of a host name or address text; empty when it has none.
std::string ResolveIPv4(const std::string& host) {
    in_addr addr{};
    if (inet_pton(AF_INET, host.c_str(), &addr) == 1)
        return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::string();
    char text[INET_ADDRSTRLEN] = {0};
    const auto* sin = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text);
    freeaddrinfo(found);
    return text;
}

} // namespace

Connection::Connection(ConnectionSettings settings, std::ostream& err)
    : m_settings(std::move(settings)), m_err(err) {}

Connection::~Connection() {
    if (m_creater && m_loggedIn)
        m_creater->LogOut();
}

std::string Connection::Where() const {
    // An IPv6 address in brackets, so that the port stands apart.
    const bool v6 = m_settings.host.find(':') != std::string::npos;
    return (v6 ? "[" + m_settings.host + "]" : m_settings.host) + ":" +
           std::to_string(m_settings.port);
}

void Connection::Report(const std::string& message) const {
    // Reasons come from the server: control bytes are shown, not sent to the terminal.
    m_err << "ltpctl: " << m_prefix << ltptools::EscapeControls(message) << std::endl;
}

int Connection::LogIn() {
    const std::string address = ResolveIPv4(m_settings.host);
    if (address.empty()) {
        Report("cannot find the address of host '" + m_settings.host + "'");
        return kExitTransport;
    }
    m_creater = std::make_unique<CTracedCreater>();
    m_creater->SetMaxResponseBytes(m_settings.maxResponseBytes);
    m_creater->SetMaxResultBytes(m_settings.maxResultBytes);
    m_creater->SetServerAddressPort(inet_addr(address.c_str()),
                                    static_cast<unsigned>(m_settings.port));
    if (m_settings.verbose)
        m_err << "* connecting to " << address << ":" << m_settings.port << " as "
              << m_settings.user << std::endl;
    if (!m_creater->LogIn(address.c_str(), m_settings.user.c_str(), m_settings.password.c_str())) {
        Report("cannot open a connection to " + Where());
        m_creater.reset();
        return kExitTransport;
    }
    m_loggedIn = true;
    return kExitOk;
}

namespace {

// The idle time-out as a reason shows it: whole seconds as "10 s", anything else in ms.
std::string TimeoutText(std::chrono::milliseconds timeout) {
    if (timeout.count() % 1000 == 0)
        return std::to_string(timeout.count() / 1000) + " s";
    return std::to_string(timeout.count()) + " ms";
}

} // namespace

int Connection::ReportMissing(const std::string& missing) {
    const Failure failure = ExplainMissing(m_lastResponse, missing, Where());
    Report(failure.message);
    return failure.exitCode;
}

int Connection::Run(const std::function<void(ltp::Client&)>& op) {
    if (!m_client) {
        ltp::Options options;
        options.host = m_settings.host;
        options.port = static_cast<std::uint16_t>(m_settings.port);
        options.user = m_settings.user;
        options.password = m_settings.password;
        options.connect_timeout = m_settings.timeout;
        options.request_timeout = m_settings.timeout;
        options.max_response_bytes = m_settings.maxResponseBytes;
        options.max_result_bytes = m_settings.maxResultBytes;
        // Always traced: a failure is explained from what arrived, and -v shows the exchange.
        options.trace = [this](ltp::TraceDirection way, std::string_view bytes) {
            const bool request = way == ltp::TraceDirection::request;
            m_sent = true;
            if (request)
                m_lastResponse.clear();
            else
                m_lastResponse.assign(bytes);
            if (!m_settings.verbose)
                return;
            if (request)
                PrintPrefixed(MaskPassword(std::string(bytes)), "> ", m_err);
            else
                PrintPrefixed(m_lastResponse, "< ", m_err);
            m_err.flush();
        };
        if (m_settings.verbose)
            m_err << "* connecting to " << Where() << " as " << m_settings.user << std::endl;
        m_client = std::make_unique<ltp::Client>(std::move(options));
    }
    m_lastResponse.clear();
    m_sent = false;
    try {
        op(*m_client);
        return kExitOk;
    } catch (const std::exception& e) {
        if (m_settings.verbose && !m_sent)
            m_err << "* not sent" << std::endl;
        else if (m_settings.verbose && m_lastResponse.empty())
            m_err << "* no response" << std::endl;
        const Failure failure =
            ExplainClientError(e, m_lastResponse, Where(), TimeoutText(m_settings.timeout));
        Report(failure.message);
        return failure.exitCode;
    }
}

int Connection::Call(const std::function<int(CLTPCreater&)>& op) {
    if (!m_loggedIn) {
        const int rc = LogIn();
        if (rc != kExitOk)
            return rc;
    }
    const int result = op(*m_creater);
    const long lastError = result ? 0 : static_cast<LONG>(m_creater->GetLastError());
    if (m_settings.verbose) {
        // A request the library refused to send leaves the previous one in the request text.
        if (lastError == LTP_ERROR_UNSENDABLE)
            m_err << "* not sent" << std::endl;
        else
            PrintExchange(*m_creater, m_err);
    }
    if (result)
        return kExitOk;
    CMessage& response = m_creater->GetReadMessage();
    const CString reason = m_creater->GetErrorDescription();
    const Failure failure =
        ExplainFailure(lastError, response.GetData(), response.GetLength(),
                       std::string(reason.GetString(), reason.GetLength()), Where());
    Report(failure.message);
    if (failure.exitCode == kExitTransport) {
        // The session is not reconnected by the library: start afresh on the next call.
        m_creater->LogOut();
        m_creater.reset();
        m_loggedIn = false;
    }
    return failure.exitCode;
}

} // namespace ltpctl
