// Rows 40-43 and 46-55: rights of users and groups on programs, a user's permission, applying a
// program's grants below it, and moving and copying programs.
#include "tools/ltpd/handlers.h"
#include "tools/ltpd/program_tree.h"
#include "tools/ltpd/tables.h"

namespace ltpd {

using ltp::detail::Row;
namespace {

// The two kinds of grantee share every rule; only their tables differ.
struct Grantee {
    const RecordTable& (*table)();
    const char* rightsTable; // user_rights or group_rights
    const char* keyColumn;   // user_id or group_id
};

constexpr Grantee kUser{UsersTable, "user_rights", "user_id"};
constexpr Grantee kGroup{GroupsTable, "group_rights", "group_id"};

Response CheckGrant(Context& ctx, const Grantee& g, const FieldValue& who,
                    const FieldValue& program) {
    if (!g.table().Exists(ctx.db, who))
        return NotFound(g.table().Describe(who));
    if (!ProgramExists(ctx.db, program.number))
        return NotFound(ProgramsTable().Describe(program));
    return Ok();
}

// The grant's rights, or false when there is none.
bool ReadGrant(Context& ctx, const Grantee& g, const std::string& who, int32_t program,
               int32_t& rights) {
    Statement s = ctx.db.Prepare(std::string("SELECT rights FROM ") + g.rightsTable + " WHERE " +
                                 g.keyColumn + " = ?1 AND program_id = ?2");
    s.Bind(1, who).Bind(2, static_cast<int64_t>(program));
    if (!s.Step())
        return false;
    rights = static_cast<int32_t>(s.Integer(0));
    return true;
}

std::string GrantName(const Grantee& g, const FieldValue& who, const FieldValue& program) {
    return "rights of " + g.table().Describe(who) + " on program " + std::to_string(program.number);
}

template <const Grantee& G> Response GetRights(Context& ctx, const BodyValues& body) {
    Response check = CheckGrant(ctx, G, body[0][0], body[1][0]);
    if (check.status != 200)
        return check;
    int32_t rights = 0; // no grant: no rights
    ReadGrant(ctx, G, body[0][0].text, body[1][0].number, rights);
    Response r = Ok();
    r.body = ValueElement(&G == &kUser ? "UserRights" : "GroupRights", rights);
    return r;
}

template <const Grantee& G> Response Granted(Context& ctx, const BodyValues& body) {
    const FieldValue& program = body[0][0];
    if (!ProgramExists(ctx.db, program.number))
        return NotFound(ProgramsTable().Describe(program));
    Response r = Ok();
    G.table().ListWhere(ctx.db, ctx.codePage,
                        std::string("id IN (SELECT ") + G.keyColumn + " FROM " + G.rightsTable +
                            " WHERE program_id = CAST(?1 AS INTEGER))",
                        std::to_string(program.number), r.body);
    return r;
}

// Adding a grant needs it absent; changing or deleting one needs it there. One statement then
// does the change, and the log says what it was.
enum class GrantChange { Add, Modify, Delete };

template <const Grantee& G, GrantChange C>
Response ChangeRights(Context& ctx, const BodyValues& body) {
    const FieldValue &who = body[0][0], &program = body[1][0];
    Response check = CheckGrant(ctx, G, who, program);
    if (check.status != 200)
        return check;
    int32_t old = 0;
    const bool exists = ReadGrant(ctx, G, who.text, program.number, old);
    if (C == GrantChange::Add && exists)
        return Duplicate(GrantName(G, who, program));
    if (C != GrantChange::Add && !exists)
        return NotFound(GrantName(G, who, program));
    const std::string where = std::string(" WHERE ") + G.keyColumn + " = ?1 AND program_id = ?2";
    std::string sql, verb;
    switch (C) {
        case GrantChange::Add:
            sql = std::string("INSERT INTO ") + G.rightsTable + " (" + G.keyColumn +
                  ", program_id, rights) VALUES (?1, ?2, ?3)";
            verb = "Add ";
            break;
        case GrantChange::Modify:
            sql = std::string("UPDATE ") + G.rightsTable + " SET rights = ?3" + where;
            verb = "Modify ";
            break;
        case GrantChange::Delete:
            sql = std::string("DELETE FROM ") + G.rightsTable + where;
            verb = "Delete ";
            break;
    }
    Statement statement = ctx.db.Prepare(sql);
    statement.Bind(1, who.text).Bind(2, static_cast<int64_t>(program.number));
    std::string entry = verb + GrantName(G, who, program);
    if (C != GrantChange::Delete) {
        statement.Bind(3, static_cast<int64_t>(body[2][0].number));
        entry += ": " + std::to_string(body[2][0].number);
    }
    statement.Run();
    ctx.Log(entry);
    return Ok();
}

// The user's own rights on the program, OR-ed with the rights of every group he belongs to.
Response UserPermission(Context& ctx, const BodyValues& body) {
    const FieldValue &user = body[0][0], &program = body[1][0];
    Response check = CheckGrant(ctx, kUser, user, program);
    if (check.status != 200)
        return check;
    Statement s = ctx.db.Prepare(R"sql(
SELECT rights FROM user_rights WHERE user_id = ?1 AND program_id = ?2
UNION ALL
SELECT g.rights FROM group_rights g JOIN memberships m ON m.group_id = g.group_id
WHERE m.user_id = ?1 AND g.program_id = ?2)sql");
    s.Bind(1, user.text).Bind(2, static_cast<int64_t>(program.number));
    uint32_t permission = 0;
    while (s.Step())
        permission |= static_cast<uint32_t>(static_cast<int32_t>(s.Integer(0)));
    Response r = Ok();
    r.body = ValueElement("UserPermission", static_cast<int32_t>(permission));
    return r;
}

// Every program below gets exactly the grants of this one: its own grants are replaced.
Response ApplyToDescendants(Context& ctx, const BodyValues& body) {
    const FieldValue& program = body[0][0];
    if (!ProgramExists(ctx.db, program.number))
        return NotFound(ProgramsTable().Describe(program));
    std::vector<int64_t> ids = Subtree(ctx.db, program.number);
    for (size_t i = 1; i < ids.size(); ++i) {
        for (const char* table : {"user_rights", "group_rights"})
            ctx.db.Prepare(std::string("DELETE FROM ") + table + " WHERE program_id = ?1")
                .Bind(1, ids[i])
                .Run();
        ctx.db
            .Prepare("INSERT INTO user_rights (user_id, program_id, rights) "
                     "SELECT user_id, ?2, rights FROM user_rights WHERE program_id = ?1")
            .Bind(1, static_cast<int64_t>(program.number))
            .Bind(2, ids[i])
            .Run();
        ctx.db
            .Prepare("INSERT INTO group_rights (group_id, program_id, rights) "
                     "SELECT group_id, ?2, rights FROM group_rights WHERE program_id = ?1")
            .Bind(1, static_cast<int64_t>(program.number))
            .Bind(2, ids[i])
            .Run();
    }
    ctx.Log("Apply rights of program " + std::to_string(program.number) + " to " +
            std::to_string(ids.size() - 1) + " program(s) below it");
    return Ok();
}

// First id: the program that moves or is copied; second id: the program it goes below (0: the
// top level).
Response CheckTreeArguments(Context& ctx, const BodyValues& body) {
    const FieldValue &source = body[0][0], &target = body[1][0];
    if (!ProgramExists(ctx.db, source.number))
        return NotFound(ProgramsTable().Describe(source));
    if (target.number != 0 && !ProgramExists(ctx.db, target.number))
        return NotFound("target " + ProgramsTable().Describe(target));
    return Ok();
}

Response MoveProgram(Context& ctx, const BodyValues& body) {
    Response check = CheckTreeArguments(ctx, body);
    if (check.status != 200)
        return check;
    int32_t source = body[0][0].number, target = body[1][0].number;
    if (target != 0 && InSubtree(ctx.db, target, source))
        return Refuse(409, "program " + std::to_string(target) + " lies below program " +
                               std::to_string(source) + "; a program cannot move below itself");
    ctx.db.Prepare("UPDATE programs SET number6 = ?2 WHERE id = ?1")
        .Bind(1, static_cast<int64_t>(source))
        .Bind(2, static_cast<int64_t>(target))
        .Run();
    ctx.Log("Move program " + std::to_string(source) + " below " +
            (target ? "program " + std::to_string(target) : std::string("the top level")));
    return Ok();
}

Response CopyProgram(Context& ctx, const BodyValues& body) {
    Response check = CheckTreeArguments(ctx, body);
    if (check.status != 200)
        return check;
    int32_t source = body[0][0].number, target = body[1][0].number;
    int64_t copy = CopySubtree(ctx.db, source, target);
    ctx.Log("Copy program " + std::to_string(source) + " below " +
            (target ? "program " + std::to_string(target) : std::string("the top level")) +
            " as program " + std::to_string(copy));
    return Ok();
}

} // namespace

void AddRightsHandlers(HandlerTable& t) {
    t[Row::GetUserRights] = GetRights<kUser>;
    t[Row::GetGroupRights] = GetRights<kGroup>;
    t[Row::GetGrantedGroups] = Granted<kGroup>;
    t[Row::GetGrantedUsers] = Granted<kUser>;
    t[Row::AddUserRights] = ChangeRights<kUser, GrantChange::Add>;
    t[Row::ModifyUserRights] = ChangeRights<kUser, GrantChange::Modify>;
    t[Row::DeleteUserRights] = ChangeRights<kUser, GrantChange::Delete>;
    t[Row::AddGroupRights] = ChangeRights<kGroup, GrantChange::Add>;
    t[Row::ModifyGroupRights] = ChangeRights<kGroup, GrantChange::Modify>;
    t[Row::DeleteGroupRights] = ChangeRights<kGroup, GrantChange::Delete>;
    t[Row::GetUserPermission] = UserPermission;
    t[Row::ApplyPermissionToDescentdants] = ApplyToDescendants;
    t[Row::MoveProgram] = MoveProgram;
    t[Row::CopyProgram] = CopyProgram;
}

} // namespace ltpd
