// Rows 1-5: the information text, system information and the change log.
#include "tools/ltpd/handlers.h"

#include <chrono>
#include <cstdlib>

namespace ltpd {

using ltp::detail::Row;
namespace {

// Add Infomation replaces the text; an empty text clears it.
Response SetInformation(Context& ctx, const BodyValues&) {
    ctx.db.Prepare("INSERT OR REPLACE INTO settings (name, value) VALUES ('information', ?1)")
        .Bind(1, ctx.rawBody)
        .Run();
    ctx.Log("Set the information text (" + std::to_string(ctx.rawBody.size()) + " bytes)");
    return Ok();
}

Response GetInformation(Context& ctx, const BodyValues&) {
    Statement s = ctx.db.Prepare("SELECT value FROM settings WHERE name = 'information'");
    Response r = Ok();
    if (s.Step())
        r.body = s.Text(0);
    return r;
}

double MonotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Number1 seconds up, Number2 open connections, Number3 requests served (this one included),
// Real4 the one-minute load average of the machine, Number5 connections accepted since start.
Response GetSysInfo(Context& ctx, const BodyValues&) {
    double load[1] = {0};
    if (getloadavg(load, 1) != 1)
        load[0] = 0;
    const ServerCounters& c = ctx.counters;
    double up = c.startedAt > 0 ? MonotonicSeconds() - c.startedAt : 0;
    Response r = Ok();
    RecordWriter(r.body, "SysInfo", ctx.codePage)
        .Number(static_cast<int32_t>(up))
        .Number(static_cast<int32_t>(c.openConnections))
        .Number(static_cast<int32_t>(c.requests))
        .Decimal(load[0])
        .Number(static_cast<int32_t>(c.totalConnections))
        .End();
    return r;
}

// Number1 the entry's number, Real2 its date, Text3 the administrator, Text4 what changed.
Response ListLog(Context& ctx, const BodyValues&) {
    Statement s = ctx.db.Prepare("SELECT id, at, user, text FROM log_events ORDER BY id");
    Response r = Ok();
    while (s.Step())
        RecordWriter(r.body, "LogEvent", ctx.codePage)
            .Number(static_cast<int32_t>(s.Integer(0)))
            .Decimal(s.Decimal(1))
            .Text(s.Text(2))
            .Text(s.Text(3))
            .End();
    return r;
}

// Clearing is not itself logged, so the log reads empty right after.
Response ClearLog(Context& ctx, const BodyValues&) {
    ctx.db.Exec("DELETE FROM log_events");
    return Ok();
}

} // namespace

double ServerClockNow() {
    return MonotonicSeconds();
}

void AddServerHandlers(HandlerTable& t) {
    t[Row::AddInfomation] = SetInformation;
    t[Row::GetInfomation] = GetInformation;
    t[Row::GetSysInfo] = GetSysInfo;
    t[Row::GetAllLogEvents] = ListLog;
    t[Row::ClearLogEvents] = ClearLog;
}

} // namespace ltpd
