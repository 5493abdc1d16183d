#include "tools/ltpctl/command_support.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
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

namespace {

std::pair<std::string, std::string> SplitWords(const std::string& words) {
    const std::size_t blank = words.find(' ');
    if (blank == std::string::npos)
        return {words, std::string()};
    return {words.substr(0, blank), words.substr(blank + 1)};
}

void AddAlias(CLI::App* command, const std::string& alias) {
    if (!alias.empty() && !command->check_name(alias))
        command->alias(alias);
}

} // namespace

CLI::App* AddOperation(CLI::App& app, ltptools::Op op, ActionSlot& slot,
                       std::function<Action()> makeAction) {
    const ltptools::OperationWords words = ltptools::RowWords(ltptools::Operation(op));
    const auto [family, verb] = SplitWords(words.command);
    if (verb.empty()) {
        CLI::App* leaf = AddLeaf(&app, family, words.summary, slot, std::move(makeAction));
        for (const std::string& alias : words.aliases)
            AddAlias(leaf, alias);
        return leaf;
    }
    CLI::App* parent = FamilyCommand(app, family, words.summary);
    // The same words may serve two operations (rights of users and of groups): one leaf.
    for (CLI::App* sub : parent->get_subcommands({}))
        if (sub->get_name() == verb)
            return sub;
    CLI::App* leaf = AddLeaf(parent, verb, words.summary, slot, std::move(makeAction));
    for (const std::string& alias : words.aliases) {
        const auto [oldFamily, oldVerb] = SplitWords(alias);
        AddAlias(parent, oldFamily);
        if (oldVerb != verb)
            AddAlias(leaf, oldVerb);
    }
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

bool StreamsList(const RunContext& ctx, const std::vector<Column>& columns) {
    ResultTable heading;
    heading.columns = columns;
    return ListPrinter::Streams(ctx.print) && !(ctx.page && MayPage(ctx.out)) &&
           UnknownColumns(heading, ctx.print).empty();
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

std::string FieldTypeName(const char* record, const FieldInfo& field) {
    const ltptools::FieldMeaning* m = RunSchema().Field(record, field.name);
    if (!m)
        return FieldTypeName(field);
    switch (m->kind) {
        case ltptools::ValueKind::bits:
            return "NAMES";
        case ltptools::ValueKind::enumeration:
            return "NAME";
        case ltptools::ValueKind::minutes:
            return "MINUTES";
        case ltptools::ValueKind::ref: {
            std::string kind = m->ref;
            for (char& c : kind)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return kind;
        }
        default:
            return FieldTypeName(field);
    }
}

namespace {

std::string Listed(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names)
        list += (list.empty() ? "" : ", ") + n;
    return list;
}

// What the schema says of the field's values, for its help: kind, limit, who gives it.
std::string MeaningHelp(const ltptools::FieldMeaning& m, const FieldInfo& field) {
    const ltptools::Schema& schema = RunSchema();
    std::string text;
    switch (m.kind) {
        case ltptools::ValueKind::bits:
            if (const ltptools::BitNames* bits = schema.Bits(m.bits)) {
                text = std::string(field.name) + ": " + m.bits + ", any of " + Listed(bits->names);
                text += bits->ranges && bits->names.size() >= 3
                            ? " (" + bits->names.front() + "-" + bits->names[2] + "," +
                                  bits->names.back() + ")"
                            : " (" + bits->names.front() + "," + bits->names.back() + ")";
            }
            break;
        case ltptools::ValueKind::enumeration:
            if (const ltptools::EnumNames* names = schema.Enum(m.enumeration)) {
                std::vector<std::string> all;
                for (const auto& entry : *names)
                    all.push_back(entry.second);
                text = std::string(field.name) + ": one of " + Listed(all);
            }
            break;
        case ltptools::ValueKind::minutes:
            text = std::string(field.name) + ": minutes (90, 1h30 or 1:30)";
            break;
        case ltptools::ValueKind::ref:
            text = std::string(field.name) + ": a " + m.ref + ", by " +
                   (field.kind == FieldKind::text ? "key" : "number") + " or name";
            break;
        default:
            break;
    }
    if (text.empty())
        text = FieldHelp(field);
    if (m.max)
        text += ", at most " + std::to_string(*m.max) + " bytes";
    if (m.none && m.kind == ltptools::ValueKind::date)
        text += "; empty for none";
    if (m.assigned)
        text += "; given by the server";
    if (!m.unit.empty())
        text += ", in " + m.unit;
    return text;
}

} // namespace

std::string FieldHelp(const char* record, const FieldInfo& field) {
    const std::string* label = Labels().Label(record, field.name);
    const ltptools::FieldMeaning* m = RunSchema().Field(record, field.name);
    const std::string detail = m ? MeaningHelp(*m, field) : FieldHelp(field);
    const std::string help = m && !m->help.empty() ? ": " + m->help : "";
    return label ? *label + help + " (" + detail + ")"
                 : (help.empty() ? detail : detail + " (" + m->help + ")");
}

std::string OptionForMessage(const char* record, const FieldInfo& field) {
    const std::string* label = Labels().Label(record, field.name);
    return OptionName(field) + (label ? " (" + *label + ")" : "");
}

int WireText(const char* record, const FieldInfo& field, const std::string& value,
             const std::string& option, std::string& wire, std::string& error) {
    wire = value;
    const ltptools::FieldMeaning* m = RunSchema().Field(record, field.name);
    if (!m)
        return kExitOk;
    if (field.kind == FieldKind::text && !ltptools::CheckLimit(*m, option, value, error))
        return kExitUncarried;
    switch (m->kind) {
        case ltptools::ValueKind::bits:
        case ltptools::ValueKind::enumeration: {
            std::int32_t v = 0;
            if (!ltptools::ParseWhole(RunSchema(), *m, value, v, error)) {
                error = option + ": " + error;
                return kExitUsage;
            }
            wire = std::to_string(v);
            return kExitOk;
        }
        case ltptools::ValueKind::minutes:
        case ltptools::ValueKind::date: {
            if (field.kind == FieldKind::integer || field.kind == FieldKind::text)
                break;
            // A date field reads ISO dates itself, to the fraction of a second; only "none"
            // needs saying.
            const bool blank = value.find_first_not_of(" \t") == std::string::npos;
            if (field.kind == FieldKind::date && !(blank && m->none))
                break;
            double v = 0;
            if (!ltptools::ParseNumber(*m, value, v, error)) {
                error = option + ": " + error;
                return kExitUsage;
            }
            if (CheckDecimal(v, option, error) != kExitOk)
                return kExitUncarried;
            if (field.kind == FieldKind::date) {
                wire = ltptools::FormatIsoDate(v);
            } else {
                char text[64];
                std::snprintf(text, sizeof text, "%.17g", v); // a date's seconds need the digits
                wire = text;
            }
            return kExitOk;
        }
        case ltptools::ValueKind::ref: {
            const bool textKey = field.kind == FieldKind::text;
            std::string trimmed = value;
            if (!textKey && !trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+'))
                return kExitOk; // a signed number, as it is: SetField judges it
            std::string key;
            bool numeric = !value.empty();
            for (const char c : value)
                numeric = numeric && std::isdigit(static_cast<unsigned char>(c));
            if (value.empty() || (numeric && !textKey))
                return kExitOk;
            const std::vector<ltptools::RefCandidate> candidates = RefCandidates(m->ref);
            if (ltptools::ResolveRef(value, candidates, m->ref, key, error)) {
                wire = key;
                return kExitOk;
            }
            // An unknown channel key goes as it is: the server says whether it exists.
            if (textKey && error.rfind("no ", 0) == 0)
                return kExitOk;
            error = option + ": " + error;
            return kExitUsage;
        }
        default:
            break;
    }
    return kExitOk;
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
