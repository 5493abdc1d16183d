// Plans the users' memberships of groups: the file's users against the groups the server lists
// each of them in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/ltpctl/state/plan_steps.h"

namespace ltpstate {

// The server's groups of a user, sorted, or nullptr for a user the server does not hold.
using GroupsOf = std::function<const std::vector<std::string>*(const std::string& user)>;

// A membership of a group that a prune deletes goes with the group: it is not listed.
void PlanMemberships(const std::vector<UserEntry>& want, const GroupsOf& have,
                     const std::set<std::string>& deletedGroups, PlanSteps& steps);

} // namespace ltpstate
