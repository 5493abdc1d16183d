// Rows 59-66: the register of MTP servers and the paths of programs.
#include "tools/ltpd/handlers.h"
#include "tools/ltpd/program_tree.h"
#include "tools/ltpd/tables.h"

namespace ltpd {

using ltp::detail::Row;
namespace {

Response ListMtpServers(Context& ctx, const BodyValues&) {
    Response r = Ok();
    MtpServersTable().List(ctx.db, ctx.codePage, r.body);
    return r;
}

// The key comes in a ChannelID element: the MTP server of that name, or else the first one (by
// name) that serves the channel of that id (its Text3).
Response FindMtpServer(Context& ctx, const BodyValues& body) {
    const FieldValue& key = body[0][0];
    Response r = Ok();
    if (MtpServersTable().Find(ctx.db, ctx.codePage, key, r.body))
        return r;
    Statement s =
        ctx.db.Prepare("SELECT name FROM mtp_servers WHERE text3 = ?1 ORDER BY name LIMIT 1");
    s.Bind(1, key.text);
    if (!s.Step())
        return NotFound("MTP server named '" + key.text + "' or serving channel '" + key.text +
                        "'");
    FieldValue name;
    name.text = s.Text(0);
    MtpServersTable().Find(ctx.db, ctx.codePage, name, r.body);
    return r;
}

bool CheckMtp(const std::vector<FieldValue>& fields, std::string& error) {
    if (!MtpServersTable().CheckWidths(fields, error))
        return false;
    if (fields[0].text.empty()) {
        error = "MTPSvrName is empty";
        return false;
    }
    return true;
}

// Number4, never sent by clients, is the registration number: 1 for the first MTP server ever
// added, and so on.
Response AddMtpServer(Context& ctx, const BodyValues& body) {
    const std::vector<FieldValue>& fields = body[0];
    std::string error;
    if (!CheckMtp(fields, error))
        return BadRequest(error);
    if (MtpServersTable().Exists(ctx.db, fields[0]))
        return Duplicate(MtpServersTable().Describe(fields[0]));
    Statement next = ctx.db.Prepare("SELECT COALESCE(MAX(number4), 0) + 1 FROM mtp_servers");
    next.Step();
    MtpServersTable().Insert(ctx.db, fields, {next.Integer(0)});
    ctx.Log("Add " + MtpServersTable().Describe(fields[0]));
    return Ok();
}

Response ModifyMtpServer(Context& ctx, const BodyValues& body) {
    const std::vector<FieldValue>& fields = body[0];
    std::string error;
    if (!CheckMtp(fields, error))
        return BadRequest(error);
    if (!MtpServersTable().Update(ctx.db, fields))
        return NotFound(MtpServersTable().Describe(fields[0]));
    ctx.Log("Modify " + MtpServersTable().Describe(fields[0]));
    return Ok();
}

Response DeleteMtpServer(Context& ctx, const BodyValues& body) {
    if (!MtpServersTable().Delete(ctx.db, body[0][0]))
        return NotFound(MtpServersTable().Describe(body[0][0]));
    ctx.Log("Delete " + MtpServersTable().Describe(body[0][0]));
    return Ok();
}

std::string PathName(int32_t program, const std::string& path) {
    return "path '" + path.substr(0, 60) + "' of program " + std::to_string(program);
}

Response AddPath(Context& ctx, const BodyValues& body) {
    const std::vector<FieldValue>& f = body[0];
    int32_t program = f[0].number;
    const std::string& path = f[1].text;
    if (path.empty())
        return BadRequest("ProgramPath is empty");
    if (path.size() > 254)
        return BadRequest("ProgramPath longer than 254 bytes");
    if (!ProgramExists(ctx.db, program))
        return NotFound("program " + std::to_string(program));
    if (ctx.db.Exists("SELECT 1 FROM program_paths WHERE program_id = ?1 AND path = ?2",
                      static_cast<int64_t>(program), path))
        return Duplicate(PathName(program, path));
    ctx.db
        .Prepare("INSERT INTO program_paths (program_id, path, real3, real4) "
                 "VALUES (?1, ?2, ?3, ?4)")
        .Bind(1, static_cast<int64_t>(program))
        .Bind(2, path)
        .Bind(3, f[2].decimal)
        .Bind(4, f[3].decimal)
        .Run();
    ctx.Log("Add " + PathName(program, path));
    return Ok();
}

Response GetPaths(Context& ctx, const BodyValues& body) {
    int32_t program = body[0][0].number;
    if (!ProgramExists(ctx.db, program))
        return NotFound("program " + std::to_string(program));
    Statement s = ctx.db.Prepare("SELECT path, real3, real4 FROM program_paths "
                                 "WHERE program_id = ?1 ORDER BY path");
    s.Bind(1, static_cast<int64_t>(program));
    Response r = Ok();
    while (s.Step())
        RecordWriter(r.body, "ProgramPath", ctx.codePage)
            .Number(program)
            .Text(s.Text(0))
            .Decimal(s.Decimal(1))
            .Decimal(s.Decimal(2))
            .End();
    return r;
}

Response DeletePath(Context& ctx, const BodyValues& body) {
    int32_t program = body[0][0].number;
    const std::string& path = body[1][0].text;
    if (!ProgramExists(ctx.db, program))
        return NotFound("program " + std::to_string(program));
    ctx.db.Prepare("DELETE FROM program_paths WHERE program_id = ?1 AND path = ?2")
        .Bind(1, static_cast<int64_t>(program))
        .Bind(2, path)
        .Run();
    if (ctx.db.Changes() == 0)
        return NotFound(PathName(program, path));
    ctx.Log("Delete " + PathName(program, path));
    return Ok();
}

} // namespace

void AddMtpHandlers(HandlerTable& t) {
    t[Row::AddPathTOProgram] = AddPath;
    t[Row::GetAllMTPSvrs] = ListMtpServers;
    t[Row::FindMTPSvr] = FindMtpServer;
    t[Row::AddMTPSvr] = AddMtpServer;
    t[Row::ModifyMTPSvr] = ModifyMtpServer;
    t[Row::DeleteMTPSvr] = DeleteMtpServer;
    t[Row::GetProgramPath] = GetPaths;
    t[Row::DeletePathFromProgram] = DeletePath;
}

} // namespace ltpd
