// Rows 56-58: usage statistics over a period, from the usage table. A use counts for the period
// when it started within [DateStarted, DateStopped].
#include "tools/ltpd/handlers.h"
#include "tools/ltpd/tables.h"

#include <algorithm>
#include <cmath>

namespace ltpd {

using ltp::detail::Row;
namespace {

bool CheckPeriod(double start, double stop, std::string& error) {
    if (stop < start) {
        error = "DateStopped lies before DateStarted";
        return false;
    }
    return true;
}

// One ProgramStatistic element per (user, program) pair: Number1 the program, Number3 the
// number of uses, Text2 the user, Real5 the first start, Real6 the last stop, Number4 the total
// time in seconds. Wire order: Number1, Number3, Text2, Real5, Real6, Number4.
void WriteStatistics(Context& ctx, Statement& s, std::string& out) {
    while (s.Step()) {
        double seconds = std::llround(s.Decimal(5));
        RecordWriter(out, "ProgramStatistic", ctx.codePage)
            .Number(static_cast<int32_t>(s.Integer(0)))
            .Number(static_cast<int32_t>(s.Integer(1)))
            .Text(s.Text(2))
            .Decimal(s.Decimal(3))
            .Decimal(s.Decimal(4))
            .Number(static_cast<int32_t>(std::min(seconds, 2147483647.0)))
            .End();
    }
}

constexpr const char* kAggregate =
    "SELECT program_id, COUNT(*), user_id, MIN(started), MAX(stopped), "
    "SUM(MAX(stopped - started, 0)) * 86400.0 FROM usage ";

Response UserStatistics(Context& ctx, const BodyValues& body) {
    const std::string& user = body[0][0].text;
    double start = body[1][0].decimal, stop = body[2][0].decimal;
    std::string error;
    if (!CheckPeriod(start, stop, error))
        return BadRequest(error);
    // The usage table keeps the uses of users deleted since; a name unknown to both is a typo.
    if (!ctx.db.Exists("SELECT 1 FROM users WHERE id = ?1", user) &&
        !ctx.db.Exists("SELECT 1 FROM usage WHERE user_id = ?1", user))
        return NotFound("user '" + user + "'");
    Statement s = ctx.db.Prepare(std::string(kAggregate) +
                                 "WHERE user_id = ?1 AND started >= ?2 AND started <= ?3 "
                                 "GROUP BY program_id ORDER BY program_id");
    s.Bind(1, user).Bind(2, start).Bind(3, stop);
    Response r = Ok();
    WriteStatistics(ctx, s, r.body);
    return r;
}

Response ProgramStatistics(Context& ctx, const BodyValues& body) {
    int64_t program = body[0][0].number;
    double start = body[1][0].decimal, stop = body[2][0].decimal;
    std::string error;
    if (!CheckPeriod(start, stop, error))
        return BadRequest(error);
    if (!ctx.db.Exists("SELECT 1 FROM programs WHERE id = ?1", program) &&
        !ctx.db.Exists("SELECT 1 FROM usage WHERE program_id = ?1", program))
        return NotFound("program " + std::to_string(program));
    Statement s = ctx.db.Prepare(std::string(kAggregate) +
                                 "WHERE program_id = ?1 AND started >= ?2 AND started <= ?3 "
                                 "GROUP BY user_id ORDER BY user_id");
    s.Bind(1, program).Bind(2, start).Bind(3, stop);
    Response r = Ok();
    WriteStatistics(ctx, s, r.body);
    return r;
}

// TOPProgram elements: Number1 the program, Number2 its number of uses; most used first, ties
// by program number; at most TOPCount of them.
Response TopPrograms(Context& ctx, const BodyValues& body) {
    int32_t count = body[0][0].number;
    double start = body[1][0].decimal, stop = body[2][0].decimal;
    if (count < 1)
        return BadRequest("TOPCount must be at least 1");
    std::string error;
    if (!CheckPeriod(start, stop, error))
        return BadRequest(error);
    Statement s = ctx.db.Prepare("SELECT program_id, COUNT(*) AS uses FROM usage "
                                 "WHERE started >= ?1 AND started <= ?2 GROUP BY program_id "
                                 "ORDER BY uses DESC, program_id LIMIT ?3");
    s.Bind(1, start).Bind(2, stop).Bind(3, static_cast<int64_t>(count));
    Response r = Ok();
    while (s.Step())
        RecordWriter(r.body, "TOPProgram", ctx.codePage)
            .Number(static_cast<int32_t>(s.Integer(0)))
            .Number(static_cast<int32_t>(s.Integer(1)))
            .End();
    return r;
}

} // namespace

void AddStatisticsHandlers(HandlerTable& t) {
    t[Row::GetUserProgramStatistics] = UserStatistics;
    t[Row::GetProgramStatistics] = ProgramStatistics;
    t[Row::GetTOPPrograms] = TopPrograms;
}

} // namespace ltpd
