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
    AddLeaf(
        family, "list", "list the users of a group", slot,
        [group] {
            return [group](RunContext& ctx) {
                const int rc = CheckText(ctx, *group, "GROUPID");
                if (rc != kExitOk)
                    return rc;
                return PrintList<ltp::User>(
                    ctx, [&](ltp::Client& c) { return c.group_users(*group); },
                    [&](ltp::Client& c, const auto& each) { c.group_users_each(*group, each); });
            };
        })
        ->alias("group-users")
        ->add_option("GROUPID", *group, "the group")
        ->required();

    auto user = std::make_shared<std::string>();
    AddLeaf(family, "groups", "list the groups a user belongs to", slot,
            [user] {
                return [user](RunContext& ctx) {
                    const int rc = CheckText(ctx, *user, "USERID");
                    if (rc != kExitOk)
                        return rc;
                    return PrintList<ltp::Group>(
                        ctx, [&](ltp::Client& c) { return c.user_groups(*user); },
                        [&](ltp::Client& c, const auto& each) { c.user_groups_each(*user, each); });
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
                    const int rc = CheckText(ctx, *channel, "CHANNELID");
                    if (rc != kExitOk)
                        return rc;
                    return PrintList<ltp::Schedule>(
                        ctx, [&](ltp::Client& c) { return c.channel_schedules(*channel); },
                        [&](ltp::Client& c, const auto& each) {
                            c.channel_schedules_each(*channel, each);
                        });
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
