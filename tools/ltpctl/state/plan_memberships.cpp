#include "tools/ltpctl/state/plan_memberships.h"

#include <algorithm>

namespace ltpstate {

void PlanMemberships(const std::vector<UserEntry>& want, const GroupsOf& have,
                     const std::set<std::string>& deletedGroups, PlanSteps& steps) {
    const std::vector<std::string> none;
    for (const UserEntry& u : want) {
        const std::string& id = u.user.user_id;
        const std::vector<std::string>* found = have(id);
        const std::vector<std::string>& current = found ? *found : none;
        for (const std::string& g : u.groups)
            if (!std::binary_search(current.begin(), current.end(), g))
                steps.Add(Phase::memberships,
                          {ChangeKind::add,
                           "member " + id + " of group " + g,
                           {},
                           [id, g](ltp::Client& c, ProgramIds&) { c.add_user_to_group(id, g); }});
        for (const std::string& g : current)
            if (!std::binary_search(u.groups.begin(), u.groups.end(), g) && !deletedGroups.count(g))
                steps.Delete(Phase::memberships, {ChangeKind::remove,
                                                  "member " + id + " of group " + g,
                                                  {},
                                                  [id, g](ltp::Client& c, ProgramIds&) {
                                                      c.delete_user_from_group(id, g);
                                                  }});
    }
}

} // namespace ltpstate
