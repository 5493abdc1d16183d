// members (who is in which group), the relation between channels and schedules, and the MTP
// server of a channel.
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
    AddOperation(
        app, ltptools::Op::group_users, slot,
        [group] {
            return [group](RunContext& ctx) {
                const int rc = CheckText(ctx, *group, "GroupID");
                if (rc != kExitOk)
                    return rc;
                return PrintList<ltp::User>(
                    ctx, [&](ltp::Client& c) { return c.group_users(*group); },
                    [&](ltp::Client& c, const auto& each) { c.group_users_each(*group, each); });
            };
        })
        ->add_option("GroupID", *group, "the group")
        ->required();

    auto user = std::make_shared<std::string>();
    AddOperation(
        app, ltptools::Op::user_groups, slot,
        [user] {
            return [user](RunContext& ctx) {
                const int rc = CheckText(ctx, *user, "UserID");
                if (rc != kExitOk)
                    return rc;
                return PrintList<ltp::Group>(
                    ctx, [&](ltp::Client& c) { return c.user_groups(*user); },
                    [&](ltp::Client& c, const auto& each) { c.user_groups_each(*user, each); });
            };
        })
        ->add_option("UserID", *user, "the user")
        ->required();

    for (const bool adding : {true, false}) {
        auto pair = std::make_shared<Pair>();
        CLI::App* leaf = AddOperation(
            app, adding ? ltptools::Op::add_user_to_group : ltptools::Op::delete_user_from_group,
            slot, [pair, adding] {
                return [pair, adding](RunContext& ctx) {
                    int rc = CheckText(ctx, pair->user, "UserID");
                    if (rc == kExitOk)
                        rc = CheckText(ctx, pair->group, "GroupID");
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
        leaf->add_option("UserID", pair->user, "the user")->required();
        leaf->add_option("GroupID", pair->group, "the group")->required();
    }
}

void AddChannelSchedules(CLI::App& app, ActionSlot& slot) {
    auto channel = std::make_shared<std::string>();
    AddOperation(app, ltptools::Op::channel_schedules, slot,
                 [channel] {
                     return [channel](RunContext& ctx) {
                         const int rc = CheckText(ctx, *channel, "ChannelID");
                         if (rc != kExitOk)
                             return rc;
                         return PrintList<ltp::Schedule>(
                             ctx, [&](ltp::Client& c) { return c.channel_schedules(*channel); },
                             [&](ltp::Client& c, const auto& each) {
                                 c.channel_schedules_each(*channel, each);
                             });
                     };
                 })
        ->add_option("ChannelID", *channel, "the channel")
        ->required();

    auto schedule = std::make_shared<std::string>();
    AddOperation(app, ltptools::Op::schedule_channel, slot,
                 [schedule] {
                     return [schedule](RunContext& ctx) {
                         std::int32_t id = 0;
                         std::string error;
                         int rc = ParseLong(*schedule, "ScheduleID", id, error);
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
        ->add_option("ScheduleID", *schedule, "the schedule")
        ->type_name("INT")
        ->required();

    // The register's own lookup: by the channel a server serves, not by the server's name.
    auto served = std::make_shared<std::string>();
    AddOperation(app, ltptools::Op::channel_mtp_server, slot,
                 [served] {
                     return [served](RunContext& ctx) {
                         int rc = CheckText(ctx, *served, "ChannelID");
                         std::optional<ltp::MtpServer> found;
                         if (rc == kExitOk)
                             rc = ctx.connection.Run(
                                 [&](ltp::Client& c) { found = c.find_mtp_server(*served); });
                         if (rc == kExitOk && !found)
                             return ctx.connection.ReportMissing(
                                 "the server names no MTP server for channel '" + *served + "'");
                         if (rc == kExitOk)
                             PrintTable(ctx, ValueRecordTable(*found));
                         return rc;
                     };
                 })
        ->add_option("ChannelID", *served, "the channel")
        ->required();
}

} // namespace

void AddRelationCommands(CLI::App& app, ActionSlot& slot) {
    AddMembers(app, slot);
    AddChannelSchedules(app, slot);
}

} // namespace ltpctl
