// Reads a server's administrable state, family by family.
#pragma once

#include <vector>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/model.h"

namespace ltpstate {

// Reads the families listed; with channels also the program tree, without rights and paths,
// which schedules name their programs by. Throws what the client throws.
State Fetch(ltp::Client& client, const std::vector<Family>& families);

// The families a plan for `desired` has to read: its own, and those its entries name (the groups
// of members, the users and groups of rights, the programs of schedules).
std::vector<Family> FamiliesToRead(const State& desired);

} // namespace ltpstate
