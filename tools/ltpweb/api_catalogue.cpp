// Users, groups, programs, channels, schedules, globals and MTP servers: list, find, add, change
// and delete, one shape for every family.
#include <functional>
#include <optional>

#include "tools/ltpweb/list_query.h"
#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {
namespace {

template <class T> struct Catalogue {
    const char* family; // OpenAPI tag and path segment: "users"
    const char* noun;   // "user", for summaries
    std::function<std::vector<T>(ltp::Client&)> list;
    std::function<std::optional<T>(ltp::Client&, const std::string&)> find; // may be empty
    std::function<nlohmann::ordered_json(ltp::Client&, const T&)> add;      // the created key
    std::function<void(ltp::Client&, const T&)> modify;
    std::function<void(ltp::Client&, const std::string&)> remove;
};

// The key is the first field of every record type.
template <class T> const ltp::Field<T>& KeyField() {
    return ltp::fields<T>().front();
}

template <class T> void SetKey(T& record, const std::string& key) {
    const ltp::Field<T>& f = KeyField<T>();
    if (f.kind == ltp::FieldKind::text) {
        record.*f.text = key;
        return;
    }
    long n = 0;
    if (!ParseLongText(key, n))
        throw BadRequest(std::string("\"") + f.wire_name + "\" must be a 32-bit integer");
    record.*f.integer = static_cast<std::int32_t>(n);
}

template <class T> std::string KeyOf(const nlohmann::ordered_json& body) {
    const ltp::Field<T>& f = KeyField<T>();
    auto it = body.find(f.wire_name);
    if (it == body.end())
        return {};
    return it->is_string() ? it->template get<std::string>() : it->dump();
}

std::int32_t IntegerKey(const std::string& key) {
    long n = 0;
    if (!ParseLongText(key, n))
        throw BadRequest("the key must be a 32-bit integer");
    return static_cast<std::int32_t>(n);
}

template <class T> void AddCatalogue(std::vector<Route>& routes, Catalogue<T> c) {
    const std::string base = std::string("/api/") + c.family;
    const std::string item = base + "/{id}";
    const std::string noun = c.noun;
    routes.push_back({"GET",
                      base,
                      c.family,
                      "All " + std::string(c.family) + "; with q, offset, limit or sort a page",
                      {},
                      ListQueryParams(),
                      [c](Call& call) {
                          auto all = ListToJson(WithClient(call, c.list));
                          return Reply{WantsPage(call) ? PageOf(std::move(all), call) : all};
                      }});
    if (c.find)
        routes.push_back({"GET", item, c.family, "One " + noun, {}, {}, [c, noun](Call& call) {
                              auto found = WithClient(call, [&](ltp::Client& client) {
                                  return c.find(client, call.Path("id"));
                              });
                              if (!found)
                                  throw ApiError(404, "not_found", "no such " + noun);
                              return Reply{RecordJson(*found)};
                          }});
    Route add{"POST", base, c.family, "Add a " + noun, RecordBodyFields<T>(), {}, [c](Call& call) {
                  T record = RecordFromBody<T>(call.body);
                  return Reply{
                      WithClient(call, [&](ltp::Client& client) { return c.add(client, record); })};
              }};
    add.okStatus = 201;
    routes.push_back(add);
    routes.push_back({"PUT",
                      item,
                      c.family,
                      "Change a " + noun + " (all its fields)",
                      RecordBodyFields<T>(),
                      {},
                      [c](Call& call) {
                          std::string inBody = KeyOf<T>(call.body);
                          if (!inBody.empty() && inBody != call.Path("id"))
                              throw BadRequest("the key in the body differs from the path");
                          T record = RecordFromBody<T>(call.body);
                          SetKey(record, call.Path("id"));
                          WithClient(call, [&](ltp::Client& client) { c.modify(client, record); });
                          return Reply{RecordJson(record)};
                      }});
    routes.push_back(
        {"DELETE", item, c.family, "Delete a " + noun, {}, {}, [c](Call& call) {
             WithClient(call, [&](ltp::Client& client) { c.remove(client, call.Path("id")); });
             return Reply{nlohmann::ordered_json::object()};
         }});
}

// An add answers with the record's key, for a record keyed by text.
template <class T> nlohmann::ordered_json KeyReply(const T& record) {
    const ltp::Field<T>& f = KeyField<T>();
    return {{f.wire_name, record.*f.text}};
}

} // namespace

