// paths (the paths attached to programs).
#include "tools/ltpctl/commands.h"

namespace ltpctl {

namespace {

struct PathArgs {
    std::string program;
    std::string path;
    std::int32_t programID = 0;

    int Check(RunContext& ctx, bool withPath) {
        std::string error;
        if (ParseLong(program, "ProgramID", programID, error) != kExitOk)
            return Refuse(ctx, kExitUsage, error);
        return withPath ? CheckText(ctx, path, "ProgramPath") : kExitOk;
    }
};

void AddPaths(CLI::App& app, ActionSlot& slot) {
    CLI::App* family = FamilyCommand(app, "paths", "add, list and delete the paths of programs");
    family->alias("path");

    {
        auto args = std::make_shared<PathArgs>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::add_path_to_program, slot, {});
        leaf->add_option("ProgramID", args->program, "the program")->type_name("INT")->required();
        leaf->add_option("ProgramPath", args->path, "the path")->required();
        // Real3 and Real4 travel with the path; ProgramID and ProgramPath are the positionals.
        std::shared_ptr<FieldOptions> fields = AddFieldOptions<ltp::ProgramPath>(leaf, true);
        fields->options.erase(fields->options.begin());
        leaf->footer(kDateHelp);
        leaf->callback([&slot, args, fields] {
            slot.action = [args, fields](RunContext& ctx) {
                int rc = args->Check(ctx, true);
                ltp::ProgramPath record;
                if (rc == kExitOk) {
                    record.program_id = args->programID;
                    record.program_path = args->path;
                    rc = ApplyValueOptions(ctx, *fields, record);
                }
                if (rc == kExitOk)
                    rc = ctx.connection.Change(
                        [&](ltp::Client& c) { c.add_path_to_program(record); });
                return rc;
            };
        });
    }

    {
        auto args = std::make_shared<PathArgs>();
        AddOperation(app, ltptools::Op::program_paths, slot,
                     [args] {
                         return [args](RunContext& ctx) {
                             const int rc = args->Check(ctx, false);
                             if (rc != kExitOk)
                                 return rc;
                             return PrintList<ltp::ProgramPath>(
                                 ctx,
                                 [&](ltp::Client& c) { return c.program_paths(args->programID); },
                                 [&](ltp::Client& c, const auto& each) {
                                     c.program_paths_each(args->programID, each);
                                 });
                         };
                     })
            ->add_option("ProgramID", args->program, "the program")
            ->type_name("INT")
            ->required();
    }

    {
        auto args = std::make_shared<PathArgs>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::delete_path_from_program, slot, [args] {
            return [args](RunContext& ctx) {
                int rc = args->Check(ctx, true);
                if (rc == kExitOk)
                    rc = ctx.connection.Change([&](ltp::Client& c) {
                        c.delete_path_from_program(args->programID, args->path);
                    });
                return rc;
            };
        });
        leaf->add_option("ProgramID", args->program, "the program")->type_name("INT")->required();
        leaf->add_option("ProgramPath", args->path, "the path")->required();
    }
}

} // namespace

void AddPathCommands(CLI::App& app, ActionSlot& slot) {
    AddPaths(app, slot);
}

} // namespace ltpctl
