// Configuration as code: export the server's state as a YAML file, show what differs from a file,
// and make the server match one. The engine lives in state/; this is the command line around it.
#include "tools/ltpctl/commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include <ltpadmin/client.h>

#include "tools/common/config_error.h"
#include "tools/common/schema.h"
#include "tools/common/value_forms.h"
#include "tools/common/labels.h"
#include "tools/ltpctl/input_file.h"
#include "tools/ltpctl/state/apply.h"
#include "tools/ltpctl/state/export.h"
#include "tools/ltpctl/state/fetch.h"
#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/plan.h"
#include "tools/ltpctl/state/yaml_reader.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace ltpctl {
namespace {

struct ConfigArgs {
    std::string file;
    std::string output;
    std::string shortOutput; // -o FILE
    std::string only;
    std::string labelsFile;
    bool prune = false;
    bool dryRun = false;
    bool yes = false;
    std::size_t pipeline = 1;
    std::shared_ptr<ltptools::Schema> labels = std::make_shared<ltptools::Schema>();
};

ltp::Client ClientFor(const RunContext& ctx) {
    return ltp::Client(ctx.connection.ClientOptions());
}

// The meaning of a field, or of a value that is no field when kind is empty, when it has names.
const ltptools::Meaning* NamedMeaning(const ltptools::Schema& schema, std::string_view kind,
                                      std::string_view wire) {
    const ltptools::Meaning* m = kind.empty() ? schema.Value(wire) : schema.Field(kind, wire);
    return m && (m->kind == ltptools::ValueKind::bits ||
                 m->kind == ltptools::ValueKind::enumeration)
               ? m
               : nullptr;
}

ltpstate::FieldNaming NamingOf(const std::shared_ptr<ltptools::Schema>& schema) {
    ltpstate::FieldNaming naming;
    naming.label = [schema](std::string_view kind, std::string_view wire) {
        const std::string* l = schema->Labels().Label(kind, wire);
        return l ? std::optional<std::string>(*l) : std::nullopt;
    };
    naming.wire = [schema](std::string_view kind, std::string_view label) {
        const std::string* w = schema->Labels().Wire(kind, label);
        return w ? std::optional<std::string>(*w) : std::nullopt;
    };
    naming.showWhole = [schema](std::string_view kind, std::string_view wire, std::int32_t value) {
        const ltptools::Meaning* m = NamedMeaning(*schema, kind, wire);
        return m ? std::optional<std::string>(ltptools::FormatWhole(*schema, *m, value))
                 : std::nullopt;
    };
    naming.readWhole = [schema](std::string_view kind, std::string_view wire,
                                const std::string& text) {
        const ltptools::Meaning* m = NamedMeaning(*schema, kind, wire);
        std::int32_t value = 0;
        std::string error;
        return m && ltptools::ParseWhole(*schema, *m, text, value, error)
                   ? std::optional<std::int32_t>(value)
                   : std::nullopt;
    };
    return naming;
}

// The run's labels (a profile's), or those of the file given; false (reported) when it cannot be
// used.
bool LoadLabels(RunContext& ctx, ConfigArgs& args) {
    if (args.labelsFile.empty()) {
        *args.labels = RunSchema();
        return true;
    }
    try {
        *args.labels = ltptools::Schema::Load(args.labelsFile);
        return true;
    } catch (const ltptools::ConfigError& e) {
        ctx.connection.Report(e.what());
        return false;
    }
}

int Failed(RunContext& ctx, const ltp::Error& e) {
    ctx.connection.Report(e.what());
    return dynamic_cast<const ltp::Refused*>(&e) ? kExitRefused : kExitTransport;
}

// Reads the file and plans against the server; reports and returns an exit code on failure.
int PlanFile(RunContext& ctx, ConfigArgs& args, ltpstate::Plan& plan) {
    if (!LoadLabels(ctx, args))
        return kExitUsage;
    std::string text;
    if (args.file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (std::string error; !ReadInputFile(args.file, text, error)) {
        return Refuse(ctx, kExitUsage, error);
    }
    const ltpstate::FieldNaming naming = NamingOf(args.labels);
    try {
        const ltpstate::State desired = ltpstate::ReadYaml(text, naming);
        // The file's text is all in `desired` now: released before the server's lists come.
        std::string().swap(text);
        ltp::Client client = ClientFor(ctx);
        plan = ltpstate::PlanAgainst(client, desired, args.prune, naming);
    } catch (const ltpstate::FileError& e) {
        return Refuse(ctx, kExitUncarried, args.file + ": " + e.what());
    } catch (const ltp::Error& e) {
        return Failed(ctx, e);
    }
    return kExitOk;
}

bool ParseFamilies(const std::string& text, std::vector<ltpstate::Family>& families,
                   std::string& error) {
    std::istringstream in(text);
    std::string name;
    while (std::getline(in, name, ',')) {
        bool found = false;
        for (const auto& [family, familyName] : ltpstate::Families())
            if (name == familyName) {
                families.push_back(family);
                found = true;
            }
        if (!found) {
            error = "--only: \"" + name +
                    "\" is not a family (information, users, groups, "
                    "programs, channels, globals, mtp)";
            return false;
        }
    }
    return true;
}

int Export(RunContext& ctx, ConfigArgs& args) {
    std::vector<ltpstate::Family> families;
    std::string error;
    if (OutputFormat format; ParseOutputFormat(args.shortOutput, format))
        return Refuse(ctx, kExitUsage,
                      "export: -o " + args.shortOutput +
                          " is an output format, and export writes YAML only; name the file "
                          "with --output FILE");
    if (!args.shortOutput.empty())
        args.output = args.shortOutput;
    if (args.only.empty()) {
        for (const auto& f : ltpstate::Families())
            families.push_back(f.first);
    } else if (!ParseFamilies(args.only, families, error)) {
        return Refuse(ctx, kExitUsage, error);
    }
    if (!LoadLabels(ctx, args))
        return kExitUsage;
    const bool toFile = !args.output.empty() && args.output != "-";
    // Written to a spool (beside the target, or a temporary file for standard output) and only
    // then moved over the target or copied out, so that a failed export leaves nothing half
    // written, and a list the server sends out of order can be written again, sorted.
    const std::string temporary = toFile ? args.output + ".part" : std::string();
    auto open = [&] { return toFile ? std::fopen(temporary.c_str(), "wb+") : std::tmpfile(); };
    std::FILE* spool = open();
    if (!spool)
        return Refuse(ctx, kExitUsage,
                      "cannot write '" + (toFile ? temporary : std::string("a temporary file")) +
                          "'");
    auto discard = [&] {
        std::fclose(spool);
        if (toFile)
            std::remove(temporary.c_str());
    };
    auto sink = [&spool](std::string_view piece) {
        std::fwrite(piece.data(), 1, piece.size(), spool);
    };
    const ltpstate::FieldNaming naming = NamingOf(args.labels);
    try {
        try {
            ltp::Client client = ClientFor(ctx);
            ltpstate::Export(client, families, naming, sink);
        } catch (const ltpstate::YamlWriter::OutOfOrder&) {
            std::fclose(spool);
            spool = open();
            if (!spool)
                return Refuse(ctx, kExitUsage, "cannot write a temporary file");
            ltp::Client client = ClientFor(ctx);
            ltpstate::State state = ltpstate::Fetch(client, families);
            ltpstate::KeepOnly(state, families);
            sink(ltpstate::WriteYaml(state, naming));
        }
    } catch (const ltp::Error& e) {
        discard();
        return Failed(ctx, e);
    }
    if (std::fflush(spool) != 0 || std::ferror(spool)) {
        discard();
        return Refuse(ctx, kExitUsage,
                      "cannot write '" + (toFile ? temporary : std::string("a temporary file")) +
                          "'");
    }
    if (!toFile) {
        std::rewind(spool);
        char buffer[64 * 1024];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, spool)) > 0;)
            ctx.out.write(buffer, static_cast<std::streamsize>(n));
        std::fclose(spool);
        return kExitOk;
    }
    std::fclose(spool);
    if (std::rename(temporary.c_str(), args.output.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Refuse(ctx, kExitUsage, "cannot write '" + args.output + "'");
    }
    return kExitOk;
}

