// ltpweb's counters for GET /metrics, written in Prometheus' text format: requests by route and
// status, their latency, and gauges the caller reads at the time of the scrape.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ltpweb {

class Metrics {
public:
    // route is the route's pattern ("/api/users/{id}"), never the path, so that the label set
    // stays bounded whatever clients send.
    void Request(const std::string& method, const std::string& route, int status, double seconds);
    void LtpError(const std::string& kind);

    // The exposition; gauges are name, help and value.
    struct Gauge {
        std::string name;
        std::string help;
        double value;
    };
    std::string Text(const std::vector<Gauge>& gauges);

    static const std::array<double, 11> kBuckets;

private:
    struct Latency {
        std::array<unsigned long long, 12> buckets{}; // one more: +Inf
        double sum = 0;
        unsigned long long count = 0;
    };
    std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, std::map<int, unsigned long long>> m_requests;
    std::map<std::string, Latency> m_latency; // by route
    std::map<std::string, unsigned long long> m_ltpErrors;
};

} // namespace ltpweb
