// statistics: usage of programs by a user, of one program, and the most used programs, over a
// period.
#include "tools/ltpctl/commands.h"

#include <algorithm>

#include "tools/common/dates.h"
#include "tools/common/display.h"
#include "tools/ltpctl/program_names.h"

namespace ltpctl {
namespace {

struct Period {
    std::string subject;
    std::string from = "1899-12-30";
    std::string to = "9999-12-31";
    int count = 10;
    bool chart = false;
    double start = 0;
    double stop = 0;

    int Check(RunContext& ctx) {
        std::string error;
        if (!ltptools::ParseIsoDate(from, start, error))
            return Refuse(ctx, kExitUsage, "--from: " + error);
        if (!ltptools::ParseIsoDate(to, stop, error))
            return Refuse(ctx, kExitUsage, "--to: " + error);
        int rc = CheckDecimal(start, "--from", error);
        if (rc == kExitOk)
            rc = CheckDecimal(stop, "--to", error);
        return rc == kExitOk ? rc : Refuse(ctx, rc, error);
    }
};

void AddPeriodOptions(CLI::App* leaf, Period& p) {
    leaf->add_option("--from", p.from, "start of the period, ISO-8601 date (default: all time)")
        ->type_name("DATE");
    leaf->add_option("--to", p.to, "end of the period, ISO-8601 date (default: all time)")
        ->type_name("DATE");
    leaf->add_flag("--chart", p.chart, "draw a bar per row (tables only)");
    leaf->footer(kDateHelp);
}

// A bar of '#' as long as value is to the largest, in at most 40 columns (a third of a narrower
// terminal).
std::string Bar(double value, double largest, std::size_t terminalWidth) {
    const std::size_t width =
        terminalWidth ? std::clamp<std::size_t>(terminalWidth / 3, 1, 40) : 40;
    if (!(largest > 0) || !(value > 0))
        return std::string();
    const auto n = static_cast<std::size_t>(value / largest * static_cast<double>(width) + 0.5);
    return std::string(std::max<std::size_t>(n, 1), '#');
}

// Tables for people: programs by number and name, durations as h:mm, a bar per row when asked.
// JSON and CSV keep the records as they came, wire names and seconds, for scripts.
int PrintStatistics(RunContext& ctx, const Period& p,
                    const std::vector<ltp::ProgramStatistic>& list, bool byProgram) {
    if (ctx.print.format != OutputFormat::Table) {
        PrintTable(ctx, ValueListTable(list));
        return kExitOk;
    }
    std::map<std::int32_t, std::string> names;
    if (byProgram)
        if (const int rc = ReadProgramNames(ctx, names); rc != kExitOk)
            return rc;
    ResultTable t;
    t.columns = {{byProgram ? "Program" : "User", false},
                 {"Uses", true},
                 {"First", false, "", true},
                 {"Last", false, "", true},
                 {"Time", true}};
    double largest = 0;
    for (const ltp::ProgramStatistic& s : list)
        largest = std::max(largest, static_cast<double>(s.number4));
    for (const ltp::ProgramStatistic& s : list) {
        t.rows.push_back({byProgram ? NumberAndName(s.number1, names) : s.text2,
                          std::to_string(s.number3), ltptools::FormatIsoDate(s.real5),
                          ltptools::FormatIsoDate(s.real6), ltptools::DisplayDuration(s.number4)});
        if (p.chart)
            t.rows.back().push_back(Bar(s.number4, largest, ctx.print.width));
    }
    if (p.chart)
        t.columns.push_back({"", false});
    PrintTable(ctx, t);
    return kExitOk;
}

} // namespace

void AddStatsCommands(CLI::App& app, ActionSlot& slot) {
    FamilyCommand(app, "statistics", "usage statistics over a period");

    {
        auto p = std::make_shared<Period>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::user_program_statistics, slot, [p] {
            return [p](RunContext& ctx) {
                int rc = CheckText(ctx, p->subject, "UserID");
                if (rc == kExitOk)
                    rc = p->Check(ctx);
                std::vector<ltp::ProgramStatistic> list;
                if (rc == kExitOk)
                    rc = ctx.connection.Run([&](ltp::Client& c) {
                        list = c.user_program_statistics(p->subject, p->start, p->stop);
                    });
                if (rc == kExitOk)
                    rc = PrintStatistics(ctx, *p, list, true);
                return rc;
            };
        });
        leaf->add_option("UserID", p->subject, "the user")->required();
        AddPeriodOptions(leaf, *p);
    }

    {
        auto p = std::make_shared<Period>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::program_statistics, slot, [p] {
            return [p](RunContext& ctx) {
                std::int32_t id = 0;
                std::string error;
                if (ParseLong(p->subject, "ProgramID", id, error) != kExitOk)
                    return Refuse(ctx, kExitUsage, error);
                int rc = p->Check(ctx);
                std::vector<ltp::ProgramStatistic> list;
                if (rc == kExitOk)
                    rc = ctx.connection.Run([&](ltp::Client& c) {
                        list = c.program_statistics(id, p->start, p->stop);
                    });
                if (rc == kExitOk)
                    rc = PrintStatistics(ctx, *p, list, false);
                return rc;
            };
        });
        leaf->add_option("ProgramID", p->subject, "the program")->type_name("INT")->required();
        AddPeriodOptions(leaf, *p);
    }

    {
        auto p = std::make_shared<Period>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::top_programs, slot, [p] {
            return [p](RunContext& ctx) {
                int rc = p->Check(ctx);
                std::vector<ltp::TopProgram> list;
                if (rc == kExitOk)
                    rc = ctx.connection.Run([&](ltp::Client& c) {
                        list = c.top_programs(p->count, p->start, p->stop);
                    });
                if (rc != kExitOk || ctx.print.format != OutputFormat::Table) {
                    if (rc == kExitOk)
                        PrintTable(ctx, ValueListTable(std::move(list)));
                    return rc;
                }
                std::map<std::int32_t, std::string> names;
                rc = ReadProgramNames(ctx, names);
                if (rc != kExitOk)
                    return rc;
                ResultTable t;
                t.columns = {{"Program", false}, {"Uses", true}};
                double largest = 0;
                for (const ltp::TopProgram& top : list)
                    largest = std::max(largest, static_cast<double>(top.number2));
                for (const ltp::TopProgram& top : list) {
                    t.rows.push_back(
                        {NumberAndName(top.number1, names), std::to_string(top.number2)});
                    if (p->chart)
                        t.rows.back().push_back(Bar(top.number2, largest, ctx.print.width));
                }
                if (p->chart)
                    t.columns.push_back({"", false});
                PrintTable(ctx, t);
                return rc;
            };
        });
        leaf->add_option("--count,-n", p->count, "how many programs (default 10)");
        AddPeriodOptions(leaf, *p);
    }
}

} // namespace ltpctl