void PrintPlan(RunContext& ctx, const ltpstate::Plan& plan) {
    for (const ltpstate::Step& step : plan.steps)
        ctx.out << ltpstate::Describe(step) << '\n';
}

// What only the server holds, when the file's families are not pruned: never changed, but shown.
void PrintUnmanaged(RunContext& ctx, const ltpstate::Plan& plan) {
    for (const ltpstate::Step& step : plan.unmanaged)
        ctx.out << "? " << step.subject
                << " (only on the server: left alone, --prune deletes it)\n";
}

// "N to add, M to change, K to delete, U unmanaged"
std::string Summary(const ltpstate::Plan& plan) {
    std::size_t counts[3] = {0, 0, 0};
    for (const ltpstate::Step& step : plan.steps)
        ++counts[static_cast<int>(step.kind)];
    return std::to_string(counts[0]) + " to add, " + std::to_string(counts[1]) + " to change, " +
           std::to_string(counts[2]) + " to delete, " + std::to_string(plan.unmanaged.size()) +
           " unmanaged";
}

std::string Counted(std::size_t n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

int Diff(RunContext& ctx, ConfigArgs& args) {
    ltpstate::Plan plan;
    // Trouble must not read as "differs" (1): it is 2 for the file, 3 for the server.
    if (const int rc = PlanFile(ctx, args, plan); rc != kExitOk)
        return rc == kExitRefused ? kExitTransport : rc == kExitUncarried ? kExitUsage : rc;
    PrintPlan(ctx, plan);
    PrintUnmanaged(ctx, plan);
    ctx.out << Summary(plan) << '\n';
    // What only the server holds is drift too, with or without --prune.
    return plan.steps.empty() && plan.unmanaged.empty() ? kExitOk : 1;
}

int Apply(RunContext& ctx, ConfigArgs& args) {
    ltpstate::Plan plan;
    if (const int rc = PlanFile(ctx, args, plan); rc != kExitOk)
        return rc;
    if (plan.steps.empty()) {
        ctx.out << "no changes: the server matches " << args.file << '\n';
        if (!plan.unmanaged.empty())
            ctx.out << Summary(plan) << " (left alone without --prune)\n";
        return kExitOk;
    }
    // The global --dry-run shows the same plan: it names each change better than its requests.
    if (args.dryRun || ctx.connection.Settings().dryRun) {
        PrintPlan(ctx, plan);
        ctx.out << plan.steps.size() << " changes to make (dry run: nothing sent)\n";
        return kExitOk;
    }
    if (!args.yes && !ctx.yes) {
        PrintPlan(ctx, plan);
        const auto deletes = static_cast<std::size_t>(
            std::count_if(plan.steps.begin(), plan.steps.end(), [](const ltpstate::Step& step) {
                return step.kind == ltpstate::ChangeKind::remove;
            }));
        // Standard input holds the file, or no one is there to answer: nothing is asked.
        if (args.file == "-" || !AsksForConfirmation(ctx)) {
            ctx.connection.Report(
                std::string("nothing was changed: ") +
                (args.file == "-" ? "the file is standard input, so nothing can be asked"
                                  : "no terminal to ask on") +
                "; --yes is needed to make " + Counted(plan.steps.size(), "change") +
                (deletes > 0 ? " (" + Counted(deletes, "deletion") + " among them)" : ""));
            return kExitUsage;
        }
        if (!AnswersYes("make " + Counted(plan.steps.size(), "change") + "?")) {
            ctx.connection.Report("nothing was changed: the changes were declined");
            return kExitUsage;
        }
    }
    ltp::Client client = ClientFor(ctx);
    const ltpstate::ApplyResult result =
        ltpstate::ApplyPipelined(client, plan, args.pipeline, [&](const ltpstate::Step& s) {
            ctx.out << ltpstate::Describe(s) << '\n';
        });
    if (!result.failed) {
        ctx.out << result.done << " changes made\n";
        return kExitOk;
    }
    if (args.pipeline <= 1) {
        const ltpstate::Step& stopped = plan.steps[result.done];
        ctx.connection.Report("stopped at \"" + ltpstate::Describe(stopped) +
                              "\": " + result.error);
        ctx.out << result.done << " of " << plan.steps.size()
                << " changes made; run apply again to go on from there\n";
        return result.refused ? kExitRefused : kExitTransport;
    }
    // Pipelined, steps after the first failure may have been made too: each one not made is
    // named, and whether it may have been.
    std::size_t counts[3] = {0, 0, 0};
    for (const ltpstate::StepTrouble& t : result.troubles) {
        ++counts[static_cast<int>(t.kind)];
        const std::string step = "\"" + ltpstate::Describe(plan.steps[t.step]) + "\"";
        if (t.kind == ltpstate::StepTrouble::Kind::refused)
            ctx.connection.Report("refused " + step + ": " + t.error);
        else if (t.kind == ltpstate::StepTrouble::Kind::unknown)
            ctx.connection.Report("no answer to " + step + " (it may have been made): " + t.error);
    }
    ctx.out << result.done << " of " << plan.steps.size() << " changes made, " << counts[0]
            << " refused, " << counts[1] << " without an answer, " << counts[2]
            << " not sent; run apply again to go on from there\n";
    return counts[1] > 0 || !result.refused ? kExitTransport : kExitRefused;
}

// --labels-file (global) names the labels here as everywhere; "--labels FILE", the old spelling,
// is kept: the flag --labels (label keys for JSON and CSV) means nothing to a YAML file.
void AddLabelsOption(CLI::App* command, ConfigArgs& args) {
    command->add_option("--labels", args.labelsFile)->group("");
}

} // namespace

