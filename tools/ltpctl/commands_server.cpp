// The server as a whole: its information text, its system information and its log.
#include "tools/common/display.h"
#include "tools/ltpctl/commands.h"
#include "tools/ltpctl/input_file.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>

namespace ltpctl {
namespace {

struct InfoArgs {
    std::string text;
    std::string file;
};

void AddInfo(CLI::App& app, ActionSlot& slot) {
    CLI::App* family = FamilyCommand(app, "info", "read and send the server's information text");

    AddLeaf(family, "get", "print the server's information text", slot, [] {
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
    CLI::App* set = AddLeaf(family, "set", "send an information text to the server", slot, [args] {
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
            return ctx.connection.Run([&](ltp::Client& c) { c.add_information(text); });
        };
    });
    CLI::Option* text = set->add_option("TEXT", args->text, "the text");
    CLI::Option* file =
        set->add_option("--file,-f", args->file, "read the text from a file ('-': standard input)");
    text->excludes(file);
    set->require_option(1);
}

void AddSysInfo(CLI::App& app, ActionSlot& slot) {
    AddLeaf(&app, "sysinfo", "show the server's system information", slot, [] {
        return [](RunContext& ctx) {
            ltp::SysInfo info;
            const int rc = ctx.connection.Run([&](ltp::Client& c) { info = c.sys_info(); });
            if (rc == kExitOk)
                PrintTable(ctx, ValueRecordTable(info));
            return rc;
        };
    });
}

void AddLog(CLI::App& app, ActionSlot& slot) {
    CLI::App* family = FamilyCommand(app, "log", "list and clear the server's log");
    AddLeaf(family, "list", "list the server's log events", slot, [] {
        return [](RunContext& ctx) {
            std::vector<ltp::LogEvent> events;
            const int rc = ctx.connection.Run([&](ltp::Client& c) { events = c.log_events(); });
            if (rc == kExitOk)
                PrintTable(ctx, ValueListTable(events));
            return rc;
        };
    });
    auto yes = std::make_shared<bool>(false);
    AddLeaf(family, "clear", "empty the server's log", slot, [yes] {
        return [yes](RunContext& ctx) -> int {
            if (!*yes && AsksForConfirmation()) {
                std::size_t count = 0;
                const int rc =
                    ctx.connection.Run([&](ltp::Client& c) { count = c.log_events().size(); });
                if (rc != kExitOk)
                    return rc;
                if (!Confirm(ctx, ResultTable(),
                             "Clear the server's log of " + std::to_string(count) + " entries?"))
                    return kExitUsage;
            }
            return ctx.connection.Run([](ltp::Client& c) { c.clear_log_events(); });
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
