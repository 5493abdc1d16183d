#include "tools/ltpctl/program_names.h"

namespace ltpctl {

std::string ProgramName(const tagProgram& p) {
    const std::string* wire = Labels().Wire("Program", "name");
    for (const FieldInfo& f : RecordFields<tagProgram>())
        if (f.kind == FieldKind::Text && f.name == (wire ? *wire : std::string("Text2")))
            return FieldText(&p, f);
    return std::string();
}

int ReadProgramNames(RunContext& ctx, std::map<LONG, std::string>& names) {
    OwnedList<tagProgram> list;
    const int rc = ctx.connection.Call([&](CLTPCreater& c) { return c.GetPrograms(list.get()); });
    for (POSITION pos = list.list().GetHeadPosition(); pos;) {
        const tagProgram* p = list.list().GetNext(pos);
        names[p->ProgramID] = ProgramName(*p);
    }
    return rc;
}

std::string NumberAndName(LONG program, const std::map<LONG, std::string>& names) {
    const auto found = names.find(program);
    return std::to_string(program) + (found == names.end() ? "" : " " + found->second);
}

} // namespace ltpctl
