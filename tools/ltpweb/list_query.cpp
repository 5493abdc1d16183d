#include "tools/ltpweb/list_query.h"

#include <algorithm>

#include "tools/common/labels.h"
#include "tools/ltpweb/api_error.h"

namespace ltpweb {
namespace {

constexpr long kDefaultLimit = 100;
constexpr long kMaxLimit = 1000;

using ltptools::Lower;

std::string Text(const nlohmann::ordered_json& v) {
    return v.is_string() ? v.get<std::string>() : v.dump();
}

bool Matches(const nlohmann::ordered_json& record, const std::string& needle) {
    if (!record.is_object())
        return Lower(Text(record)).find(needle) != std::string::npos;
    for (const auto& item : record.items())
        if (Lower(Text(item.value())).find(needle) != std::string::npos)
            return true;
    return false;
}

long Count(const Call& call, const char* name, long fallback, long max) {
    auto it = call.query.find(name);
    if (it == call.query.end() || it->second.empty())
        return fallback;
    long n = 0;
    if (!ParseLongText(it->second, n) || n < 0 || n > max)
        throw BadRequest(std::string("\"") + name + "\" must be a number from 0 to " +
                         std::to_string(max));
    return n;
}

// Numbers compare as numbers, the rest as case-folded text; a missing field sorts first.
bool Before(const nlohmann::ordered_json& a, const nlohmann::ordered_json& b) {
    if (a.is_number() && b.is_number())
        return a.get<double>() < b.get<double>();
    if (a.is_null() || b.is_null())
        return a.is_null() && !b.is_null();
    return Lower(Text(a)) < Lower(Text(b));
}

} // namespace

std::vector<QueryParam> ListQueryParams() {
    return {{"q", JsonType::String, false},
            {"offset", JsonType::Integer, false},
            {"limit", JsonType::Integer, false},
            {"sort", JsonType::String, false}};
}

bool WantsPage(const Call& call) {
    for (const char* name : {"q", "offset", "limit", "sort"})
        if (call.query.count(name))
            return true;
    return false;
}

nlohmann::ordered_json PageOf(nlohmann::ordered_json records, const Call& call) {
    const long offset = Count(call, "offset", 0, 2147483647L);
    const long limit = Count(call, "limit", kDefaultLimit, kMaxLimit);
    auto q = call.query.find("q");
    const std::string needle = q == call.query.end() ? "" : Lower(q->second);
    std::vector<nlohmann::ordered_json> kept;
    for (auto& r : records)
        if (needle.empty() || Matches(r, needle))
            kept.push_back(std::move(r));
    auto s = call.query.find("sort");
    if (s != call.query.end() && !s->second.empty()) {
        const bool down = s->second[0] == '-';
        const std::string field = down ? s->second.substr(1) : s->second;
        auto value = [&](const nlohmann::ordered_json& r) {
            auto it = r.find(field);
            return it == r.end() ? nlohmann::ordered_json() : *it;
        };
        std::stable_sort(kept.begin(), kept.end(), [&](const auto& a, const auto& b) {
            return down ? Before(value(b), value(a)) : Before(value(a), value(b));
        });
    }
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    const auto total = static_cast<long>(kept.size());
    for (long i = offset; i < total && i < offset + limit; ++i)
        items.push_back(std::move(kept[static_cast<std::size_t>(i)]));
    return {{"total", total}, {"offset", offset}, {"limit", limit}, {"items", std::move(items)}};
}

} // namespace ltpweb
