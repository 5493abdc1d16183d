// What every command family shares: the run context an action gets, the slot the parsed
// subcommand leaves its action in, and helpers for keys, record options and results.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/common/operations.h"
#include "tools/ltpctl/connection.h"
#include "tools/ltpctl/exit_codes.h"
#include "tools/ltpctl/output.h"
#include "tools/ltpctl/record_fields.h"

namespace ltpctl {

struct RunContext {
    Connection& connection;
    PrintOptions print;
    std::ostream& out;
    bool numberLines = true; // failing batch lines are named by number (not in the shell)
    bool page = true;        // long tables on a terminal may go through the pager
    int printFailure = 0;    // a result could not be shown as asked (an unknown --columns name)
    bool yes = false;        // --yes before the command: nothing is asked
};

using Action = std::function<int(RunContext&)>;

// The parsed subcommand stores what it will do here; it runs after parsing succeeded, so that a
// usage mistake never sends anything.
struct ActionSlot {
    Action action;
};

// Runs the action; a result it could not show as asked fails the command too.
int RunAction(const Action& action, RunContext& ctx);

// Registers one leaf command whose action is made when it is parsed.
CLI::App* AddLeaf(CLI::App* parent, const std::string& name, const std::string& description,
                  ActionSlot& slot, std::function<Action()> makeAction);

// Registers the leaf of one operation of the description: its words ("members groups", or one
// word as "sysinfo"), its help and its earlier spellings as aliases.
CLI::App* AddOperation(CLI::App& app, ltptools::Op op, ActionSlot& slot,
                       std::function<Action()> makeAction);

// The subcommand of parent with that name; creates it (needing a subcommand) when missing.
CLI::App* FamilyCommand(CLI::App& parent, const std::string& name, const std::string& description);

void PrintTable(RunContext& ctx, const ResultTable& table);

// Whether a list is printed as it arrives: the format allows it (ListPrinter::Streams), the
// columns asked for are there, and the output is no terminal that a pager may take.
bool StreamsList(const RunContext& ctx, const std::vector<Column>& columns);

// A list's records printed: walked with each and written as they arrive when StreamsList, else
// fetched whole with list (under the limit of all its records) and printed aligned. A failure
// reports, returns its exit code and keeps the rows already written.
template <class V>
int PrintList(RunContext& ctx, const std::function<std::vector<V>(ltp::Client&)>& list,
              const std::function<void(ltp::Client&, const std::function<void(const V&)>&)>& each) {
    const std::vector<Column> columns = RecordColumns<V>();
    if (!StreamsList(ctx, columns)) {
        std::vector<V> whole;
        const int rc = ctx.connection.Run([&](ltp::Client& c) { whole = list(c); });
        if (rc == kExitOk)
            PrintTable(ctx, ValueListTable(std::move(whole)));
        return rc;
    }
    ListPrinter printer(columns, ctx.print, ctx.out);
    const int rc = ctx.connection.Run([&](ltp::Client& c) {
        each(c, [&](const V& value) { printer.Add(ValueRowTable(columns, value)); });
    });
    printer.Finish(rc == kExitOk);
    return rc;
}

// Reports a problem with the input found before anything was sent; returns rc.
int Refuse(RunContext& ctx, int rc, const std::string& message);

// Text given for an element: checked before sending so that the message names the argument.
int CheckText(RunContext& ctx, const std::string& value, const std::string& name);

// Option help for a record field: its name and kind.
std::string FieldHelp(const FieldInfo& field);
// The same with the field's label first, when it has one.
std::string FieldHelp(const char* record, const FieldInfo& field);
// "--text2", with its label beside it ("--text2,--name") unless the label names another option.
std::string OptionNames(const CLI::App* command, const char* record, const FieldInfo& field);
// TEXT, INT, NUMBER or DATE, as the help shows the option's value.
const char* FieldTypeName(const FieldInfo& field);
// The same after the schema: NAMES for bits, PROGRAM for a reference to a program, MINUTES, ...
std::string FieldTypeName(const char* record, const FieldInfo& field);

// Named options for the fields of a record (all but the key), remembered to fill a record later.
struct FieldOptions {
    std::vector<std::pair<const FieldInfo*, CLI::Option*>> options;
    std::vector<std::string> values;
};

template <class T>
std::shared_ptr<FieldOptions> AddFieldOptions(CLI::App* command, bool skipKey = true) {
    auto fo = std::make_shared<FieldOptions>();
    const auto& fields = RecordFields<T>();
    fo->values.resize(fields.size());
    for (size_t i = skipKey ? 1 : 0; i < fields.size(); ++i) {
        if (!fields[i].sent)
            continue;
        CLI::Option* o = command
                             ->add_option(OptionNames(command, RecordName<T>(), fields[i]),
                                          fo->values[i], FieldHelp(RecordName<T>(), fields[i]))
                             ->type_name(FieldTypeName(RecordName<T>(), fields[i]));
        fo->options.push_back({&fields[i], o});
    }
    return fo;
}

// The value given for a field in the form the schema allows ("Mon-Fri", "read,edit", a
// program's name, "1h30", an empty "none" date) turned into the text SetField reads; a text over
// the server's limit is refused. Returns an exit code with error set (naming option) on failure.
int WireText(const char* record, const FieldInfo& field, const std::string& value,
             const std::string& option, std::string& wire, std::string& error);

// "--text5 (notes)": how a message names the field's option.
std::string OptionForMessage(const char* record, const FieldInfo& field);

// Stores a value given in any form the schema allows into the record's field.
template <class V>
int SetNamedField(V& record, const FieldInfo& field, const std::string& value, std::string& error) {
    std::string wire;
    const int rc = WireText(RecordName<V>(), field, value, OptionForMessage(RecordName<V>(), field),
                            wire, error);
    return rc != kExitOk ? rc : SetField(record, field, wire, OptionName(field), error);
}

// Copies the given options into the record; fields whose option was not given keep their value.
template <class V> int ApplyValueOptions(RunContext& ctx, const FieldOptions& fo, V& record) {
    const auto& fields = RecordFields<V>();
    for (const auto& [field, option] : fo.options) {
        if (option->count() == 0)
            continue;
        const size_t index = static_cast<size_t>(field - fields.data());
        std::string error;
        const int rc = SetNamedField(record, *field, fo.values[index], error);
        if (rc != kExitOk)
            return Refuse(ctx, rc, error);
    }
    return kExitOk;
}

// True when a destructive command should ask first: no --yes was given before the command, and
// standard input and standard error are a terminal. Scripts, pipes and batch files are never asked.
bool AsksForConfirmation(const RunContext& ctx);
// Asks question on stderr and reads the answer; true for "y" or "yes" in any case.
bool AnswersYes(const std::string& question);
// Shows what will go (on stderr, as a table) and asks question; true for a "y" or "yes".
bool Confirm(RunContext& ctx, const ResultTable& going, const std::string& question);

// Footer of the help: how dates are given.
extern const char* const kDateHelp;

} // namespace ltpctl
