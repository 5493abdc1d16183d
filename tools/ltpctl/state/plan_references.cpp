#include "tools/ltpctl/state/plan_references.h"

#include <algorithm>

#include "tools/ltpctl/state/file_error.h"

namespace ltpstate {
namespace {

template <class Entry, class Member>
bool Holds(const std::optional<std::vector<Entry>>& want,
           const std::optional<std::vector<Entry>>& have, Member member, const std::string& name) {
    const auto& list = want ? want : have;
    if (!list)
        return true;
    return std::any_of(list->begin(), list->end(),
                       [&](const Entry& e) { return member(e) == name; });
}

} // namespace

void CheckReferences(const State& want, const State& have) {
    auto groupId = [](const GroupEntry& g) { return g.group.group_id; };
    auto userId = [](const UserEntry& u) { return u.user.user_id; };
    const char* where = want.groups ? "the file" : "the server";
    if (want.users)
        for (const UserEntry& u : *want.users)
            for (const std::string& g : u.groups)
                if (!Holds(want.groups, have.groups, groupId, g))
                    throw FileError(u.groups_line, "user \"" + u.user.user_id +
                                                       "\" is a member of group \"" + g +
                                                       "\", which " + where + " does not hold");
    if (!want.programs)
        return;
    for (const ProgramEntry& p : *want.programs) {
        for (const auto& grant : p.user_rights)
            if (!Holds(want.users, have.users, userId, grant.first))
                throw FileError(p.rights_line,
                                "program \"" + JoinPath(p.path) + "\" grants rights to user \"" +
                                    grant.first + "\", which " +
                                    (want.users ? "the file" : "the server") + " does not hold");
        for (const auto& grant : p.group_rights)
            if (!Holds(want.groups, have.groups, groupId, grant.first))
                throw FileError(p.rights_line, "program \"" + JoinPath(p.path) +
                                                   "\" grants rights to group \"" + grant.first +
                                                   "\", which " + where + " does not hold");
    }
}

} // namespace ltpstate
