// rights of users and groups on programs, a user's permission, and the program tree (move, copy,
// apply-permission).
#include "tools/ltpctl/commands.h"

#include <type_traits>

#include <nlohmann/json.hpp>

namespace ltpctl {
namespace {

// "user" or "group", its identifier, the program and (for add and modify) the rights value.
struct Grant {
    std::string holder = "user";
    std::string id;
    std::string program;
    std::string rights;
    std::int32_t programID = 0;
    std::int32_t rightsValue = 0;

    bool IsUser() const { return holder == "user"; }
    // The schema's name of the value: "user_rights" or "group_rights".
    std::string Meaning() const { return IsUser() ? "user_rights" : "group_rights"; }

    // A number, or named bits ("read,edit") when the schema names them.
    int ParseRights(std::string& error) {
        const ltptools::Meaning* m = RunSchema().Value(Meaning());
        if (!m)
            return ParseLong(rights, "RIGHTS", rightsValue, error);
        if (ltptools::ParseWhole(RunSchema(), *m, rights, rightsValue, error))
            return kExitOk;
        error = "RIGHTS: " + error;
        return kExitUsage;
    }

    int Check(RunContext& ctx, bool withRights) {
        int rc = CheckText(ctx, id, IsUser() ? "UserID" : "GroupID");
        std::string error;
        if (rc == kExitOk)
            rc = ParseLong(program, "ProgramID", programID, error);
        if (rc == kExitOk && withRights)
            rc = ParseRights(error);
        if (rc != kExitOk && !error.empty())
            return Refuse(ctx, rc, error);
        return rc;
    }
};

std::string RightsHelp(const Grant& g) {
    const ltptools::Meaning* m = RunSchema().Value(g.Meaning());
    const ltptools::BitNames* bits = m ? RunSchema().Bits(m->bits) : nullptr;
    if (!bits)
        return "the rights value (a whole number)";
    std::string names;
    for (const std::string& n : bits->names)
        names += (names.empty() ? "" : ", ") + n;
    return "the rights: any of " + names + " (" + bits->names.front() + "," + bits->names.back() +
           "), or a whole number";
}

void AddGrantArgs(CLI::App* leaf, Grant& g, bool withRights) {
    leaf->add_option("KIND", g.holder, "user or group")
        ->required()
        ->check(CLI::IsMember({"user", "group"}));
    leaf->add_option("ID", g.id, "the user's or the group's identifier")->required();
    leaf->add_option("ProgramID", g.program, "the program")->type_name("INT")->required();
    if (withRights)
        leaf->add_option("RIGHTS", g.rights, RightsHelp(g))
            ->type_name(RunSchema().Value(g.Meaning()) ? "NAMES" : "INT")
            ->required();
}

std::int32_t RightsOf(ltp::Client& c, const ltp::User& user, std::int32_t program) {
    return c.user_rights(user.user_id, program);
}
std::int32_t RightsOf(ltp::Client& c, const ltp::Group& group, std::int32_t program) {
    return c.group_rights(group.group_id, program);
}

// The holders of grants on a program with what each was granted: a list of holders alone does
// not answer "who may do what".
template <class V>
ResultTable GrantTable(ltp::Client& c, std::int32_t program, std::vector<V> holders) {
    const char* column = std::is_same_v<V, ltp::User> ? "UserRights" : "GroupRights";
    auto rights = std::make_shared<std::vector<std::int32_t>>();
    for (const V& holder : holders)
        rights->push_back(RightsOf(c, holder, program));
    ResultTable table = ValueListTable(std::move(holders));
    table.columns.push_back({column, true});
    for (std::size_t i = 0; i < table.rows.size(); ++i)
        table.rows[i].push_back(std::to_string((*rights)[i]));
    table.records = [records = table.records, rights, column](const ltptools::FieldLabels* labels) {
        nlohmann::ordered_json list = records(labels);
        for (std::size_t i = 0; i < list.size() && i < rights->size(); ++i)
            list[i][column] = (*rights)[i];
        return list;
    };
    return table;
}

void AddRights(CLI::App& app, ActionSlot& slot) {
    CLI::App* family =
        FamilyCommand(app, "rights", "read, grant, change and revoke rights on programs");
    family->alias("right");

    {
        auto g = std::make_shared<Grant>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::user_rights, slot, [g] {
            return [g](RunContext& ctx) {
                int rc = g->Check(ctx, false);
                std::int32_t value = 0;
                if (rc == kExitOk)
                    rc = ctx.connection.Run([&](ltp::Client& c) {
                        value = g->IsUser() ? c.user_rights(g->id, g->programID)
                                            : c.group_rights(g->id, g->programID);
                    });
                if (rc == kExitOk)
                    PrintTable(ctx, MeaningTable(g->IsUser() ? "UserRights" : "GroupRights", value,
                                                 g->Meaning()));
                return rc;
            };
        });
        AddGrantArgs(leaf, *g, false);
    }

