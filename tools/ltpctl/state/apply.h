// Sends a plan. The protocol has no transactions: apply stops at the first step the server
// refuses (or the first failure of the connection), and a later run plans again from what the
// server then holds, so that it goes on from there.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/plan.h"

namespace ltpstate {

// What became of a step that was not done.
struct StepTrouble {
    enum class Kind { refused, unknown, not_sent };
    std::size_t step = 0; // its place in the plan
    Kind kind = Kind::not_sent;
    std::string error;
};

struct ApplyResult {
    std::size_t done = 0; // steps carried out (one at a time: all those before the failed one)
    bool failed = false;  // a step failed: the one after them, one at a time
    bool refused = false; // by the server (else the connection failed)
    std::string error;    // why
    // In a pipeline, steps after a failure may still have been carried out: every step not
    // done, in plan order, refused, sent without an answer (it may have been made), or not sent.
    std::vector<StepTrouble> troubles;
};

// Runs the steps in order; after each one done, calls onDone with it. Exceptions of the client
// end the run and are reported in the result; nothing else is caught.
ApplyResult Apply(ltp::Client& client, Plan& plan,
                  const std::function<void(const Step&)>& onDone = {});

// The same with up to `depth` requests in flight (1: the same as Apply). A step that makes a
// program waits for the answers before it, and goes alone, since the steps after it need the
// program's number. After a refusal or a failure nothing more is sent; what was in flight ends
// as it ends. onDone is called for the steps done, in plan order, once their answers are in.
ApplyResult ApplyPipelined(ltp::Client& client, Plan& plan, std::size_t depth,
                           const std::function<void(const Step&)>& onDone = {});

} // namespace ltpstate
