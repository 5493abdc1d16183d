// The server as a whole: its information text, its system information and its log.
#include "tools/common/display.h"
#include "tools/common/dates.h"
#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/input_file.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <cstdint>
#include <thread>

namespace ltpctl {
namespace {

struct InfoArgs {
    std::string text;
    std::string file;
};

void AddInfo(CLI::App& app, ActionSlot& slot) {
    FamilyCommand(app, "information", "read and replace the server's information text");

    AddOperation(app, ltptools::Op::information, slot, [] {
        return [](RunContext& ctx) {
            std::string text;
            const int rc = ctx.connection.Run([&](ltp::Client& c) { text = c.information(); });
            if (rc != kExitOk)
                return rc;
            if (ctx.print.format == OutputFormat::Table) {
                ctx.out << ltptools::EscapeControls(text, true);
                if (!text.empty() && text.back() != '\n')
                    ctx.out << '\n';
            } else {
                PrintTable(ctx, ValueTable("Information", text, false));
            }
            return rc;
        };
    });

    auto args = std::make_shared<InfoArgs>();
    CLI::App* set = AddOperation(app, ltptools::Op::add_information, slot, [args] {
        return [args](RunContext& ctx) {
            std::string text = args->text;
            if (!args->file.empty()) {
                if (args->file == "-") {
                    text.assign(std::istreambuf_iterator<char>(std::cin),
                                std::istreambuf_iterator<char>());
                } else {
                    std::string error;
                    if (!ReadInputFile(args->file, text, error))
                        return Refuse(ctx, kExitUsage, error);
                }
            }
            if (text.find('\0') != std::string::npos)
                return Refuse(ctx, kExitUncarried,
                              "the information text holds a zero byte, which the protocol "
                              "cannot carry");
            return ctx.connection.Change([&](ltp::Client& c) { c.add_information(text); });
        };
    });
    CLI::Option* text = set->add_option("TEXT", args->text, "the text");
    CLI::Option* file =
        set->add_option("--file,-f", args->file, "read the text from a file ('-': standard input)");
    text->excludes(file);
    set->require_option(1);
}

void AddSysInfo(CLI::App& app, ActionSlot& slot) {
    AddOperation(app, ltptools::Op::sys_info, slot, [] {
        return [](RunContext& ctx) {
            ltp::SysInfo info;
            const int rc = ctx.connection.Run([&](ltp::Client& c) { info = c.sys_info(); });
            if (rc == kExitOk)
                PrintTable(ctx, ValueRecordTable(info));
            return rc;
        };
    });
}

struct LogFilter {
    std::string since;
    std::string grep;
    bool follow = false;
    double interval = 2;
};

volatile std::sig_atomic_t g_stop = 0;

void StopFollowing(int) {
    g_stop = 1;
}

// Whether an entry from --since on passes --grep.
bool Shown(const ltp::LogEvent& e, double since, const std::string& grep) {
    return e.real2 >= since && (grep.empty() || e.text3.find(grep) != std::string::npos ||
                                e.text4.find(grep) != std::string::npos);
}

// Shows the entries after number `after` that pass the filter; returns the last number seen.
std::int32_t PrintNewEntries(RunContext& ctx, const std::vector<ltp::LogEvent>& events,
                             std::int32_t after, double since, const std::string& grep) {
    std::vector<ltp::LogEvent> shown;
    std::int32_t last = after;
    for (const ltp::LogEvent& e : events) {
        if (e.number1 <= after)
            continue;
        last = std::max(last, e.number1);
        if (Shown(e, since, grep))
            shown.push_back(e);
    }
    if (!shown.empty() || after < 0)
        PrintTable(ctx, ValueListTable(std::move(shown)));
    return last;
}

int ListLog(RunContext& outer, const LogFilter& filter) {
    RunContext ctx = outer; // following changes how it prints, for this command only
    ctx.page = !filter.follow;
    double since = -1;
    std::string error;
    if (!filter.since.empty() && !ltptools::ParseIsoDate(filter.since, since, error))
        return Refuse(ctx, kExitUsage, "--since: " + error);
    const std::vector<Column> columns = RecordColumns<ltp::LogEvent>();
    std::int32_t last = -1; // entry numbers start at 1
    if (!filter.follow && StreamsList(ctx, columns)) {
        // Once through: the entries that pass are written as they arrive (as PrintNewEntries
        // chooses them after last).
        ListPrinter printer(columns, ctx.print, ctx.out);
        const int rc = ctx.connection.Run([&](ltp::Client& c) {
            c.log_events_each([&](const ltp::LogEvent& e) {
                if (e.number1 > last && Shown(e, since, filter.grep))
                    printer.Add(ValueRowTable(columns, e));
            });
        });
        printer.Finish(rc == kExitOk);
        return rc;
    }
    g_stop = 0;
    // Ctrl-C (or a kill) ends following at the next pause, as the normal end of the command.
    void (*previousInt)(int) = filter.follow ? std::signal(SIGINT, StopFollowing) : nullptr;
    void (*previousTerm)(int) = filter.follow ? std::signal(SIGTERM, StopFollowing) : nullptr;
    int rc = kExitOk;
    for (bool first = true; first || (filter.follow && !g_stop); first = false) {
        if (!first)
            for (double slept = 0; slept < filter.interval && !g_stop; slept += 0.1)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (g_stop)
            break;
        std::vector<ltp::LogEvent> events;
        rc = ctx.connection.Run([&](ltp::Client& c) { events = c.log_events(); });
        if (rc != kExitOk)
            break;
        // A cleared log numbers anew: start over from its first entry.
        if (!events.empty() && events.back().number1 < last)
            last = 0;
        last = PrintNewEntries(ctx, events, last, since, filter.grep);
        ctx.out.flush();
        if (filter.follow)
            ctx.print.noHeaders = true; // the names once, above the first entries
    }
    if (filter.follow) {
        std::signal(SIGINT, previousInt);
        std::signal(SIGTERM, previousTerm);
    }
    return rc;
}

void AddLog(CLI::App& app, ActionSlot& slot) {
    FamilyCommand(app, "log", "list and clear the server's log");
    auto filter = std::make_shared<LogFilter>();
    CLI::App* listLeaf = AddOperation(app, ltptools::Op::log_events, slot, [filter] {
        return [filter](RunContext& ctx) { return ListLog(ctx, *filter); };
    });
    listLeaf->add_option("--since", filter->since, "only entries from this date on")
        ->type_name("DATE");
    listLeaf->add_option("--grep", filter->grep, "only entries whose user or text holds this text")
        ->type_name("TEXT");
    listLeaf->add_flag("--follow,-f", filter->follow,
                       "keep asking for new entries and show them as they come (until Ctrl-C)");
    listLeaf
        ->add_option("--interval", filter->interval,
                     "seconds between two asks with --follow (default 2)")
        ->check(CLI::Range(0.1, 3600.0));
    listLeaf->footer(kDateHelp);
    auto yes = std::make_shared<bool>(false);
    AddOperation(app, ltptools::Op::clear_log_events, slot, [yes] {
        return [yes](RunContext& ctx) -> int {
            if (!*yes && AsksForConfirmation(ctx)) {
                std::size_t count = 0;
                const int rc =
                    ctx.connection.Run([&](ltp::Client& c) { count = c.log_events().size(); });
                if (rc != kExitOk)
                    return rc;
                if (!Confirm(ctx, ResultTable(),
                             "Clear the server's log of " + std::to_string(count) + " entries?"))
                    return kExitUsage;
            }
            return ctx.connection.Change([](ltp::Client& c) { c.clear_log_events(); });
        };
    })->add_flag("--yes,-y", *yes, "do not ask for confirmation on a terminal");
}

} // namespace

void AddServerCommands(CLI::App& app, ActionSlot& slot) {
    AddInfo(app, slot);
    AddSysInfo(app, slot);
    AddLog(app, slot);
}

} // namespace ltpctl