    // add and modify take the same arguments and differ only in the call.
    for (const bool adding : {true, false}) {
        auto g = std::make_shared<Grant>();
        CLI::App* leaf = AddOperation(
            app, adding ? ltptools::Op::add_user_rights : ltptools::Op::modify_user_rights, slot,
            [g, adding] {
                return [g, adding](RunContext& ctx) {
                    int rc = g->Check(ctx, true);
                    if (rc == kExitOk)
                        rc = ctx.connection.Change([&](ltp::Client& c) {
                            const std::string& id = g->id;
                            if (g->IsUser() && adding)
                                c.add_user_rights(id, g->programID, g->rightsValue);
                            else if (g->IsUser())
                                c.modify_user_rights(id, g->programID, g->rightsValue);
                            else if (adding)
                                c.add_group_rights(id, g->programID, g->rightsValue);
                            else
                                c.modify_group_rights(id, g->programID, g->rightsValue);
                        });
                    return rc;
                };
            });
        AddGrantArgs(leaf, *g, true);
    }

    {
        auto g = std::make_shared<Grant>();
        CLI::App* leaf = AddOperation(app, ltptools::Op::delete_user_rights, slot, [g] {
            return [g](RunContext& ctx) {
                int rc = g->Check(ctx, false);
                if (rc == kExitOk)
                    rc = ctx.connection.Change([&](ltp::Client& c) {
                        if (g->IsUser())
                            c.delete_user_rights(g->id, g->programID);
                        else
                            c.delete_group_rights(g->id, g->programID);
                    });
                return rc;
            };
        });
        AddGrantArgs(leaf, *g, false);
    }

