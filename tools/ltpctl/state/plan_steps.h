// What the family planners share: the phases steps are sent in, the steps gathered by phase, and
// the names a prune deletes (what the server deletes with them is not listed again).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "tools/ltpctl/state/layout.h"
#include "tools/ltpctl/state/plan.h"

namespace ltpstate {

// The phases of a plan, in the order adds and changes are sent; deletes go in reverse.
enum class Phase {
    users,
    groups,
    memberships,
    programs,
    paths,
    rights,
    channels,
    schedules,
    globals,
    mtp,
    information
};
inline constexpr std::size_t kPhaseCount = static_cast<std::size_t>(Phase::information) + 1;

class PlanSteps {
public:
    void Add(Phase phase, Step step) { m_adds[Index(phase)].push_back(std::move(step)); }
    void Delete(Phase phase, Step step) { m_deletes[Index(phase)].push_back(std::move(step)); }
    // Adds and changes phase by phase, then deletes in the reverse order of the phases.
    std::vector<Step> Ordered();

private:
    static std::size_t Index(Phase p) { return static_cast<std::size_t>(p); }
    std::vector<Step> m_adds[kPhaseCount];
    std::vector<Step> m_deletes[kPhaseCount];
};

// The keys of entries a prune deletes, whose memberships and grants go with them.
struct Deleted {
    std::set<std::string> users, groups;
};

// The fields the file holds that differ, each shown as the file writes it.
template <class T>
std::vector<FieldChange> Differences(const T& want, const T& have, const FieldNaming& naming) {
    std::vector<FieldChange> changes;
    for (const ltp::Field<T>& f : ltp::fields<T>())
        if (InFile(f) && !SameValue(f, want, have))
            changes.push_back({naming.Name(ltp::record_name<T>(), f.wire_name), ShowValue(f, have),
                               ShowValue(f, want)});
    return changes;
}

inline ProgramPath ParentOf(const ProgramPath& path) {
    return ProgramPath(path.begin(), path.end() - 1);
}

} // namespace ltpstate
