#include "tools/ltpctl/state/fetch.h"

#include <algorithm>
#include <map>

namespace ltpstate {
namespace {

bool Has(const std::vector<Family>& families, Family f) {
    return std::find(families.begin(), families.end(), f) != families.end();
}

// Places every program by walking up its parents (Number6). A parent that is missing, or a
// loop, ends the walk: the program is placed as if the tree began there.
void PlacePrograms(std::vector<ProgramEntry>& programs) {
    std::map<std::int32_t, const ltp::Program*> byId;
    for (const ProgramEntry& p : programs)
        byId.emplace(p.program.program_id, &p.program);
    for (ProgramEntry& p : programs) {
        p.path.clear();
        const ltp::Program* at = &p.program;
        for (std::size_t depth = 0; at && depth <= programs.size(); ++depth) {
            p.path.push_back(at->text2);
            const auto parent = at->number6 == 0 ? byId.end() : byId.find(at->number6);
            at = parent == byId.end() ? nullptr : parent->second;
        }
        std::reverse(p.path.begin(), p.path.end());
    }
    std::stable_sort(programs.begin(), programs.end(),
                     [](const ProgramEntry& a, const ProgramEntry& b) { return a.path < b.path; });
}

std::vector<ProgramEntry> ReadPrograms(ltp::Client& client, bool withParts) {
    std::vector<ProgramEntry> programs;
    for (ltp::Program& p : client.programs()) {
        ProgramEntry e;
        e.program = std::move(p);
        programs.push_back(std::move(e));
    }
    PlacePrograms(programs);
    if (!withParts)
        return programs;
    for (ProgramEntry& e : programs) {
        const std::int32_t id = e.program.program_id;
        for (const ltp::User& u : client.granted_users(id))
            e.user_rights[u.user_id] = client.user_rights(u.user_id, id);
        for (const ltp::Group& g : client.granted_groups(id))
            e.group_rights[g.group_id] = client.group_rights(g.group_id, id);
        for (ltp::ProgramPath& path : client.program_paths(id)) {
            const std::string text = path.program_path;
            e.paths[text] = std::move(path);
        }
    }
    return programs;
}

} // namespace

std::map<std::string, std::vector<std::string>> Memberships(ltp::Client& client,
                                                            const std::vector<ltp::Group>& groups) {
    std::map<std::string, std::vector<std::string>> memberships;
    for (const ltp::Group& g : groups)
        client.group_users_each(
            g.group_id, [&](const ltp::User& u) { memberships[u.user_id].push_back(g.group_id); });
    for (auto& m : memberships)
        std::sort(m.second.begin(), m.second.end());
    return memberships;
}

void EachUser(ltp::Client& client, const std::function<void(const ltp::User&)>& take) {
    client.users_each(take);
}

State Fetch(ltp::Client& client, const std::vector<Family>& families) {
    State state;
    if (Has(families, Family::information))
        state.information = client.information();
    std::vector<ltp::Group> groups;
    const bool needGroups = Has(families, Family::users) || Has(families, Family::groups);
    if (needGroups)
        groups = client.groups();
    if (Has(families, Family::users)) {
        std::map<std::string, std::vector<std::string>> memberships = Memberships(client, groups);
        state.users.emplace();
        EachUser(client, [&](const ltp::User& u) {
            UserEntry e;
            e.groups = std::move(memberships[u.user_id]);
            e.user = u;
            state.users->push_back(std::move(e));
        });
    }
    if (Has(families, Family::groups)) {
        state.groups.emplace();
        for (ltp::Group& g : groups)
            state.groups->push_back({std::move(g), 0});
    }
    // Schedules name their programs by place, so channels need the tree (without its parts).
    std::vector<ProgramEntry> programs;
    const bool wantPrograms = Has(families, Family::programs);
    if (wantPrograms || Has(families, Family::channels))
        programs = ReadPrograms(client, wantPrograms);
    if (Has(families, Family::channels)) {
        std::map<std::int32_t, const ProgramEntry*> byId;
        for (const ProgramEntry& p : programs)
            byId.emplace(p.program.program_id, &p);
        std::map<std::string, std::vector<ScheduleEntry>> byChannel;
        for (ltp::Schedule& s : client.schedules()) {
            ScheduleEntry e;
            const auto shown = byId.find(s.number3);
            e.program.by_path = shown != byId.end();
            if (e.program.by_path)
                e.program.path = shown->second->path;
            else
                e.program.number = s.number3;
            e.schedule = std::move(s);
            byChannel[e.schedule.text2].push_back(std::move(e));
        }
        state.channels.emplace();
        for (ltp::Channel& c : client.channels()) {
            ChannelEntry e;
            e.schedules = std::move(byChannel[c.channel_id]);
            e.channel = std::move(c);
            state.channels->push_back(std::move(e));
        }
    }
    if (wantPrograms || Has(families, Family::channels))
        state.programs = std::move(programs);
    if (Has(families, Family::globals)) {
        state.globals.emplace();
        for (ltp::Global& g : client.globals())
            state.globals->push_back({std::move(g), 0});
    }
    if (Has(families, Family::mtp)) {
        state.mtp.emplace();
        for (ltp::MtpServer& m : client.mtp_servers())
            state.mtp->push_back({std::move(m), 0});
    }
    return state;
}

std::vector<Family> FamiliesToRead(const State& desired) {
    std::vector<Family> families;
    auto add = [&](Family f) {
        if (std::find(families.begin(), families.end(), f) == families.end())
            families.push_back(f);
    };
    if (desired.information)
        add(Family::information);
    if (desired.users) {
        add(Family::users);
        add(Family::groups);
    }
    if (desired.groups)
        add(Family::groups);
    if (desired.programs) {
        add(Family::programs);
        add(Family::users);
        add(Family::groups);
    }
    if (desired.channels) {
        add(Family::channels);
        add(Family::programs);
    }
    if (desired.globals)
        add(Family::globals);
    if (desired.mtp)
        add(Family::mtp);
    return families;
}

} // namespace ltpstate
