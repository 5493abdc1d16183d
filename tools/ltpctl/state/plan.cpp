#include "tools/ltpctl/state/plan.h"

#include <algorithm>
#include <iterator>

#include "tools/ltpctl/state/fetch.h"
#include "tools/ltpctl/state/plan_keyed.h"
#include "tools/ltpctl/state/plan_memberships.h"
#include "tools/ltpctl/state/plan_programs.h"
#include "tools/ltpctl/state/plan_references.h"
#include "tools/ltpctl/state/plan_schedules.h"

namespace ltpstate {

std::int32_t ProgramIds::Of(const ProgramPath& path) const {
    if (path.empty())
        return 0;
    const auto it = ids.find(path);
    if (it == ids.end())
        throw ltp::Error("no number is known for program \"" + JoinPath(path) + "\"");
    return it->second;
}

std::vector<Step> PlanSteps::Ordered() {
    std::vector<Step> steps;
    for (auto& phase : m_adds)
        for (Step& s : phase)
            steps.push_back(std::move(s));
    for (std::size_t p = kPhaseCount; p-- > 0;)
        for (Step& s : m_deletes[p])
            steps.push_back(std::move(s));
    return steps;
}

const KeyedPlanner<UserEntry, ltp::User>::Family kUserFamily{Phase::users, "user", &UserEntry::user,
                                                             &ltp::User::user_id};
const KeyedPlanner<GroupEntry, ltp::Group>::Family kGroupFamily{
    Phase::groups, "group", &GroupEntry::group, &ltp::Group::group_id};
const KeyedPlanner<ChannelEntry, ltp::Channel>::Family kChannelFamily{
    Phase::channels, "channel", &ChannelEntry::channel, &ltp::Channel::channel_id};
const KeyedPlanner<GlobalEntry, ltp::Global>::Family kGlobalFamily{
    Phase::globals, "global", &GlobalEntry::global, &ltp::Global::key};
const KeyedPlanner<MtpEntry, ltp::MtpServer>::Family kMtpFamily{
    Phase::mtp, "MTP server", &MtpEntry::server, &ltp::MtpServer::mtp_svr_name};

namespace {

// A keyed family against the server's records held in a state.
template <class Entry, class T>
void PlanHeld(const typename KeyedPlanner<Entry, T>::Family& family,
              const std::optional<std::vector<Entry>>& want,
              const std::optional<std::vector<Entry>>& have, const FieldNaming& naming,
              PlanSteps& steps, std::set<std::string>* deleted = nullptr) {
    if (!want)
        return;
    KeyedPlanner<Entry, T> planner(family, *want, naming);
    if (have)
        for (const Entry& e : *have)
            planner.Have(e.*family.record);
    planner.Finish(steps, deleted);
}

void PlanInformation(const State& want, const State& have, PlanSteps& steps) {
    if (!want.information || (have.information && *have.information == *want.information))
        return;
    const std::string text = *want.information;
    steps.Add(Phase::information,
              {ChangeKind::change,
               "information",
               {{"bytes", std::to_string(have.information ? have.information->size() : 0),
                 std::to_string(text.size())}},
               [text](ltp::Client& c, ProgramIds&) { c.add_information(text); }});
}

std::string Shown(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \"\t") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

namespace {

// The server's users, walked as their list arrives, and the groups each is a member of.
struct ServerUsers {
    std::function<void(const std::function<void(const ltp::User&)>&)> each;
    GroupsOf groupsOf;
};

Plan Make(const State& desired, const State& current, const ServerUsers& users, bool prune,
          const FieldNaming& naming) {
    CheckReferences(desired, current);
    Plan plan;
    PlanSteps steps;
    Deleted deleted;
    if (desired.users) {
        KeyedPlanner<UserEntry, ltp::User> planner(kUserFamily, *desired.users, naming);
        users.each([&](const ltp::User& u) { planner.Have(u); });
        planner.Finish(steps, &deleted.users);
    }
    PlanHeld<GroupEntry, ltp::Group>(kGroupFamily, desired.groups, current.groups, naming, steps,
                                     &deleted.groups);
    if (desired.users)
        PlanMemberships(*desired.users, users.groupsOf, deleted.groups, steps);
    ProgramPlanner programs(desired.programs ? &*desired.programs : nullptr,
                            current.programs ? &*current.programs : nullptr, naming, plan.ids);
    programs.Plan(deleted, steps);
    PlanHeld<ChannelEntry, ltp::Channel>(kChannelFamily, desired.channels, current.channels, naming,
                                         steps);
    if (desired.channels)
        PlanSchedules(*desired.channels, current.channels ? &*current.channels : nullptr,
                      desired.programs.has_value(), programs,
                      desired.programs ? &*desired.programs : nullptr, naming, steps);
    PlanHeld<GlobalEntry, ltp::Global>(kGlobalFamily, desired.globals, current.globals, naming,
                                       steps);
    PlanHeld<MtpEntry, ltp::MtpServer>(kMtpFamily, desired.mtp, current.mtp, naming, steps);
    PlanInformation(desired, current, steps);
    plan.steps = steps.Ordered();
    // Deletes are planned either way and only come last, so that without prune they can be told
    // apart as unmanaged.
    if (!prune) {
        const auto firstDelete =
            std::find_if(plan.steps.begin(), plan.steps.end(),
                         [](const Step& s) { return s.kind == ChangeKind::remove; });
        plan.unmanaged.assign(std::make_move_iterator(firstDelete),
                              std::make_move_iterator(plan.steps.end()));
        plan.steps.erase(firstDelete, plan.steps.end());
    }
    return plan;
}

} // namespace

Plan MakePlan(const State& desired, const State& current, bool prune, const FieldNaming& naming) {
    std::map<std::string, const std::vector<std::string>*> groupsOf;
    if (current.users)
        for (const UserEntry& u : *current.users)
            groupsOf.emplace(u.user.user_id, &u.groups);
    ServerUsers users;
    users.each = [&](const std::function<void(const ltp::User&)>& take) {
        if (!current.users)
            return;
        for (const UserEntry& u : *current.users)
            take(u.user);
    };
    users.groupsOf = [&](const std::string& user) -> const std::vector<std::string>* {
        const auto found = groupsOf.find(user);
        return found == groupsOf.end() ? nullptr : found->second;
    };
    return Make(desired, current, users, prune, naming);
}

Plan PlanAgainst(ltp::Client& client, const State& desired, bool prune, const FieldNaming& naming) {
    std::vector<Family> families = FamiliesToRead(desired);
    // With the file's users, the server's are compared as they arrive, never held; without,
    // they are read whole, for the rights that name them.
    if (desired.users)
        families.erase(std::remove(families.begin(), families.end(), Family::users),
                       families.end());
    const State current = Fetch(client, families);
    if (!desired.users)
        return MakePlan(desired, current, prune, naming);
    std::vector<ltp::Group> groups;
    if (current.groups)
        for (const GroupEntry& g : *current.groups)
            groups.push_back(g.group);
    const std::map<std::string, std::vector<std::string>> memberships = Memberships(client, groups);
    ServerUsers users;
    users.each = [&](const std::function<void(const ltp::User&)>& take) { EachUser(client, take); };
    users.groupsOf = [&](const std::string& user) -> const std::vector<std::string>* {
        const auto found = memberships.find(user);
        return found == memberships.end() ? nullptr : &found->second;
    };
    return Make(desired, current, users, prune, naming);
}

std::string Describe(const Step& step) {
    static const char signs[] = {'+', '~', '-'};
    std::string line = std::string(1, signs[static_cast<int>(step.kind)]) + " " + step.subject;
    for (std::size_t i = 0; i < step.changes.size(); ++i) {
        const FieldChange& c = step.changes[i];
        line += (i == 0 ? " (" : ", ") + c.field + ": " + Shown(c.before) + " -> " + Shown(c.after);
    }
    if (!step.changes.empty())
        line += ")";
    return line;
}

} // namespace ltpstate
