#include "load_model.h"

namespace ltptest {
namespace {

template <class Map, class Pred> void EraseIf(Map& map, Pred pred) {
    for (auto it = map.begin(); it != map.end();)
        it = pred(*it) ? map.erase(it) : std::next(it);
}

template <class Map>
void MergeInto(Map& into, const Map& from, const char* what, std::vector<std::string>& clashes) {
    for (const auto& entry : from)
        if (!into.insert(entry).second)
            clashes.push_back(std::string(what) + " held twice");
}

} // namespace

void LoadModel::DeleteUser(const std::string& user) {
    users.erase(user);
    EraseIf(members, [&](const auto& m) { return m.first == user; });
    EraseIf(userRights, [&](const auto& r) { return r.first.first == user; });
}

void LoadModel::DeleteGroup(const std::string& group) {
    groups.erase(group);
    EraseIf(members, [&](const auto& m) { return m.second == group; });
    EraseIf(groupRights, [&](const auto& r) { return r.first.first == group; });
}

void LoadModel::DeleteProgram(LONG program) {
    programs.erase(program);
    EraseIf(userRights, [&](const auto& r) { return r.first.second == program; });
    EraseIf(groupRights, [&](const auto& r) { return r.first.second == program; });
    EraseIf(paths, [&](const auto& p) { return p.first.first == program; });
}

bool LoadModel::HasChildren(LONG program) const {
    for (const auto& entry : programs)
        if (entry.second.Number6 == program)
            return true;
    return false;
}

std::vector<LONG> LoadModel::Descendants(LONG program) const {
    std::vector<LONG> below;
    std::vector<LONG> pending{program};
    while (!pending.empty()) {
        const LONG parent = pending.back();
        pending.pop_back();
        for (const auto& entry : programs)
            if (entry.second.Number6 == parent) {
                below.push_back(entry.first);
                pending.push_back(entry.first);
            }
    }
    return below;
}

void LoadModel::ApplyToDescendants(LONG program) {
    for (LONG d : Descendants(program)) {
        EraseIf(userRights, [&](const auto& r) { return r.first.second == d; });
        EraseIf(groupRights, [&](const auto& r) { return r.first.second == d; });
        std::vector<std::pair<std::pair<std::string, LONG>, LONG>> users, groups;
        for (const auto& [key, rights] : userRights)
            if (key.second == program)
                users.push_back({{key.first, d}, rights});
        for (const auto& [key, rights] : groupRights)
            if (key.second == program)
                groups.push_back({{key.first, d}, rights});
        userRights.insert(users.begin(), users.end());
        groupRights.insert(groups.begin(), groups.end());
    }
}

bool LoadModel::HasSchedules(const std::string& channel) const {
    for (const auto& entry : schedules)
        if (channel == entry.second.Text2)
            return true;
    return false;
}

LONG LoadModel::Permission(const std::string& user, LONG program) const {
    LONG permission = 0;
    auto own = userRights.find({user, program});
    if (own != userRights.end())
        permission = own->second;
    for (const auto& [group, rights] : groupRights)
        if (group.second == program && members.count({user, group.first}))
            permission |= rights;
    return permission;
}

void LoadModel::Merge(const LoadModel& other, std::vector<std::string>& clashes) {
    MergeInto(users, other.users, "a user", clashes);
    MergeInto(groups, other.groups, "a group", clashes);
    MergeInto(programs, other.programs, "a program number", clashes);
    MergeInto(channels, other.channels, "a channel", clashes);
    MergeInto(schedules, other.schedules, "a schedule number", clashes);
    MergeInto(globals, other.globals, "a global", clashes);
    MergeInto(mtpServers, other.mtpServers, "an MTP server", clashes);
    for (const auto& m : other.members)
        if (!members.insert(m).second)
            clashes.push_back("a membership held twice");
    MergeInto(userRights, other.userRights, "a user grant", clashes);
    MergeInto(groupRights, other.groupRights, "a group grant", clashes);
    MergeInto(paths, other.paths, "a program path", clashes);
}

} // namespace ltptest
