// The server's information text, system information and log; usage statistics; program paths;
// a channel's week of schedules and the lookups across families.
#include <limits>

#include "tools/ltpweb/list_query.h"
#include "tools/ltpweb/ltp_access.h"

namespace ltpweb {
namespace {

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

using C = ltp::Client;

// The {id} of the path as a number: a program's or a schedule's.
std::int32_t PathId(const Call& call) {
    return static_cast<std::int32_t>(call.PathLong("id"));
}

using ltptools::Op;

void AddServerInformation(std::vector<Route>& routes) {
    routes.push_back(Described(Op::information, [](Call& call) {
        return Reply{{{"text", WithClient(call, [](C& c) { return c.information(); })}}};
    }));
    routes.push_back(Described(Op::add_information,
                               [](Call& call) {
                                   auto text = call.body.at("text").get<std::string>();
                                   WithClient(call, [&](C& c) { c.add_information(text); });
                                   return Reply{{{"text", text}}};
                               },
                               {{"text", JsonType::String, true}}));
    routes.push_back(Described(Op::sys_info, [](Call& call) {
        return Reply{RecordJson(WithClient(call, [](C& c) { return c.sys_info(); }))};
    }));
    std::vector<QueryParam> logQuery = ListQueryParams();
    logQuery.insert(logQuery.end(), kPeriod.begin(), kPeriod.end());
    Route log = Described(
        Op::log_events,
        [](Call& call) {
            double from = From(call), to = To(call);
            std::vector<ltp::LogEvent> inside;
            for (ltp::LogEvent& e : WithClient(call, [](C& c) { return c.log_events(); }))
                if (e.real2 >= from && e.real2 <= to)
                    inside.push_back(std::move(e));
            auto all = ListToJson(inside);
            return Reply{WantsPage(call) ? PageOf(std::move(all), call) : all};
        },
        {}, logQuery);
    log.summary += "; with from and to the events in the period; with q, offset, limit or sort a "
                   "page";
    routes.push_back(std::move(log));
    routes.push_back(
        ChangeRoute(Op::clear_log_events, {}, [](C& c, Call&) { c.clear_log_events(); }));
}

void AddStatistics(std::vector<Route>& routes) {
    routes.push_back(
        ListRoute(Op::top_programs,
                  [](C& c, Call& call) {
                      long count = 10;
                      if (call.HasQuery("count") && (!ParseLongText(call.query["count"], count) ||
                                                     count < 1 || count > 10000))
                          throw BadRequest("\"count\" must be a number from 1 to 10000");
                      return c.top_programs(static_cast<std::int32_t>(count), From(call), To(call));
                  },
                  {{"count", JsonType::Integer, false}, kPeriod[0], kPeriod[1]}));
    routes.push_back(ListRoute(
        Op::user_program_statistics,
        [](C& c, Call& call) {
            return c.user_program_statistics(call.Path("id"), From(call), To(call));
        },
        kPeriod));
    routes.push_back(ListRoute(
        Op::program_statistics,
        [](C& c, Call& call) { return c.program_statistics(PathId(call), From(call), To(call)); },
        kPeriod));
}

void AddPaths(std::vector<Route>& routes) {
    routes.push_back(ListRoute(Op::program_paths,
                               [](C& c, Call& call) { return c.program_paths(PathId(call)); }));
    std::vector<BodyField> fields;
    for (const BodyField& f : RecordBodyFields<ltp::ProgramPath>())
        if (f.name != "ProgramID") // it comes from the path
            fields.push_back(f);
    Route add = Described(
        Op::add_path_to_program,
        [](Call& call) {
            auto path = RecordFromBody<ltp::ProgramPath>(call.body);
            path.program_id = PathId(call);
            WithClient(call, [&](C& c) { c.add_path_to_program(path); });
            return Reply{RecordJson(path)};
        },
        fields);
    add.okStatus = 201;
    routes.push_back(add);
    // A path holds slashes, so it travels as a query parameter rather than a path segment.
    routes.push_back(ChangeRoute(
        Op::delete_path_from_program, {},
        [](C& c, Call& call) { c.delete_path_from_program(PathId(call), call.query["path"]); }, 200,
        {{"path", JsonType::String, true}}));
}

void AddLookups(std::vector<Route>& routes) {
    Route schedules = ListRoute(
        Op::channel_schedules,
        [](C& c, Call& call) {
            double from = From(call), to = To(call);
            std::vector<ltp::Schedule> inside;
            for (const ltp::Schedule& s : c.channel_schedules(call.Path("id")))
                if (s.real5 >= from && s.real4 <= to)
                    inside.push_back(s);
            return inside;
        },
        kPeriod);
    schedules.summary += "; with from and to, those that overlap the period";
    routes.push_back(std::move(schedules));
    routes.push_back(Described(Op::channel_mtp_server, [](Call& call) {
        return One(WithClient(call, [&](C& c) { return c.find_mtp_server(call.Path("id")); }),
                   "MTP server serves this channel");
    }));
    routes.push_back(Described(Op::schedule_channel, [](Call& call) {
        return One(WithClient(call, [&](C& c) { return c.schedule_channel(PathId(call)); }),
                   "channel for this schedule");
    }));
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
    Route route{"GET",
                "/api/labels",
                "meta",
                "Labels of the record fields, by record kind",
                {},
                {},
                [table](Call&) { return Reply{table}; }};
    route.operation = "labels";
    routes.push_back(std::move(route));
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