void AddConfigCommands(CLI::App& app, ActionSlot& slot) {
    auto args = std::make_shared<ConfigArgs>();
    CLI::App* exportCommand =
        AddLeaf(&app, "export", "write the server's state as a YAML configuration file", slot,
                [args] { return [args](RunContext& ctx) { return Export(ctx, *args); }; });
    exportCommand->add_option("--only", args->only,
                              "families to write, comma-separated: information, users, groups, "
                              "programs, channels, globals, mtp");
    exportCommand->add_option("--output", args->output, "write to FILE instead of stdout")
        ->type_name("FILE");
    // -o is --format everywhere; "-o FILE" stays the file here, where a format means nothing.
    exportCommand->add_option("-o", args->shortOutput)->group("");
    AddLabelsOption(exportCommand, *args);

    CLI::App* diff =
        AddLeaf(&app, "diff",
                "show the changes that would make the server match FILE; exit 0: none, 1: some",
                slot, [args] { return [args](RunContext& ctx) { return Diff(ctx, *args); }; });
    diff->add_option("FILE", args->file, "the configuration ('-': standard input)")->required();
    diff->add_flag("--prune", args->prune, "also show deletes of what FILE does not hold");
    AddLabelsOption(diff, *args);

    CLI::App* apply = AddLeaf(&app, "apply", "make the server match FILE", slot, [args] {
        return [args](RunContext& ctx) { return Apply(ctx, *args); };
    });
    apply->add_option("FILE", args->file, "the configuration ('-': standard input)")->required();
    apply->add_flag("--prune", args->prune, "delete what FILE does not hold");
    apply->add_flag("--dry-run", args->dryRun, "show the changes, send none");
    apply->add_flag("--yes,-y", args->yes, "do not ask before making the changes");
    apply
        ->add_option("--pipeline", args->pipeline,
                     "send up to N changes before their answers (1: one at a time); only for "
                     "servers known to answer in order while they read ahead")
        ->type_name("N")
        ->check(CLI::Range(std::size_t{1}, std::size_t{4096}));
    AddLabelsOption(apply, *args);
}

} // namespace ltpctl
