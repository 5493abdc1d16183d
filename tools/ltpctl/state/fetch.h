// Reads a server's administrable state, family by family.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/model.h"

namespace ltpstate {

// Reads the families listed; with channels also the program tree, without rights and paths,
// which schedules name their programs by. Throws what the client throws.
State Fetch(ltp::Client& client, const std::vector<Family>& families);

// The groups of every user that is a member of one of `groups`, each list sorted.
std::map<std::string, std::vector<std::string>> Memberships(ltp::Client& client,
                                                            const std::vector<ltp::Group>& groups);

// Hands the server's users to `take` one at a time, as the list arrives.
void EachUser(ltp::Client& client, const std::function<void(const ltp::User&)>& take);

// The families a plan for `desired` has to read: its own, and those its entries name (the groups
// of members, the users and groups of rights, the programs of schedules).
std::vector<Family> FamiliesToRead(const State& desired);

} // namespace ltpstate
