// The changes that make a server match a desired state, in the order apply sends them: adds and
// changes in the order of dependency (users, groups, memberships, programs parents first, their
// paths and rights, channels, schedules, globals, MTP servers, the information text), then, with
// prune, deletes in the reverse order. What the server deletes together with an entry (a
// deleted user's memberships and grants, a deleted program's grants and paths) is not listed
// again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/model.h"
#include "tools/ltpctl/state/values.h"

namespace ltpstate {

struct FieldChange {
    std::string field;
    std::string before;
    std::string after;
};

// The server's numbers of the file's programs: those found when planning, and those that apply
// creates, by place.
struct ProgramIds {
    std::map<ProgramPath, std::int32_t> ids;
    std::int32_t Of(const ProgramPath& path) const;
};

enum class ChangeKind { add, change, remove };

struct Step {
    ChangeKind kind = ChangeKind::add;
    std::string subject;
    std::vector<FieldChange> changes;
    std::function<void(ltp::Client&, ProgramIds&)> run;
    // Makes a program whose number later steps need: a pipeline waits for its answer.
    bool makesProgram = false;
};

struct Plan {
    std::vector<Step> steps;
    // Without prune: the deletes a prune would make, i.e. what only the server holds. Shown so
    // that drift is never silent; never run.
    std::vector<Step> unmanaged;
    ProgramIds ids;
};

// Throws FileError (with the file's line) for a file that names what neither it nor the server
// holds, or that cannot be matched to the server without doubt (names not unique in one parent,
// two schedules of one channel at one start for one program).
Plan MakePlan(const State& desired, const State& current, bool prune, const FieldNaming& naming);

// Reads from the server what a plan for `desired` needs and plans as MakePlan does; the server's
// users are compared as their list arrives, never held. Throws what MakePlan and the client
// throw.
Plan PlanAgainst(ltp::Client& client, const State& desired, bool prune, const FieldNaming& naming);

// "+ user frank", "~ user alice (Text2: "Alice" -> "Alice Martin")", "- schedule ..."
std::string Describe(const Step& step);

} // namespace ltpstate
