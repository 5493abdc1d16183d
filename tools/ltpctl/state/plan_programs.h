// Plans the program tree and each program's paths and rights. Programs are matched by place:
// the server's program at the same place, or, for one that left its place, the one program of
// that name the file no longer holds anywhere (a move).
#pragma once

#include <map>
#include <vector>

#include "tools/ltpctl/state/plan_steps.h"

namespace ltpstate {

class ProgramPlanner {
public:
    // want: the file's programs, parents first (nullptr: not managed); have: the server's.
    ProgramPlanner(const std::vector<ProgramEntry>* want, const std::vector<ProgramEntry>* have,
                   const FieldNaming& naming, ProgramIds& ids);

    // Throws FileError for a place the server holds more than once.
    void Plan(const Deleted& deleted, PlanSteps& steps);

    // The server's program a place of the file was matched to, or nullptr (one to add).
    const ProgramEntry* Matched(const ProgramPath& path) const;
    // The server's programs at a place, for schedules when the file does not manage programs.
    const std::vector<const ProgramEntry*>* AtPlace(const ProgramPath& path) const;

private:
    void Match();
    void PlanParts(const ProgramEntry& want, const ProgramEntry* have, const Deleted& deleted,
                   PlanSteps& steps);

    const std::vector<ProgramEntry>* m_want;
    const std::vector<ProgramEntry>* m_have;
    const FieldNaming& m_naming;
    ProgramIds& m_ids;
    std::map<ProgramPath, const ProgramEntry*> m_matched;
    std::vector<const ProgramEntry*> m_unmatched;
    std::map<ProgramPath, std::vector<const ProgramEntry*>> m_haveByPath;
};

} // namespace ltpstate
