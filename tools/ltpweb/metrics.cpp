#include "tools/ltpweb/metrics.h"

#include <sstream>

namespace ltpweb {

const std::array<double, 11> Metrics::kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                  0.1,   0.25,   0.5,   1,    2.5};

namespace {

// A label value with the escapes the text format asks for.
std::string Label(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace

void Metrics::Request(const std::string& method, const std::string& route, int status,
                      double seconds) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_requests[{method, route}][status];
    Latency& l = m_latency[route];
    std::size_t i = 0;
    while (i < kBuckets.size() && seconds > kBuckets[i])
        ++i;
    ++l.buckets[i];
    l.sum += seconds;
    ++l.count;
}

void Metrics::LtpError(const std::string& kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_ltpErrors[kind];
}

std::string Metrics::Text(const std::vector<Gauge>& gauges) {
    std::ostringstream out;
    std::lock_guard<std::mutex> lock(m_mutex);
    out << "# HELP ltpweb_http_requests_total HTTP requests answered, by route and status.\n"
           "# TYPE ltpweb_http_requests_total counter\n";
    for (const auto& r : m_requests)
        for (const auto& s : r.second)
            out << "ltpweb_http_requests_total{method=\"" << Label(r.first.first) << "\",route=\""
                << Label(r.first.second) << "\",status=\"" << s.first << "\"} " << s.second << "\n";
    out << "# HELP ltpweb_http_request_duration_seconds Time to answer an HTTP request.\n"
           "# TYPE ltpweb_http_request_duration_seconds histogram\n";
    for (const auto& r : m_latency) {
        std::string route = Label(r.first);
        unsigned long long cumulative = 0;
        for (std::size_t i = 0; i <= kBuckets.size(); ++i) {
            cumulative += r.second.buckets[i];
            out << "ltpweb_http_request_duration_seconds_bucket{route=\"" << route << "\",le=\"";
            if (i < kBuckets.size())
                out << kBuckets[i];
            else
                out << "+Inf";
            out << "\"} " << cumulative << "\n";
        }
        out << "ltpweb_http_request_duration_seconds_sum{route=\"" << route << "\"} "
            << r.second.sum << "\n";
        out << "ltpweb_http_request_duration_seconds_count{route=\"" << route << "\"} "
            << r.second.count << "\n";
    }
    out << "# HELP ltpweb_ltp_errors_total Failures reaching or talking to the LTP server.\n"
           "# TYPE ltpweb_ltp_errors_total counter\n";
    for (const auto& e : m_ltpErrors)
        out << "ltpweb_ltp_errors_total{kind=\"" << Label(e.first) << "\"} " << e.second << "\n";
    for (const Gauge& g : gauges)
        out << "# HELP " << g.name << " " << g.help << "\n# TYPE " << g.name << " gauge\n"
            << g.name << " " << g.value << "\n";
    return out.str();
}

} // namespace ltpweb