    // The holders of grants on a program.
    for (const bool users : {true, false}) {
        auto program = std::make_shared<std::string>();
        AddOperation(app, users ? ltptools::Op::granted_users : ltptools::Op::granted_groups, slot,
                     [program, users] {
                         return [program, users](RunContext& ctx) {
                             std::int32_t id = 0;
                             std::string error;
                             if (ParseLong(*program, "ProgramID", id, error) != kExitOk)
                                 return Refuse(ctx, kExitUsage, error);
                             ResultTable table;
                             const int rc = ctx.connection.Run([&](ltp::Client& c) {
                                 table = users ? GrantTable(c, id, c.granted_users(id))
                                               : GrantTable(c, id, c.granted_groups(id));
                             });
                             if (rc == kExitOk)
                                 PrintTable(ctx, table);
                             return rc;
                         };
                     })
            ->add_option("ProgramID", *program, "the program")
            ->type_name("INT")
            ->required();
    }
}

void AddPermission(CLI::App& app, ActionSlot& slot) {
    auto g = std::make_shared<Grant>();
    CLI::App* leaf = AddOperation(app, ltptools::Op::user_permission, slot, [g] {
        return [g](RunContext& ctx) {
            int rc = g->Check(ctx, false);
            std::int32_t value = 0;
            if (rc == kExitOk)
                rc = ctx.connection.Run(
                    [&](ltp::Client& c) { value = c.user_permission(g->id, g->programID); });
            if (rc == kExitOk)
                PrintTable(ctx, MeaningTable("UserPermission", value, "permission"));
            return rc;
        };
    });
    leaf->add_option("UserID", g->id, "the user")->required();
    leaf->add_option("ProgramID", g->program, "the program")->type_name("INT")->required();
}

struct TreeArgs {
    std::string first;
    std::string second;
    bool yes = false;
};

// On a terminal, shows the programs from root down and asks; true to go on. rc is set when the
// programs could not be read or the answer was no.
bool ConfirmSubtree(RunContext& ctx, bool yes, std::int32_t root, const std::string& question,
                    int& rc) {
    if (yes || !AsksForConfirmation(ctx))
        return true;
    ResultTable going;
    rc = ProgramSubtree(ctx, root, going);
    if (rc != kExitOk)
        return false;
    const std::size_t below = going.rows.size() - 1;
    std::string text = question;
    const std::string count = std::to_string(below) + (below == 1 ? " program" : " programs");
    for (std::size_t at; (at = text.find("{below}")) != std::string::npos;)
        text.replace(at, 7, count);
    if (Confirm(ctx, going, text))
        return true;
    rc = kExitUsage;
    return false;
}

void AddProgramTree(CLI::App& app, ActionSlot& slot) {
    for (const bool moving : {true, false}) {
        auto args = std::make_shared<TreeArgs>();
        CLI::App* leaf = AddOperation(
            app, moving ? ltptools::Op::move_program : ltptools::Op::copy_program, slot,
            [args, moving] {
                return [args, moving](RunContext& ctx) {
                    std::int32_t program = 0, parent = 0;
                    std::string error;
                    if (ParseLong(args->first, "ProgramID", program, error) != kExitOk ||
                        ParseLong(args->second, "ParentID", parent, error) != kExitOk)
                        return Refuse(ctx, kExitUsage, error);
                    int rc = kExitOk;
                    if (moving && !ConfirmSubtree(ctx, args->yes, program,
                                                  "Move program " + std::to_string(program) +
                                                      " and the {below} below it under " +
                                                      std::to_string(parent) + "?",
                                                  rc))
                        return rc;
                    return ctx.connection.Change([&](ltp::Client& c) {
                        if (moving)
                            c.move_program(program, parent);
                        else
                            c.copy_program(program, parent);
                    });
                };
            });
        leaf->add_option("ProgramID", args->first, "the program to move or copy")
            ->type_name("INT")
            ->required();
        leaf->add_option("ParentID", args->second, "the program to put it under (0: the top level)")
            ->type_name("INT")
            ->required();
        if (moving)
            leaf->add_flag("--yes,-y", args->yes, "do not ask for confirmation on a terminal");
    }

    auto args = std::make_shared<TreeArgs>();
    CLI::App* apply =
        AddOperation(app, ltptools::Op::apply_permission_to_descendants, slot, [args] {
            return [args](RunContext& ctx) {
                std::int32_t id = 0;
                std::string error;
                if (ParseLong(args->first, "ProgramID", id, error) != kExitOk)
                    return Refuse(ctx, kExitUsage, error);
                int rc = kExitOk;
                if (!ConfirmSubtree(ctx, args->yes, id,
                                    "Replace the grants of the {below} below program " +
                                        std::to_string(id) + " with its own?",
                                    rc))
                    return rc;
                return ctx.connection.Change(
                    [&](ltp::Client& c) { c.apply_permission_to_descendants(id); });
            };
        });
    apply->add_option("ProgramID", args->first, "the program")->type_name("INT")->required();
    apply->add_flag("--yes,-y", args->yes, "do not ask for confirmation on a terminal");
}

} // namespace

void AddRightsCommands(CLI::App& app, ActionSlot& slot) {
    AddRights(app, slot);
    AddPermission(app, slot);
    AddProgramTree(app, slot);
}

} // namespace ltpctl
