#include "tools/ltpctl/program_names.h"

namespace ltpctl {

std::string ProgramName(const ltp::Program& p) {
    const std::string* wire = Labels().Wire("Program", "name");
    for (const FieldInfo& f : RecordFields<ltp::Program>())
        if (f.kind == FieldKind::text && f.name == (wire ? *wire : std::string("Text2")))
            return FieldText(p, f);
    return std::string();
}

int ReadProgramNames(RunContext& ctx, std::map<std::int32_t, std::string>& names) {
    std::vector<ltp::Program> list;
    const int rc = ctx.connection.Run([&](ltp::Client& c) { list = c.programs(); });
    for (const ltp::Program& p : list)
        names[p.program_id] = ProgramName(p);
    return rc;
}

std::string NumberAndName(std::int32_t program, const std::map<std::int32_t, std::string>& names) {
    const auto found = names.find(program);
    return std::to_string(program) + (found == names.end() ? "" : " " + found->second);
}

} // namespace ltpctl
