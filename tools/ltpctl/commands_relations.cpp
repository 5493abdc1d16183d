// members (who is in which group) and the relation between channels and schedules.
#include "tools/ltpctl/commands.h"

namespace ltpctl {
namespace {

struct Pair {
    std::string user;
    std::string group;
};

void AddMembers(CLI::App& app, ActionSlot& slot) {
    CLI::App* family = FamilyCommand(app, "members", "read and change the users of groups");
    family->alias("member");

    auto group = std::make_shared<std::string>();
    AddLeaf(family, "list", "list the users of a group", slot,
            [group] {
                return [group](RunContext& ctx) {
                    int rc = CheckText(ctx, *group, "GROUPID");
                    std::vector<ltp::User> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Run(
                            [&](ltp::Client& c) { list = c.group_users(*group); });
                    if (rc == kExitOk)
                        PrintTable(ctx, ValueListTable(std::move(list)));
                    return rc;
                };
            })
        ->alias("group-users")
        ->add_option("GROUPID", *group, "the group")
        ->required();

    auto user = std::make_shared<std::string>();
    AddLeaf(family, "groups", "list the groups a user belongs to", slot,
            [user] {
                return [user](RunContext& ctx) {
                    int rc = CheckText(ctx, *user, "USERID");
                    std::vector<ltp::Group> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Run(
                            [&](ltp::Client& c) { list = c.user_groups(*user); });
                    if (rc == kExitOk)
                        PrintTable(ctx, ValueListTable(std::move(list)));
                    return rc;
                };
            })
        ->alias("user-groups")
        ->add_option("USERID", *user, "the user")
        ->required();

    for (const bool adding : {true, false}) {
        auto pair = std::make_shared<Pair>();
        CLI::App* leaf = AddLeaf(
            family, adding ? "add" : "remove",
            adding ? "add a user to a group" : "remove a user from a group", slot, [pair, adding] {
                return [pair, adding](RunContext& ctx) {
                    int rc = CheckText(ctx, pair->user, "USERID");
                    if (rc == kExitOk)
                        rc = CheckText(ctx, pair->group, "GROUPID");
                    if (rc == kExitOk)
                        rc = ctx.connection.Change([&](ltp::Client& c) {
                            if (adding)
                                c.add_user_to_group(pair->user, pair->group);
                            else
                                c.delete_user_from_group(pair->user, pair->group);
                        });
                    return rc;
                };
            });
        if (!adding)
            leaf->alias("delete");
        leaf->add_option("USERID", pair->user, "the user")->required();
        leaf->add_option("GROUPID", pair->group, "the group")->required();
    }
}

void AddChannelSchedules(CLI::App& app, ActionSlot& slot) {
    CLI::App* channels = FamilyCommand(app, "channels", "channels");
    auto channel = std::make_shared<std::string>();
    AddLeaf(channels, "schedules", "list the schedules of a channel", slot,
            [channel] {
                return [channel](RunContext& ctx) {
                    int rc = CheckText(ctx, *channel, "CHANNELID");
                    std::vector<ltp::Schedule> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Run(
                            [&](ltp::Client& c) { list = c.channel_schedules(*channel); });
                    if (rc == kExitOk)
                        PrintTable(ctx, ValueListTable(std::move(list)));
                    return rc;
                };
            })
        ->add_option("CHANNELID", *channel, "the channel")
        ->required();

    CLI::App* schedules = FamilyCommand(app, "schedules", "schedules");
    auto schedule = std::make_shared<std::string>();
    AddLeaf(schedules, "channel", "show the channel a schedule belongs to", slot,
            [schedule] {
                return [schedule](RunContext& ctx) {
                    std::int32_t id = 0;
                    std::string error;
                    int rc = ParseLong(*schedule, "SCHEDULEID", id, error);
                    if (rc != kExitOk)
                        return Refuse(ctx, rc, error);
                    std::optional<ltp::Channel> found;
                    rc = ctx.connection.Run([&](ltp::Client& c) {
                        try {
                            found = c.schedule_channel(id);
                        } catch (const ltp::ProtocolError&) {
                            // An answer of 200 without a channel names none, as a 404 does.
                        }
                    });
                    if (rc == kExitOk && !found)
                        return ctx.connection.ReportMissing(
                            "the server names no channel for schedule " + *schedule);
                    if (rc == kExitOk)
                        PrintTable(ctx, ValueRecordTable(*found));
                    return rc;
                };
            })
        ->add_option("SCHEDULEID", *schedule, "the schedule")
        ->type_name("INT")
        ->required();
}

} // namespace

void AddRelationCommands(CLI::App& app, ActionSlot& slot) {
    AddMembers(app, slot);
    AddChannelSchedules(app, slot);
}

} // namespace ltpctl
