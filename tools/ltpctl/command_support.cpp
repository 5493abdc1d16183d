#include "tools/ltpctl/command_support.h"

#include <unistd.h>

#include <cctype>
#include <iostream>
#include <ostream>
#include <sstream>

#include "tools/ltpctl/pager.h"

namespace ltpctl {

const char* const kDateHelp =
    "Dates are ISO-8601 text in UTC: YYYY-MM-DD, YYYY-MM-DDTHH:MM or "
    "YYYY-MM-DDTHH:MM:SS, or with a zone as --local shows them (2026-12-07T13:00+01:00). On the "
    "wire they travel as days since 1899-12-30 with the time of "
    "day as the fraction (2026-12-07T12:00 is 46363.5).";

CLI::App* AddLeaf(CLI::App* parent, const std::string& name, const std::string& description,
                  ActionSlot& slot, std::function<Action()> makeAction) {
    CLI::App* leaf = parent->add_subcommand(name, description);
    leaf->callback([&slot, makeAction]() { slot.action = makeAction(); });
    return leaf;
}

CLI::App* FamilyCommand(CLI::App& parent, const std::string& name, const std::string& description) {
    for (CLI::App* sub : parent.get_subcommands({}))
        if (sub->get_name() == name)
            return sub;
    CLI::App* family = parent.add_subcommand(name, description);
    family->require_subcommand(1);
    return family;
}

bool AsksForConfirmation(const RunContext& ctx) {
    return !ctx.yes && isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
}

bool AnswersYes(const std::string& question) {
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer))
        answer.clear();
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

bool Confirm(RunContext& ctx, const ResultTable& going, const std::string& question) {
    PrintOptions table = ctx.print;
    table.format = OutputFormat::Table;
    if (!going.columns.empty())
        PrintResult(going, table, std::cerr);
    if (AnswersYes(question))
        return true;
    ctx.connection.Report("nothing was changed");
    return false;
}

int RunAction(const Action& action, RunContext& ctx) {
    ctx.printFailure = kExitOk;
    const int rc = action(ctx);
    return rc != kExitOk ? rc : ctx.printFailure;
}

void PrintTable(RunContext& ctx, const ResultTable& table) {
    if (const std::string unknown = UnknownColumns(table, ctx.print); !unknown.empty()) {
        ctx.printFailure = Refuse(ctx, kExitUsage, unknown);
        return;
    }
    std::ostringstream text;
    PrintResult(table, ctx.print, text);
    if (ctx.page)
        WriteOrPage(text.str(), ctx.out);
    else
        ctx.out << text.str();
}

int Refuse(RunContext& ctx, int rc, const std::string& message) {
    ctx.connection.Report(message);
    return rc;
}

int CheckText(RunContext& ctx, const std::string& value, const std::string& name) {
    std::string error;
    const int rc = CheckCarriable(value, name, error);
    return rc == kExitOk ? rc : Refuse(ctx, rc, error);
}

const char* FieldTypeName(const FieldInfo& field) {
    switch (field.kind) {
        case FieldKind::text:
            return "TEXT";
        case FieldKind::integer:
            return "INT";
        case FieldKind::decimal:
            return "NUMBER";
        case FieldKind::date:
            return "DATE";
    }
    return "TEXT";
}

std::string OptionNames(const CLI::App* command, const char* record, const FieldInfo& field) {
    std::string names = OptionName(field);
    const std::string* label = Labels().Label(record, field.name);
    if (!label)
        return names;
    const std::string alias = "--" + *label;
    for (const CLI::App* app = command; app; app = app->get_parent())
        if (app->get_option_no_throw(alias))
            return names; // --host, --format: the global options keep their meaning
    return names + "," + alias;
}

std::string FieldHelp(const char* record, const FieldInfo& field) {
    const std::string* label = Labels().Label(record, field.name);
    return label ? *label + " (" + FieldHelp(field) + ")" : FieldHelp(field);
}

std::string FieldHelp(const FieldInfo& field) {
    switch (field.kind) {
        case FieldKind::text:
            return std::string(field.name) + ": text without '|' or '<'";
        case FieldKind::integer:
            return std::string(field.name) + ": whole number";
        case FieldKind::decimal:
            return std::string(field.name) + ": number";
        case FieldKind::date:
            return std::string(field.name) + ": date, ISO-8601 (YYYY-MM-DD[THH:MM[:SS]])";
    }
    return field.name;
}

} // namespace ltpctl
