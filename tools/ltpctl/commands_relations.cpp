// members (who is in which group) and the relation between channels and schedules.
#include "tools/ltpctl/commands.h"

namespace ltpctl {
namespace {

constexpr size_t kUserIDWidth = sizeof(tagUser::UserID);
constexpr size_t kGroupIDWidth = sizeof(tagGroup::GroupID);
constexpr size_t kChannelIDWidth = sizeof(tagChannel::ChannelID);

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
                    int rc = CheckText(ctx, *group, "GROUPID", kGroupIDWidth);
                    OwnedList<tagUser> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Call([&](CLTPCreater& c) {
                            return c.GetGroupUsers(group->c_str(), list.get());
                        });
                    if (rc == kExitOk)
                        PrintTable(ctx, ListTable(list.list()));
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
                    int rc = CheckText(ctx, *user, "USERID", kUserIDWidth);
                    OwnedList<tagGroup> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Call([&](CLTPCreater& c) {
                            return c.GetUserGroups(user->c_str(), list.get());
                        });
                    if (rc == kExitOk)
                        PrintTable(ctx, ListTable(list.list()));
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
                    int rc = CheckText(ctx, pair->user, "USERID", kUserIDWidth);
                    if (rc == kExitOk)
                        rc = CheckText(ctx, pair->group, "GROUPID", kGroupIDWidth);
                    if (rc == kExitOk)
                        rc = ctx.connection.Call([&](CLTPCreater& c) {
                            return adding
                                       ? c.AddUserToGroup(pair->user.c_str(), pair->group.c_str())
                                       : c.DeleteUserFromGroup(pair->user.c_str(),
                                                               pair->group.c_str());
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
                    int rc = CheckText(ctx, *channel, "CHANNELID", kChannelIDWidth);
                    OwnedList<tagSchedule> list;
                    if (rc == kExitOk)
                        rc = ctx.connection.Call([&](CLTPCreater& c) {
                            return c.GetChannelSchedules(channel->c_str(), list.get());
                        });
                    if (rc == kExitOk)
                        PrintTable(ctx, ListTable(list.list()));
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
                    LONG id = 0;
                    std::string error;
                    int rc = ParseLong(*schedule, "SCHEDULEID", id, error);
                    if (rc != kExitOk)
                        return Refuse(ctx, rc, error);
                    tagChannel record = ZeroRecord<tagChannel>();
                    rc = ctx.connection.Call(
                        [&](CLTPCreater& c) { return c.GetScheduleChannel(id, &record); });
                    if (rc == kExitOk && IsZero(record))
                        return Refuse(ctx, kExitRefused,
                                      "the server names no channel for schedule " + *schedule);
                    if (rc == kExitOk)
                        PrintTable(ctx, RecordTable(record));
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
