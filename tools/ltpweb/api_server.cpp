// The server's information text, system information and log; usage statistics; program paths;
// a channel's week of schedules and the lookups across families.
#include <limits>

#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {
namespace {

Reply Empty() {
    return Reply{nlohmann::ordered_json::object()};
}

const std::vector<QueryParam> kPeriod = {{"from", JsonType::Date, false},
                                         {"to", JsonType::Date, false}};

// An open period reaches from the wire's day 0 (the server reads no negative dates) to the end of
// the year 9999.
double From(const Call& call) {
    return QueryDate(call, "from", 0.0);
}
double To(const Call& call) {
    return QueryDate(call, "to", 2958465.99999);
}

template <class T> Reply One(const std::optional<T>& found, const char* what) {
    if (!found)
        throw ApiError(404, "not_found", std::string("no ") + what);
    return Reply{RecordJson(*found)};
}

void AddServerInformation(std::vector<Route>& routes) {
    routes.push_back({"GET",
                      "/api/information",
                      "server",
                      "The server's information text",
                      {},
                      {},
                      [](Call& call) {
                          return Reply{{{"text", WithClient(call, [](ltp::Client& c) {
                                             return c.information();
                                         })}}};
                      }});
    routes.push_back({"PUT",
                      "/api/information",
                      "server",
                      "Replace the information text",
                      {{"text", JsonType::String, true}},
                      {},
                      [](Call& call) {
                          auto text = call.body.at("text").get<std::string>();
                          WithClient(call, [&](ltp::Client& c) { c.add_information(text); });
                          return Reply{{{"text", text}}};
                      }});
    routes.push_back(
        {"GET", "/api/system", "server", "The server's system information", {}, {}, [](Call& call) {
             return Reply{
                 RecordJson(WithClient(call, [](ltp::Client& c) { return c.sys_info(); }))};
         }});
    routes.push_back({"GET", "/api/log", "server", "The server's log", {}, {}, [](Call& call) {
                          return Reply{ListToJson(
                              WithClient(call, [](ltp::Client& c) { return c.log_events(); }))};
                      }});
    routes.push_back(
        {"DELETE", "/api/log", "server", "Clear the server's log", {}, {}, [](Call& call) {
             WithClient(call, [](ltp::Client& c) { c.clear_log_events(); });
             return Empty();
         }});
}

void AddStatistics(std::vector<Route>& routes) {
    routes.push_back(
        {"GET",
         "/api/statistics/top",
         "statistics",
         "The most used programs in a period",
         {},
         {{"count", JsonType::Integer, false}, kPeriod[0], kPeriod[1]},
         [](Call& call) {
             long count = 10;
             if (call.HasQuery("count") &&
                 (!ParseLongText(call.query["count"], count) || count < 1 || count > 10000))
                 throw BadRequest("\"count\" must be a number from 1 to 10000");
             return Reply{ListToJson(WithClient(call, [&](ltp::Client& c) {
                 return c.top_programs(static_cast<std::int32_t>(count), From(call), To(call));
             }))};
         }});
    routes.push_back({"GET",
                      "/api/users/{id}/statistics",
                      "statistics",
                      "A user's use of programs in a period",
                      {},
                      kPeriod,
                      [](Call& call) {
                          return Reply{ListToJson(WithClient(call, [&](ltp::Client& c) {
                              return c.user_program_statistics(call.Path("id"), From(call),
                                                               To(call));
                          }))};
                      }});
    routes.push_back({"GET",
                      "/api/programs/{id}/statistics",
                      "statistics",
                      "A program's use in a period",
                      {},
                      kPeriod,
                      [](Call& call) {
                          auto id = static_cast<std::int32_t>(call.PathLong("id"));
                          return Reply{ListToJson(WithClient(call, [&](ltp::Client& c) {
                              return c.program_statistics(id, From(call), To(call));
                          }))};
                      }});
}

void AddPaths(std::vector<Route>& routes) {
    routes.push_back(
        {"GET", "/api/programs/{id}/paths", "paths", "A program's paths", {}, {}, [](Call& call) {
             auto id = static_cast<std::int32_t>(call.PathLong("id"));
             return Reply{
                 ListToJson(WithClient(call, [&](ltp::Client& c) { return c.program_paths(id); }))};
         }});
    std::vector<BodyField> fields;
    for (const BodyField& f : RecordBodyFields<ltp::ProgramPath>())
        if (f.name != "ProgramID") // it comes from the path
            fields.push_back(f);
    Route add{"POST",
              "/api/programs/{id}/paths",
              "paths",
              "Attach a path to a program",
              fields,
              {},
              [](Call& call) {
                  auto path = RecordFromBody<ltp::ProgramPath>(call.body);
                  path.program_id = static_cast<std::int32_t>(call.PathLong("id"));
                  WithClient(call, [&](ltp::Client& c) { c.add_path_to_program(path); });
                  return Reply{RecordJson(path)};
              }};
    add.okStatus = 201;
    routes.push_back(add);
    // A path holds slashes, so it travels as a query parameter rather than a path segment.
    routes.push_back({"DELETE",
                      "/api/programs/{id}/paths",
                      "paths",
                      "Detach a path from a program",
                      {},
                      {{"path", JsonType::String, true}},
                      [](Call& call) {
                          auto id = static_cast<std::int32_t>(call.PathLong("id"));
                          WithClient(call, [&](ltp::Client& c) {
                              c.delete_path_from_program(id, call.query["path"]);
                          });
                          return Empty();
                      }});
}

void AddLookups(std::vector<Route>& routes) {
    routes.push_back({"GET",
                      "/api/channels/{id}/schedules",
                      "channels",
                      "A channel's schedules; with from and to, those that overlap the period",
                      {},
                      kPeriod,
                      [](Call& call) {
                          double from = From(call), to = To(call);
                          auto all = WithClient(call, [&](ltp::Client& c) {
                              return c.channel_schedules(call.Path("id"));
                          });
                          std::vector<ltp::Schedule> inside;
                          for (const ltp::Schedule& s : all)
                              if (s.real5 >= from && s.real4 <= to)
                                  inside.push_back(s);
                          return Reply{ListToJson(inside)};
                      }});
    routes.push_back({"GET",
                      "/api/channels/{id}/mtp-server",
                      "mtp-servers",
                      "The MTP server that serves a channel",
                      {},
                      {},
                      [](Call& call) {
                          return One(WithClient(call,
                                                [&](ltp::Client& c) {
                                                    return c.find_mtp_server(call.Path("id"));
                                                }),
                                     "MTP server serves this channel");
                      }});
    routes.push_back(
        {"GET",
         "/api/schedules/{id}/channel",
         "schedules",
         "The channel of a schedule",
         {},
         {},
         [](Call& call) {
             auto id = static_cast<std::int32_t>(call.PathLong("id"));
             return One(WithClient(call, [&](ltp::Client& c) { return c.schedule_channel(id); }),
                        "channel for this schedule");
         }});
}

// The labels file's names for the fields, per record kind, for the page to show.
void AddLabels(std::vector<Route>& routes, const ltptools::FieldLabels& labels) {
    nlohmann::ordered_json table = nlohmann::ordered_json::object();
    auto add = [&](const char* kind) {
        for (const auto& entry : labels.Of(kind))
            table[kind][entry.first] = entry.second;
    };
    std::apply(
        [&](const auto&... records) {
            (add(ltp::record_name<std::decay_t<decltype(records)>>()), ...);
        },
        ltp::RecordTypes{});
    routes.push_back({"GET",
                      "/api/labels",
                      "meta",
                      "Labels of the record fields, by record kind",
                      {},
                      {},
                      [table](Call&) { return Reply{table}; }});
}

} // namespace

void AddServerRoutes(std::vector<Route>& routes, const ltptools::FieldLabels& labels) {
    AddLabels(routes, labels);
    AddServerInformation(routes);
    AddStatistics(routes);
    AddPaths(routes);
    AddLookups(routes);
}

} // namespace ltpweb
