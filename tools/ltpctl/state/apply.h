// Sends a plan. The protocol has no transactions: apply stops at the first step the server
// refuses (or the first failure of the connection), and a later run plans again from what the
// server then holds, so that it goes on from there.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/plan.h"

namespace ltpstate {

struct ApplyResult {
    std::size_t done = 0; // steps carried out, from the first
    bool failed = false;  // the step after them failed
    bool refused = false; // by the server (else the connection failed)
    std::string error;    // why
};

// Runs the steps in order; after each one done, calls onDone with it. Exceptions of the client
// end the run and are reported in the result; nothing else is caught.
ApplyResult Apply(ltp::Client& client, Plan& plan,
                  const std::function<void(const Step&)>& onDone = {});

} // namespace ltpstate
