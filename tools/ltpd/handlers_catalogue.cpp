// Rows 6-35: list, find, add, modify and delete users, groups, programs, channels, schedules and
// global settings.
#include "tools/ltpd/handlers.h"
#include "tools/ltpd/program_tree.h"
#include "tools/ltpd/tables.h"

namespace ltpd {

using ltp::detail::Row;
namespace {

using TableFn = const RecordTable& (*)();

// Checks shared by add and modify: field widths, a non-empty text key.
bool CheckRecord(const RecordTable& table, const std::vector<FieldValue>& fields,
                 std::string& error) {
    if (!table.CheckWidths(fields, error))
        return false;
    const ColumnLayout& key = table.Layout().columns[0];
    if (key.kind == FieldKind::Text && fields[0].text.empty()) {
        error = std::string(key.field) + " is empty";
        return false;
    }
    return true;
}

// Whether what a record refers to exists: a program's parent, a schedule's channel.
Response CheckReferences(Context& ctx, const RecordTable& table,
                         const std::vector<FieldValue>& fields) {
    if (&table == &ProgramsTable()) {
        int32_t parent = fields[5].number;
        if (parent != 0 && !ProgramExists(ctx.db, parent))
            return NotFound("parent program " + std::to_string(parent));
    } else if (&table == &SchedulesTable()) {
        const std::string& channel = fields[1].text;
        if (!channel.empty() && !ctx.db.Exists("SELECT 1 FROM channels WHERE id = ?1", channel))
            return NotFound("channel '" + channel + "'");
    }
    return Ok();
}

template <TableFn T> Response ListAll(Context& ctx, const BodyValues&) {
    Response r = Ok();
    T().List(ctx.db, ctx.codePage, r.body);
    return r;
}

template <TableFn T> Response FindOne(Context& ctx, const BodyValues& body) {
    Response r = Ok();
    if (!T().Find(ctx.db, ctx.codePage, body[0][0], r.body))
        return NotFound(T().Describe(body[0][0]));
    return r;
}

template <TableFn T> Response AddOne(Context& ctx, const BodyValues& body) {
    const RecordTable& table = T();
    const std::vector<FieldValue>& fields = body[0];
    std::string error;
    if (!CheckRecord(table, fields, error))
        return BadRequest(error);
    if (!table.Layout().assignedKey && table.Exists(ctx.db, fields[0]))
        return Duplicate(table.Describe(fields[0]));
    Response refs = CheckReferences(ctx, table, fields);
    if (refs.status != 200)
        return refs;
    int64_t id = table.Insert(ctx.db, fields);
    Response r = Ok();
    if (table.Layout().assignedKey) {
        FieldValue key;
        key.kind = FieldKind::Whole;
        key.number = static_cast<int32_t>(id);
        ctx.Log("Add " + table.Describe(key));
        r.body = ValueElement(table.Layout().columns[0].field, key.number);
    } else {
        ctx.Log("Add " + table.Describe(fields[0]));
    }
    return r;
}

template <TableFn T> Response ModifyOne(Context& ctx, const BodyValues& body) {
    const RecordTable& table = T();
    const std::vector<FieldValue>& fields = body[0];
    std::string error;
    if (!CheckRecord(table, fields, error))
        return BadRequest(error);
    if (!table.Exists(ctx.db, fields[0]))
        return NotFound(table.Describe(fields[0]));
    Response refs = CheckReferences(ctx, table, fields);
    if (refs.status != 200)
        return refs;
    if (&table == &ProgramsTable() && fields[5].number != 0 &&
        InSubtree(ctx.db, fields[5].number, fields[0].number))
        return Refuse(409, "program " + std::to_string(fields[5].number) + " lies below program " +
                               std::to_string(fields[0].number) + "; it cannot be its parent");
    table.Update(ctx.db, fields);
    ctx.Log("Modify " + table.Describe(fields[0]));
    return Ok();
}

template <TableFn T> Response DeleteOne(Context& ctx, const BodyValues& body) {
    const RecordTable& table = T();
    const FieldValue& key = body[0][0];
    if (!table.Exists(ctx.db, key))
        return NotFound(table.Describe(key));
    // Refused rather than cascaded: these would take other records with them.
    if (&table == &ProgramsTable() &&
        ctx.db.Exists("SELECT 1 FROM programs WHERE number6 = ?1 AND id <> ?1", key.number))
        return Refuse(409, "program " + std::to_string(key.number) +
                               " has programs below it; move or delete them first");
    if (&table == &ChannelsTable() &&
        ctx.db.Exists("SELECT 1 FROM schedules WHERE text2 = ?1", key.text))
        return Refuse(409, "channel '" + key.text + "' has schedules; delete or move them first");
    table.Delete(ctx.db, key);
    ctx.Log("Delete " + table.Describe(key));
    return Ok();
}

} // namespace

void AddCatalogueHandlers(HandlerTable& t) {
    t[Row::GetAllUsers] = ListAll<UsersTable>;
    t[Row::GetAllGroups] = ListAll<GroupsTable>;
    t[Row::GetAllPrograms] = ListAll<ProgramsTable>;
    t[Row::GetAllChannels] = ListAll<ChannelsTable>;
    t[Row::GetAllSchedules] = ListAll<SchedulesTable>;
    t[Row::GetAllGlobals] = ListAll<GlobalsTable>;
    t[Row::FindUser] = FindOne<UsersTable>;
    t[Row::FindGroup] = FindOne<GroupsTable>;
    t[Row::FindProgram] = FindOne<ProgramsTable>;
    t[Row::FindChannel] = FindOne<ChannelsTable>;
    t[Row::FindSchedule] = FindOne<SchedulesTable>;
    t[Row::FindGlobal] = FindOne<GlobalsTable>;
    t[Row::AddUser] = AddOne<UsersTable>;
    t[Row::AddGroup] = AddOne<GroupsTable>;
    t[Row::AddProgram] = AddOne<ProgramsTable>;
    t[Row::AddChannel] = AddOne<ChannelsTable>;
    t[Row::AddSchedule] = AddOne<SchedulesTable>;
    t[Row::AddGlobal] = AddOne<GlobalsTable>;
    t[Row::ModifyUser] = ModifyOne<UsersTable>;
    t[Row::ModifyGroup] = ModifyOne<GroupsTable>;
    t[Row::ModifyProgram] = ModifyOne<ProgramsTable>;
    t[Row::ModifyChannel] = ModifyOne<ChannelsTable>;
    t[Row::ModifySchedule] = ModifyOne<SchedulesTable>;
    t[Row::ModifyGlobal] = ModifyOne<GlobalsTable>;
    t[Row::DeleteUser] = DeleteOne<UsersTable>;
    t[Row::DeleteGroup] = DeleteOne<GroupsTable>;
    t[Row::DeleteProgram] = DeleteOne<ProgramsTable>;
    t[Row::DeleteChannel] = DeleteOne<ChannelsTable>;
    t[Row::DeleteSchedule] = DeleteOne<SchedulesTable>;
    t[Row::DeleteGlobal] = DeleteOne<GlobalsTable>;
}

} // namespace ltpd