void AddCatalogueRoutes(std::vector<Route>& routes) {
    using C = ltp::Client;
    using S = const std::string&;
    AddCatalogue<ltp::User>(routes, {"users", "user", [](C& c) { return c.users(); },
                                     [](C& c, S k) { return c.find_user(k); },
                                     [](C& c, const ltp::User& r) {
                                         c.add_user(r);
                                         return KeyReply(r);
                                     },
                                     [](C& c, const ltp::User& r) { c.modify_user(r); },
                                     [](C& c, S k) { c.delete_user(k); }});
    AddCatalogue<ltp::Group>(routes, {"groups", "group", [](C& c) { return c.groups(); },
                                      [](C& c, S k) { return c.find_group(k); },
                                      [](C& c, const ltp::Group& r) {
                                          c.add_group(r);
                                          return KeyReply(r);
                                      },
                                      [](C& c, const ltp::Group& r) { c.modify_group(r); },
                                      [](C& c, S k) { c.delete_group(k); }});
    AddCatalogue<ltp::Program>(routes,
                               {"programs", "program", [](C& c) { return c.programs(); },
                                [](C& c, S k) { return c.find_program(IntegerKey(k)); },
                                [](C& c, const ltp::Program& r) {
                                    return nlohmann::ordered_json{{"ProgramID", c.add_program(r)}};
                                },
                                [](C& c, const ltp::Program& r) { c.modify_program(r); },
                                [](C& c, S k) { c.delete_program(IntegerKey(k)); }});
    AddCatalogue<ltp::Channel>(routes, {"channels", "channel", [](C& c) { return c.channels(); },
                                        [](C& c, S k) { return c.find_channel(k); },
                                        [](C& c, const ltp::Channel& r) {
                                            c.add_channel(r);
                                            return KeyReply(r);
                                        },
                                        [](C& c, const ltp::Channel& r) { c.modify_channel(r); },
                                        [](C& c, S k) { c.delete_channel(k); }});
    AddCatalogue<ltp::Schedule>(
        routes, {"schedules", "schedule", [](C& c) { return c.schedules(); },
                 [](C& c, S k) { return c.find_schedule(IntegerKey(k)); },
                 [](C& c, const ltp::Schedule& r) {
                     return nlohmann::ordered_json{{"ScheduleID", c.add_schedule(r)}};
                 },
                 [](C& c, const ltp::Schedule& r) { c.modify_schedule(r); },
                 [](C& c, S k) { c.delete_schedule(IntegerKey(k)); }});
    AddCatalogue<ltp::Global>(routes,
                              {"globals", "global setting", [](C& c) { return c.globals(); },
                               [](C& c, S k) { return c.find_global(k); },
                               [](C& c, const ltp::Global& r) {
                                   c.add_global(r);
                                   return KeyReply(r);
                               },
                               [](C& c, const ltp::Global& r) { c.modify_global(r); },
                               [](C& c, S k) { c.delete_global(k); }});
    // The register is looked up by channel, not by name: see /api/channels/{id}/mtp-server.
    AddCatalogue<ltp::MtpServer>(
        routes, {"mtp-servers", "MTP server", [](C& c) { return c.mtp_servers(); }, nullptr,
                 [](C& c, const ltp::MtpServer& r) {
                     c.add_mtp_server(r);
                     return KeyReply(r);
                 },
                 [](C& c, const ltp::MtpServer& r) { c.modify_mtp_server(r); },
                 [](C& c, S k) { c.delete_mtp_server(k); }});
}

} // namespace ltpweb
