// Views for people: the program tree, and a channel's schedules as a sorted list with a timeline
// per day and warnings. They read the fields as the reference server gives them meaning: a
// program's parent in Number6; a schedule's program in Number3, start and stop in Real4 and Real5,
// days of the week in Number6.
#include "tools/ltpctl/commands.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <ostream>
#include <set>

#include "tools/common/dates.h"
#include "tools/common/display.h"
#include "tools/ltpctl/program_names.h"

namespace ltpctl {
namespace {

struct Tree {
    std::map<std::int32_t, const ltp::Program*> byId;
    std::map<std::int32_t, std::vector<const ltp::Program*>> children;
};

Tree MakeTree(const std::vector<ltp::Program>& list) {
    Tree t;
    for (const ltp::Program& program : list) {
        const ltp::Program* p = &program;
        t.byId[p->program_id] = p;
        t.children[p->number6].push_back(p);
    }
    for (auto& [parent, kids] : t.children)
        std::sort(kids.begin(), kids.end(), [](const ltp::Program* a, const ltp::Program* b) {
            return a->program_id < b->program_id;
        });
    return t;
}

struct TreeLine {
    const ltp::Program* program;
    int depth;
    std::string prefix; // the drawing before the name
};

// Depth first below parent; a program is shown once even if the server's parents form a loop.
void Walk(const Tree& t, std::int32_t parent, int depth, const std::string& indent,
          std::set<std::int32_t>& seen, std::vector<TreeLine>& lines) {
    const auto kids = t.children.find(parent);
    if (kids == t.children.end())
        return;
    for (size_t i = 0; i < kids->second.size(); ++i) {
        const ltp::Program* p = kids->second[i];
        if (p->program_id == parent || !seen.insert(p->program_id).second)
            continue;
        const bool last = i + 1 == kids->second.size();
        lines.push_back({p, depth, indent + (depth == 0 ? "" : last ? "`- " : "|- ")});
        Walk(t, p->program_id, depth + 1,
             indent + (depth == 0 ? ""
                       : last     ? "   "
                                  : "|  "),
             seen, lines);
    }
}

} // namespace

int ProgramSubtree(RunContext& ctx, std::int32_t root, ResultTable& table) {
    std::vector<ltp::Program> list;
    const int rc = ctx.connection.Run([&](ltp::Client& c) { list = c.programs(); });
    if (rc != kExitOk)
        return rc;
    const Tree tree = MakeTree(list);
    const auto top = tree.byId.find(root);
    if (top == tree.byId.end())
        return Refuse(ctx, kExitRefused, "the server has no program " + std::to_string(root));
    std::set<std::int32_t> seen = {root};
    std::vector<TreeLine> lines = {{top->second, 0, ""}};
    Walk(tree, root, 1, "", seen, lines);
    table.columns = {{"ProgramID", true}, {"Name", false}};
    for (const TreeLine& l : lines)
        table.rows.push_back(
            {std::to_string(l.program->program_id), l.prefix + ProgramName(*l.program)});
    return kExitOk;
}

namespace {

struct TreeArgs {
    std::string root = "0";
    std::string user;
};

void AddTree(CLI::App& app, ActionSlot& slot) {
    CLI::App* programs = FamilyCommand(app, "programs", "programs");
    auto args = std::make_shared<TreeArgs>();
    CLI::App* leaf =
        AddLeaf(programs, "tree",
                "show the programs as a tree, with names (and a user's permission)", slot, [args] {
                    return [args](RunContext& ctx) -> int {
                        std::int32_t root = 0;
                        std::string error;
                        if (ParseLong(args->root, "ProgramID", root, error) != kExitOk)
                            return Refuse(ctx, kExitUsage, error);
                        if (!args->user.empty()) {
                            const int rc = CheckText(ctx, args->user, "--user-rights");
                            if (rc != kExitOk)
                                return rc;
                        }
                        std::vector<ltp::Program> list;
                        int rc = ctx.connection.Run([&](ltp::Client& c) { list = c.programs(); });
                        if (rc != kExitOk)
                            return rc;
                        const Tree tree = MakeTree(list);
                        std::vector<TreeLine> lines;
                        std::set<std::int32_t> seen;
                        if (root != 0) {
                            const auto top = tree.byId.find(root);
                            if (top == tree.byId.end())
                                return Refuse(ctx, kExitRefused,
                                              "the server has no program " + std::to_string(root));
                            seen.insert(root);
                            lines.push_back({top->second, 0, ""});
                            Walk(tree, root, 1, "", seen, lines);
                        } else {
                            Walk(tree, 0, 0, "", seen, lines);
                        }
                        ResultTable t;
                        const bool table = ctx.print.format == OutputFormat::Table;
                        t.columns = {{"ProgramID", true}, {"Depth", true}, {"Name", false}};
                        if (!args->user.empty())
                            t.columns.push_back({"UserPermission", true});
                        for (const TreeLine& l : lines) {
                            std::vector<std::string> row = {
                                std::to_string(l.program->program_id), std::to_string(l.depth),
                                (table ? l.prefix : std::string()) + ProgramName(*l.program)};
                            if (!args->user.empty()) {
                                std::int32_t value = 0;
                                rc = ctx.connection.Run([&](ltp::Client& c) {
                                    value = c.user_permission(args->user, l.program->program_id);
                                });
                                if (rc != kExitOk)
                                    return rc;
                                row.push_back(std::to_string(value));
                            }
                            t.rows.push_back(std::move(row));
                        }
                        if (table) // the drawing shows the depth
                            for (auto& row : t.rows)
                                row.erase(row.begin() + 1);
                        if (table)
                            t.columns.erase(t.columns.begin() + 1);
                        PrintTable(ctx, t);
                        return kExitOk;
                    };
                });
    leaf->add_option("ProgramID", args->root, "the program at the top (default: all)")
        ->type_name("INT");
    leaf->add_option("--user-rights", args->user, "show this user's permission on each program")
        ->type_name("UserID");
}

void PrintDays(const std::map<long long, std::string>& days, std::ostream& out);

// One line per day the schedules touch: 24 hours, '#' where a schedule runs.
void PrintTimeline(const std::vector<const ltp::Schedule*>& list, std::ostream& out) {
    std::map<long long, std::string> days;
    for (const ltp::Schedule* s : list) {
        if (!(s->real5 > s->real4))
            continue;
        const double stop = std::min(s->real5, s->real4 + 31); // a month at most per schedule
        for (double at = std::floor(s->real4 * 24) / 24; at < stop - 1e-9; at += 1.0 / 24) {
            auto& line =
                days.try_emplace(static_cast<long long>(std::floor(at)), std::string(24, '.'))
                    .first->second;
            const double hour = (at - std::floor(at)) * 24;
            line[static_cast<size_t>(std::min(23.0, std::round(hour)))] = '#';
        }
    }
    PrintDays(days, out);
}

// Monday 0 ... Sunday 6; day 0, 1899-12-30, was a Saturday.
int Weekday(long long day) {
    return static_cast<int>(((day % 7) + 7 + 5) % 7);
}

// Every day of [from, to) (two months at most), each schedule drawn on the days of the week it
// runs (its days; without any, only the dates from its start to its stop), at its hours.
void PrintRangeTimeline(const std::vector<const ltp::Schedule*>& list, double from, double to,
                        std::ostream& out) {
    constexpr long long kMostDays = 62;
    const long long first = static_cast<long long>(std::floor(from));
    const long long last = std::min(static_cast<long long>(std::ceil(to)), first + kMostDays);
    std::map<long long, std::string> days;
    for (long long day = first; day < last; ++day)
        days[day] = std::string(24, '.');
    for (const ltp::Schedule* s : list) {
        const long long startDay = static_cast<long long>(std::floor(s->real4));
        const double startHour = (s->real4 - static_cast<double>(startDay)) * 24;
        double stopHour = (s->real5 - std::floor(s->real5)) * 24;
        if (stopHour <= startHour)
            stopHour = 24;
        for (auto& [day, line] : days) {
            const bool runs = (s->number6 & 0x7f) != 0
                                  ? day >= startDay && (s->number6 & (1 << Weekday(day))) != 0
                                  : day >= startDay && static_cast<double>(day) < s->real5;
            if (!runs)
                continue;
            const double begin = (s->number6 & 0x7f) != 0 || day == startDay ? startHour : 0;
            const double end =
                (s->number6 & 0x7f) != 0 || day == std::floor(s->real5) ? stopHour : 24;
            // Days carry the time as a fraction: 08:00 may read as 07:59:59.99.
            for (double hour = std::floor(begin + 1e-6); hour < end - 1e-6; ++hour)
                line[static_cast<size_t>(std::min(23.0, hour))] = '#';
        }
    }
    PrintDays(days, out);
}

void PrintDays(const std::map<long long, std::string>& days, std::ostream& out) {
    if (days.empty())
        return;
    out << "\nUTC        0     6     12    18\n";
    for (const auto& [day, line] : days)
        out << ltptools::FormatIsoDate(static_cast<double>(day)) << " " << line << "\n";
}

std::vector<const ltp::Schedule*> ByStartSorted(std::vector<const ltp::Schedule*> list) {
    std::stable_sort(list.begin(), list.end(), [](const ltp::Schedule* a, const ltp::Schedule* b) {
        return a->real4 < b->real4;
    });
    return list;
}

// Those within the period, sorted by start, as they are shown and checked.
// With recurring, a schedule that runs on days of the week counts from its start on.
std::vector<const ltp::Schedule*> ByStart(const std::vector<ltp::Schedule>& list, double from,
                                          double to, bool recurring = false) {
    std::vector<const ltp::Schedule*> sorted;
    for (const ltp::Schedule& schedule : list) {
        const ltp::Schedule* s = &schedule;
        const bool runsOn = recurring && (s->number6 & 0x7f) != 0;
        if ((s->real5 >= from || runsOn) && s->real4 <= to)
            sorted.push_back(s);
    }
    return ByStartSorted(std::move(sorted));
}

// "schedule 7"; one a dry run did not add has no number yet.
std::string ScheduleName(const ltp::Schedule* s, const ltp::Schedule* only) {
    return s == only && s->schedule_id == 0 ? "the new schedule"
                                            : "schedule " + std::to_string(s->schedule_id);
}

// The warnings about schedules sorted by start; with only, those about that schedule.
std::vector<std::string> Warnings(const std::vector<const ltp::Schedule*>& sorted,
                                  const std::map<std::int32_t, std::string>& programs,
                                  const ltp::Schedule* only) {
    std::vector<std::string> warnings;
    const ltp::Schedule* previous = nullptr; // the one that runs longest so far
    for (const ltp::Schedule* s : sorted) {
        const std::string name = ScheduleName(s, only);
        const bool about = !only || s == only;
        if (about && s->number3 != 0 && programs.count(s->number3) == 0)
            warnings.push_back(name + " shows program " + std::to_string(s->number3) +
                               ", which the server does not have");
        if (about && s->real5 != 0 && s->real5 < s->real4)
            warnings.push_back(name + " stops before it starts");
        if (previous && previous->real5 > s->real4 && (about || previous == only))
            warnings.push_back(name + " overlaps " + ScheduleName(previous, only));
        if (!previous || s->real5 > previous->real5)
            previous = s;
    }
    return warnings;
}

struct ShowArgs {
    std::string channel;
    std::string from;
    std::string to;
};

void AddScheduleShow(CLI::App& app, ActionSlot& slot) {
    CLI::App* schedules = FamilyCommand(app, "schedules", "schedules");
    auto args = std::make_shared<ShowArgs>();
    CLI::App* leaf = AddLeaf(
        schedules, "show",
        "a channel's schedules by time, with program names, days, a timeline and warnings", slot,
        [args] {
            return [args](RunContext& ctx) -> int {
                int rc = CheckText(ctx, args->channel, "ChannelID");
                double from = -1, to = 1e9;
                std::string error;
                if (rc == kExitOk && !args->from.empty() &&
                    !ltptools::ParseIsoDate(args->from, from, error))
                    rc = Refuse(ctx, kExitUsage, "--from: " + error);
                if (rc == kExitOk && !args->to.empty() &&
                    !ltptools::ParseIsoDate(args->to, to, error))
                    rc = Refuse(ctx, kExitUsage, "--to: " + error);
                std::vector<ltp::Schedule> list;
                std::map<std::int32_t, std::string> programs;
                if (rc == kExitOk)
                    rc = ctx.connection.Run(
                        [&](ltp::Client& c) { list = c.channel_schedules(args->channel); });
                if (rc == kExitOk)
                    rc = ReadProgramNames(ctx, programs);
                if (rc != kExitOk)
                    return rc;
                const bool range = !args->from.empty() && !args->to.empty();
                const std::vector<const ltp::Schedule*> shown = ByStart(list, from, to, range);
                ResultTable t;
                t.columns = {{"ScheduleID", true},
                             {"Start", false, "", true},
                             {"Stop", false, "", true},
                             {"Days", false},
                             {"Program", false}};
                for (const ltp::Schedule* s : shown)
                    t.rows.push_back(
                        {std::to_string(s->schedule_id), ltptools::FormatIsoDate(s->real4),
                         ltptools::FormatIsoDate(s->real5), ltptools::DisplayWeekdays(s->number6),
                         NumberAndName(s->number3, programs)});
                PrintTable(ctx, t);
                if (ctx.print.format == OutputFormat::Table && range)
                    PrintRangeTimeline(shown, from, to, ctx.out);
                else if (ctx.print.format == OutputFormat::Table)
                    PrintTimeline(shown, ctx.out);
                for (const std::string& w : Warnings(shown, programs, nullptr))
                    ctx.connection.Report("warning: " + w);
                return kExitOk;
            };
        });
    leaf->add_option("ChannelID", args->channel, "the channel")->required();
    leaf->add_option("--from", args->from, "only schedules that end after this date")
        ->type_name("DATE");
    leaf->add_option("--to", args->to, "only schedules that start before this date")
        ->type_name("DATE");
}

} // namespace

void WarnAboutSchedule(RunContext& ctx, const ltp::Schedule& added) {
    std::vector<ltp::Schedule> list;
    std::map<std::int32_t, std::string> programs;
    int rc = kExitOk;
    if (!added.text2.empty())
        rc = ctx.connection.Run([&](ltp::Client& c) { list = c.channel_schedules(added.text2); });
    if (rc == kExitOk)
        rc = ReadProgramNames(ctx, programs);
    if (rc != kExitOk)
        return; // the schedule is added; the warnings are advice
    std::vector<const ltp::Schedule*> sorted = ByStart(list, -1, 1e9);
    // The server's copy when it lists it; a dry run's schedule was never added.
    const auto listed = std::find_if(sorted.begin(), sorted.end(), [&](const ltp::Schedule* s) {
        return added.schedule_id != 0 && s->schedule_id == added.schedule_id;
    });
    const ltp::Schedule* about = listed != sorted.end() ? *listed : &added;
    if (about == &added)
        sorted.push_back(&added);
    for (const std::string& w : Warnings(ByStartSorted(sorted), programs, about))
        ctx.connection.Report("warning: " + w);
}

void AddViewCommands(CLI::App& app, ActionSlot& slot) {
    AddTree(app, slot);
    AddScheduleShow(app, slot);
}

} // namespace ltpctl
