// Every family of the operations' description (users, groups, programs, channels, schedules,
// globals, MTP servers): list, find, add, modify and delete, one shape for all.
#include <optional>

#include "tools/ltpweb/list_query.h"
#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {
namespace {

// The key of the path, as the family's calls take it.
template <class T> ltptools::KeyOf<T> PathKey(const Call& call) {
    if constexpr (std::is_same_v<ltptools::KeyOf<T>, std::int32_t>)
        return static_cast<std::int32_t>(call.PathLong("id"));
    else
        return call.Path("id");
}

template <class T> void SetKey(T& record, const Call& call) {
    const ltp::Field<T>& f = ltp::fields<T>().front();
    if constexpr (std::is_same_v<ltptools::KeyOf<T>, std::int32_t>)
        record.*f.integer = PathKey<T>(call);
    else
        record.*f.text = call.Path("id");
}

template <class T> std::string KeyOf(const nlohmann::ordered_json& body) {
    const ltp::Field<T>& f = ltp::fields<T>().front();
    auto it = body.find(f.wire_name);
    if (it == body.end())
        return {};
    return it->is_string() ? it->template get<std::string>() : it->dump();
}

template <class T> nlohmann::ordered_json KeyJson(const T& record) {
    const ltp::Field<T>& f = ltp::fields<T>().front();
    if constexpr (std::is_same_v<ltptools::KeyOf<T>, std::int32_t>)
        return {{f.wire_name, record.*f.integer}};
    else
        return {{f.wire_name, record.*f.text}};
}

template <class Row> void AddFamily(std::vector<Route>& routes, const Row& row) {
    using T = typename Row::Value;
    using ltptools::Verb;
    const std::string noun = row.singular;
    const auto route = [&](Verb verb, Handler handler, std::vector<BodyField> body = {},
                           std::vector<QueryParam> query = {}) {
        return Described(ltptools::FamilyVerbWords(row, verb), row.plural, std::move(handler),
                         std::move(body), std::move(query));
    };
    Route list = route(
        Verb::list,
        [](Call& call) {
            auto all = ListToJson(
                WithClient(call, [](ltp::Client& c) { return ltptools::ListAll<T>(c); }));
            return Reply{WantsPage(call) ? PageOf(std::move(all), call) : all};
        },
        {}, ListQueryParams());
    list.summary += "; with q, offset, limit or sort a page";
    routes.push_back(std::move(list));
    routes.push_back(route(Verb::find, [noun](Call& call) {
        auto found = WithClient(call, [&](ltp::Client& client) {
            return ltptools::FindOne<T>(client, PathKey<T>(call));
        });
        if (!found)
            throw ApiError(404, "not_found", "no such " + noun);
        return Reply{RecordJson(*found)};
    }));
    Route add = route(
        Verb::add,
        [](Call& call) {
            T record = RecordFromBody<T>(call.body);
            WithClient(call, [&](ltp::Client& client) { ltptools::AddOne<T>(client, record); });
            return Reply{KeyJson(record)};
        },
        RecordBodyFields<T>());
    add.okStatus = 201;
    routes.push_back(std::move(add));
    Route modify = route(
        Verb::modify,
        [](Call& call) {
            std::string inBody = KeyOf<T>(call.body);
            if (!inBody.empty() && inBody != call.Path("id"))
                throw BadRequest("the key in the body differs from the path");
            T record = RecordFromBody<T>(call.body);
            SetKey(record, call);
            WithClient(call, [&](ltp::Client& client) { ltptools::ModifyOne<T>(client, record); });
            return Reply{RecordJson(record)};
        },
        RecordBodyFields<T>());
    modify.summary += " (all its fields)";
    routes.push_back(std::move(modify));
    routes.push_back(route(Verb::remove, [](Call& call) {
        WithClient(call,
                   [&](ltp::Client& client) { ltptools::DeleteOne<T>(client, PathKey<T>(call)); });
        return Reply{nlohmann::ordered_json::object()};
    }));
}

} // namespace

void AddCatalogueRoutes(std::vector<Route>& routes) {
    ltptools::ForEachFamily([&](const auto& row) { AddFamily(routes, row); });
}

} // namespace ltpweb
