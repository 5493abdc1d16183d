// mtp (the register of MTP servers) and paths (the paths attached to programs).
#include "tools/ltpctl/catalogue_commands.h"
#include "tools/ltpctl/commands.h"

namespace ltpctl {

template <> struct Catalogue<ltp::MtpServer> {
    static constexpr const char* kFamily = "mtp";
    static constexpr const char* kAlias = "mtpsvr";
    static constexpr const char* kNoun = "MTP server";
    static constexpr const char* kKeyName = "MTPSVRNAME";
    static constexpr bool kNumericKey = false;
    static std::vector<ltp::MtpServer> List(ltp::Client& c) { return c.mtp_servers(); }
    static void Each(ltp::Client& c, const std::function<void(const ltp::MtpServer&)>& each) {
        c.mtp_servers_each(each);
    }
    // The server's lookup takes a channel id; the key here is the server's name, so it is
    // looked for by name in the register. When it is not there the server is still asked, so
    // that its own answer (a 404) is what the report shows, but a server of another name that
    // serves a channel of that id is not taken for it.
    static std::optional<ltp::MtpServer> Find(ltp::Client& c, std::string_view k) {
        for (ltp::MtpServer& server : c.mtp_servers())
            if (server.mtp_svr_name == k)
                return std::move(server);
        std::optional<ltp::MtpServer> answer = c.find_mtp_server(k);
        if (answer && answer->mtp_svr_name == k)
            return answer;
        return std::nullopt;
    }
    static void Add(ltp::Client& c, ltp::MtpServer& r) { c.add_mtp_server(r); }
    static void Modify(ltp::Client& c, const ltp::MtpServer& r) { c.modify_mtp_server(r); }
    static void Delete(ltp::Client& c, std::string_view k) { c.delete_mtp_server(k); }
};

namespace {

struct PathArgs {
    std::string program;
    std::string path;
    std::int32_t programID = 0;

    int Check(RunContext& ctx, bool withPath) {
        std::string error;
        if (ParseLong(program, "PROGRAMID", programID, error) != kExitOk)
            return Refuse(ctx, kExitUsage, error);
        return withPath ? CheckText(ctx, path, "PATH") : kExitOk;
    }
};

void AddPaths(CLI::App& app, ActionSlot& slot) {
    CLI::App* family = FamilyCommand(app, "paths", "add, list and delete the paths of programs");
    family->alias("path");

    {
        auto args = std::make_shared<PathArgs>();
        CLI::App* leaf = AddLeaf(family, "add", "attach a path to a program", slot, {});
        leaf->add_option("PROGRAMID", args->program, "the program")->type_name("INT")->required();
        leaf->add_option("PATH", args->path, "the path")->required();
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
        AddLeaf(family, "list", "list the paths of a program", slot,
                [args] {
                    return [args](RunContext& ctx) {
                        const int rc = args->Check(ctx, false);
                        if (rc != kExitOk)
                            return rc;
                        return PrintList<ltp::ProgramPath>(
                            ctx, [&](ltp::Client& c) { return c.program_paths(args->programID); },
                            [&](ltp::Client& c, const auto& each) {
                                c.program_paths_each(args->programID, each);
                            });
                    };
                })
            ->add_option("PROGRAMID", args->program, "the program")
            ->type_name("INT")
            ->required();
    }

    {
        auto args = std::make_shared<PathArgs>();
        CLI::App* leaf = AddLeaf(family, "delete", "remove a path from a program", slot, [args] {
            return [args](RunContext& ctx) {
                int rc = args->Check(ctx, true);
                if (rc == kExitOk)
                    rc = ctx.connection.Change([&](ltp::Client& c) {
                        c.delete_path_from_program(args->programID, args->path);
                    });
                return rc;
            };
        });
        leaf->add_option("PROGRAMID", args->program, "the program")->type_name("INT")->required();
        leaf->add_option("PATH", args->path, "the path")->required();
    }
}

} // namespace

void AddMtpPathCommands(CLI::App& app, ActionSlot& slot) {
    AddCatalogue<ltp::MtpServer>(app, slot);
    AddPaths(app, slot);
}

} // namespace ltpctl
