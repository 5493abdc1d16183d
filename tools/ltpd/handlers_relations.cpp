// Rows 36-39, 44 and 45: group members, a user's groups, a channel's schedules, a schedule's
// channel, and membership changes.
#include "tools/ltpd/handlers.h"
#include "tools/ltpd/tables.h"

namespace ltpd {

using ltp::detail::Row;
namespace {

Response GroupUsers(Context& ctx, const BodyValues& body) {
    const FieldValue& group = body[0][0];
    if (!GroupsTable().Exists(ctx.db, group))
        return NotFound(GroupsTable().Describe(group));
    Response r = Ok();
    UsersTable().ListWhere(ctx.db, ctx.codePage,
                           "id IN (SELECT user_id FROM memberships WHERE group_id = ?1)",
                           group.text, r.body);
    return r;
}

Response UserGroups(Context& ctx, const BodyValues& body) {
    const FieldValue& user = body[0][0];
    if (!UsersTable().Exists(ctx.db, user))
        return NotFound(UsersTable().Describe(user));
    Response r = Ok();
    GroupsTable().ListWhere(ctx.db, ctx.codePage,
                            "id IN (SELECT group_id FROM memberships WHERE user_id = ?1)",
                            user.text, r.body);
    return r;
}

Response ChannelSchedules(Context& ctx, const BodyValues& body) {
    const FieldValue& channel = body[0][0];
    if (!ChannelsTable().Exists(ctx.db, channel))
        return NotFound(ChannelsTable().Describe(channel));
    Response r = Ok();
    SchedulesTable().ListWhere(ctx.db, ctx.codePage, "text2 = ?1", channel.text, r.body);
    return r;
}

Response ScheduleChannel(Context& ctx, const BodyValues& body) {
    const FieldValue& schedule = body[0][0];
    Statement s = ctx.db.Prepare("SELECT text2 FROM schedules WHERE id = ?1");
    s.Bind(1, static_cast<int64_t>(schedule.number));
    if (!s.Step())
        return NotFound(SchedulesTable().Describe(schedule));
    FieldValue channel;
    channel.text = s.Text(0);
    if (channel.text.empty())
        return NotFound("channel of schedule " + std::to_string(schedule.number));
    Response r = Ok();
    if (!ChannelsTable().Find(ctx.db, ctx.codePage, channel, r.body))
        return NotFound(ChannelsTable().Describe(channel));
    return r;
}

// Both ends of a membership must exist; the answer names the missing one.
Response CheckMembers(Context& ctx, const FieldValue& user, const FieldValue& group) {
    if (!UsersTable().Exists(ctx.db, user))
        return NotFound(UsersTable().Describe(user));
    if (!GroupsTable().Exists(ctx.db, group))
        return NotFound(GroupsTable().Describe(group));
    return Ok();
}

bool IsMember(Context& ctx, const std::string& user, const std::string& group) {
    return ctx.db.Exists("SELECT 1 FROM memberships WHERE user_id = ?1 AND group_id = ?2", user,
                         group);
}

Response AddUserToGroup(Context& ctx, const BodyValues& body) {
    const FieldValue& user = body[0][0];
    const FieldValue& group = body[1][0];
    Response check = CheckMembers(ctx, user, group);
    if (check.status != 200)
        return check;
    if (IsMember(ctx, user.text, group.text))
        return Duplicate("membership of user '" + user.text + "' in group '" + group.text + "'");
    ctx.db.Prepare("INSERT INTO memberships (user_id, group_id) VALUES (?1, ?2)")
        .Bind(1, user.text)
        .Bind(2, group.text)
        .Run();
    ctx.Log("Add user '" + user.text + "' to group '" + group.text + "'");
    return Ok();
}

Response DeleteUserFromGroup(Context& ctx, const BodyValues& body) {
    const FieldValue& user = body[0][0];
    const FieldValue& group = body[1][0];
    Response check = CheckMembers(ctx, user, group);
    if (check.status != 200)
        return check;
    if (!IsMember(ctx, user.text, group.text))
        return NotFound("membership of user '" + user.text + "' in group '" + group.text + "'");
    ctx.db.Prepare("DELETE FROM memberships WHERE user_id = ?1 AND group_id = ?2")
        .Bind(1, user.text)
        .Bind(2, group.text)
        .Run();
    ctx.Log("Delete user '" + user.text + "' from group '" + group.text + "'");
    return Ok();
}

} // namespace

void AddRelationHandlers(HandlerTable& t) {
    t[Row::GetGroupUsers] = GroupUsers;
    t[Row::GetUserGroups] = UserGroups;
    t[Row::GetChannelSchedules] = ChannelSchedules;
    t[Row::GetScheduleChannel] = ScheduleChannel;
    t[Row::AddUserToGroup] = AddUserToGroup;
    t[Row::DeleteUserFromGroup] = DeleteUserFromGroup;
}

} // namespace ltpd
