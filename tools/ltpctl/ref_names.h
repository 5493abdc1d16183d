// The records a reference may name, read from the server when a table or an option needs them:
// each record's key and the name the schema's display field gives it.
#pragma once

#include <string>
#include <vector>

#include "tools/common/value_forms.h"
#include "tools/ltpctl/connection.h"

namespace ltpctl {

// Every record of kind ("Program", "Channel", "User", "Group") with its name; empty for a kind
// that cannot be listed or that the schema gives no display field, or when reading failed (the
// failure is reported).
std::vector<ltptools::RefCandidate> ReadRefCandidates(Connection& connection,
                                                      const std::string& kind);

} // namespace ltpctl
