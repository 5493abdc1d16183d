// The names a file's entries refer to (the groups of members, the users and groups of rights)
// must be found: in the file when it manages that family, else on the server.
#pragma once

#include "tools/ltpctl/state/model.h"

namespace ltpstate {

// Throws FileError, with the line of the reference, for the first name that is not found.
void CheckReferences(const State& want, const State& have);

} // namespace ltpstate
