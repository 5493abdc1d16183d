#include "load_client.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "record_match.h"

namespace ltptest {
namespace {

void Put(char* field, size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), text.size() < width ? text.size() : width - 1);
}

#define FIELD(r, f) r.f, sizeof r.f

template <class Map> auto Pick(Map& map, RandomFields& fields) {
    auto it = map.begin();
    std::advance(it, static_cast<long>(fields.Below(map.size())));
    return it;
}

} // namespace

LoadClient::LoadClient(int index, uint64_t seed, const SharedRecords& shared)
    : m_index(index), m_fields(seed, 1252), m_shared(shared) {}

void LoadClient::Run(const LtpdThread& server, size_t operations,
                     std::chrono::steady_clock::time_point deadline) {
    if (!server.LogIn(m_admin)) {
        m_errors.push_back("log-in failed");
        return;
    }
    while (m_operations < operations && std::chrono::steady_clock::now() < deadline) {
        ++m_operations;
        if (!Step())
            break;
    }
    m_admin.LogOut();
}

bool LoadClient::Expect(int result, bool success, const char* what) {
    ++m_requests;
    const LONG error = static_cast<LONG>(m_admin.GetLastError());
    if (success ? result == 1 : result == 0 && error == LTP_ERROR_NONE)
        return true;
    char text[400];
    std::snprintf(text, sizeof text,
                  "client %d, operation %zu, %s: returned %d (expected %s), GetLastError %ld, "
                  "reason \"%s\"",
                  m_index, m_operations, what, result, success ? "success" : "a refusal",
                  static_cast<long>(error),
                  static_cast<const char*>(m_admin.GetErrorDescription()));
    m_errors.push_back(text);
    return false;
}

bool LoadClient::Changed(int result, const char* what) {
    if (!Expect(result, true, what))
        return false;
    ++m_changes;
    return true;
}

std::string LoadClient::NewKey(size_t width) {
    // The client's number in front keeps every client's records apart.
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "c%02d.", m_index);
    return prefix + m_fields.Text(width - 4);
}

void LoadClient::FillUser(tagUser& r) {
    Put(FIELD(r, Text2), m_fields.Text(sizeof r.Text2));
    Put(FIELD(r, Text3), m_fields.Text(sizeof r.Text3));
    Put(FIELD(r, Text4), m_fields.Text(sizeof r.Text4));
    Put(FIELD(r, Text5), m_fields.Text(sizeof r.Text5));
    Put(FIELD(r, Text6), m_fields.Text(sizeof r.Text6));
}

void LoadClient::FillGroup(tagGroup& r) {
    Put(FIELD(r, Text2), m_fields.Text(sizeof r.Text2));
}

void LoadClient::FillProgram(tagProgram& r) {
    Put(FIELD(r, Text2), m_fields.Text(sizeof r.Text2));
    Put(FIELD(r, Text3), m_fields.Text(sizeof r.Text3));
    Put(FIELD(r, Text13), m_fields.Text(sizeof r.Text13));
    r.Real5 = m_fields.Decimal();
    r.Number7 = m_fields.Number();
}

void LoadClient::FillChannel(tagChannel& r) {
    Put(FIELD(r, Text2), m_fields.Text(sizeof r.Text2));
    Put(FIELD(r, Text3), m_fields.Text(sizeof r.Text3));
}

void LoadClient::FillSchedule(tagSchedule& r) {
    const std::string channel = m_model.channels.empty() || m_fields.Chance(0.2)
                                    ? std::string()
                                    : Pick(m_model.channels, m_fields)->first;
    Put(FIELD(r, Text2), channel);
    r.Number3 = m_fields.Number();
    r.Real4 = m_fields.Decimal();
    r.Real5 = m_fields.Decimal();
    r.Number6 = m_fields.Number();
}

void LoadClient::FillGlobal(tagGlobal& r) {
    r.Number2 = m_fields.Number();
    Put(FIELD(r, Text3), m_fields.Text(sizeof r.Text3));
    Put(FIELD(r, Text4), m_fields.Text(sizeof r.Text4));
}

void LoadClient::FillMTPSvr(MTPSVR& r) {
    Put(FIELD(r, Text2), m_fields.Text(sizeof r.Text2));
    Put(FIELD(r, Text3), m_fields.Text(sizeof r.Text3));
    r.Number5 = m_fields.Number();
    r.Number6 = m_fields.Number();
}

LONG LoadClient::SomeParent() {
    return m_fields.Chance(0.5) ? 0 : m_shared.programs[m_fields.Below(m_shared.programs.size())];
}

LONG LoadClient::SomeProgram() {
    if (!m_model.programs.empty() && m_fields.Chance(0.6))
        return Pick(m_model.programs, m_fields)->first;
    return m_shared.programs[m_fields.Below(m_shared.programs.size())];
}

std::string LoadClient::SomeGroup() {
    if (!m_model.groups.empty() && m_fields.Chance(0.6))
        return Pick(m_model.groups, m_fields)->first;
    return m_shared.groups[m_fields.Below(m_shared.groups.size())];
}

bool LoadClient::Step() {
    switch (m_fields.Below(12)) {
        case 0:
            return Users();
        case 1:
            return Groups();
        case 2:
            return Programs();
        case 3:
            return Channels();
        case 4:
            return Schedules();
        case 5:
            return Globals();
        case 6:
            return MTPServers();
        case 7:
            return Memberships();
        case 8:
            return UserRights();
        case 9:
            return GroupRights();
        case 10:
            return Paths();
        default:
            return Reads();
    }
}

// Each family: add a new record (or, now and then, one that exists, which the server refuses),
// modify or delete one of the client's own.
bool LoadClient::Users() {
    const size_t action = m_fields.Below(10);
    if (m_model.users.empty() || action < 4) {
        tagUser r{};
        std::string key;
        do
            key = NewKey(sizeof r.UserID);
        while (m_model.users.count(key));
        Put(FIELD(r, UserID), key);
        FillUser(r);
        if (!Changed(m_admin.AddUser(&r), "add user"))
            return false;
        m_model.users[key] = r;
        return true;
    }
    auto it = Pick(m_model.users, m_fields);
    if (action < 5) {
        tagUser again = it->second;
        return Expect(m_admin.AddUser(&again), false, "add user twice");
    }
    if (action < 8) {
        tagUser r = it->second;
        FillUser(r);
        if (!Changed(m_admin.ModifyUser(&r), "modify user"))
            return false;
        it->second = r;
        return true;
    }
    const std::string key = it->first;
    if (!Changed(m_admin.DeleteUser(key.c_str()), "delete user"))
        return false;
    m_model.DeleteUser(key);
    return Expect(m_admin.DeleteUser(key.c_str()), false, "delete user twice");
}

bool LoadClient::Groups() {
    const size_t action = m_fields.Below(10);
    if (m_model.groups.empty() || action < 4) {
        tagGroup r{};
        std::string key;
        do
            key = NewKey(sizeof r.GroupID);
        while (m_model.groups.count(key));
        Put(FIELD(r, GroupID), key);
        FillGroup(r);
        if (!Changed(m_admin.AddGroup(&r), "add group"))
            return false;
        m_model.groups[key] = r;
        return true;
    }
    auto it = Pick(m_model.groups, m_fields);
    if (action < 5) {
        tagGroup again = it->second;
        return Expect(m_admin.AddGroup(&again), false, "add group twice");
    }
    if (action < 8) {
        tagGroup r = it->second;
        FillGroup(r);
        if (!Changed(m_admin.ModifyGroup(&r), "modify group"))
            return false;
        it->second = r;
        return true;
    }
    const std::string key = it->first;
    if (!Changed(m_admin.DeleteGroup(key.c_str()), "delete group"))
        return false;
    m_model.DeleteGroup(key);
    return true;
}

bool LoadClient::Programs() {
    const size_t action = m_fields.Below(10);
    if (m_model.programs.empty() || action < 4) {
        tagProgram r{};
        r.ProgramID = m_fields.Number(); // passed over by the server
        // Below the top level, a shared program or one of the client's own.
        r.Number6 = !m_model.programs.empty() && m_fields.Chance(0.4)
                        ? Pick(m_model.programs, m_fields)->first
                        : SomeParent();
        FillProgram(r);
        if (!Changed(m_admin.AddProgram(&r), "add program"))
            return false;
        if (!m_model.programs.emplace(r.ProgramID, r).second) {
            m_errors.push_back("client " + std::to_string(m_index) + ": program number " +
                               std::to_string(r.ProgramID) + " given twice");
            return false;
        }
        return true;
    }
    auto it = Pick(m_model.programs, m_fields);
    if (action < 6) {
        tagProgram r = it->second;
        FillProgram(r);
        if (!Changed(m_admin.ModifyProgram(&r), "modify program"))
            return false;
        it->second = r;
        return true;
    }
    if (action < 8) {
        // Out of its place to the top level or below a shared program: never below itself.
        const LONG target = SomeParent();
        if (!Changed(m_admin.MoveProgram(it->first, target), "move program"))
            return false;
        it->second.Number6 = target;
        return true;
    }
    const LONG id = it->first;
    if (action < 9) {
        // Only the client's own programs lie below its own, so no other client's grants move.
        if (!Changed(m_admin.ApplyPermissionToDescendants(id), "apply permission to descendants"))
            return false;
        m_model.ApplyToDescendants(id);
        return true;
    }
    if (m_model.HasChildren(id))
        return Expect(m_admin.DeleteProgram(id), false, "delete a program with programs below");
    if (!Changed(m_admin.DeleteProgram(id), "delete program"))
        return false;
    m_model.DeleteProgram(id);
    return true;
}

bool LoadClient::Channels() {
    const size_t action = m_fields.Below(10);
    if (m_model.channels.empty() || action < 4) {
        tagChannel r{};
        std::string key;
        do
            key = NewKey(sizeof r.ChannelID);
        while (m_model.channels.count(key));
        Put(FIELD(r, ChannelID), key);
        FillChannel(r);
        if (!Changed(m_admin.AddChannel(&r), "add channel"))
            return false;
        m_model.channels[key] = r;
        return true;
    }
    auto it = Pick(m_model.channels, m_fields);
    if (action < 7) {
        tagChannel r = it->second;
        FillChannel(r);
        if (!Changed(m_admin.ModifyChannel(&r), "modify channel"))
            return false;
        it->second = r;
        return true;
    }
    const std::string key = it->first;
    if (m_model.HasSchedules(key))
        return Expect(m_admin.DeleteChannel(key.c_str()), false, "delete a channel in use");
    if (!Changed(m_admin.DeleteChannel(key.c_str()), "delete channel"))
        return false;
    m_model.channels.erase(key);
    return true;
}

bool LoadClient::Schedules() {
    const size_t action = m_fields.Below(10);
    if (m_model.schedules.empty() || action < 4) {
        tagSchedule r{};
        r.ScheduleID = m_fields.Number(); // passed over by the server
        FillSchedule(r);
        if (!Changed(m_admin.AddSchedule(&r), "add schedule"))
            return false;
        if (!m_model.schedules.emplace(r.ScheduleID, r).second) {
            m_errors.push_back("client " + std::to_string(m_index) + ": schedule number " +
                               std::to_string(r.ScheduleID) + " given twice");
            return false;
        }
        return true;
    }
    auto it = Pick(m_model.schedules, m_fields);
    if (action < 7) {
        tagSchedule r = it->second;
        FillSchedule(r);
        if (!Changed(m_admin.ModifySchedule(&r), "modify schedule"))
            return false;
        it->second = r;
        return true;
    }
    const LONG id = it->first;
    if (!Changed(m_admin.DeleteSchedule(id), "delete schedule"))
        return false;
    m_model.schedules.erase(id);
    return true;
}

bool LoadClient::Globals() {
    const size_t action = m_fields.Below(10);
    if (m_model.globals.empty() || action < 4) {
        tagGlobal r{};
        std::string key;
        do
            key = NewKey(sizeof r.Key);
        while (m_model.globals.count(key));
        Put(FIELD(r, Key), key);
        FillGlobal(r);
        if (!Changed(m_admin.AddGlobal(&r), "add global"))
            return false;
        m_model.globals[key] = r;
        return true;
    }
    auto it = Pick(m_model.globals, m_fields);
    if (action < 7) {
        tagGlobal r = it->second;
        FillGlobal(r);
        if (!Changed(m_admin.ModifyGlobal(&r), "modify global"))
            return false;
        it->second = r;
        return true;
    }
    const std::string key = it->first;
    if (!Changed(m_admin.DeleteGlobal(key.c_str()), "delete global"))
        return false;
    m_model.globals.erase(key);
    return true;
}

bool LoadClient::MTPServers() {
    const size_t action = m_fields.Below(10);
    if (m_model.mtpServers.empty() || action < 4) {
        MTPSVR r{};
        std::string key;
        do
            key = NewKey(sizeof r.MTPSvrName);
        while (m_model.mtpServers.count(key));
        Put(FIELD(r, MTPSvrName), key);
        FillMTPSvr(r);
        if (!Changed(m_admin.AddMTPSvr(&r), "add MTP server"))
            return false;
        r.Number4 = 0; // the server's registration number, checked at the end
        m_model.mtpServers[key] = r;
        return true;
    }
    auto it = Pick(m_model.mtpServers, m_fields);
    if (action < 7) {
        MTPSVR r = it->second;
        FillMTPSvr(r);
        if (!Changed(m_admin.ModifyMTPSvr(&r), "modify MTP server"))
            return false;
        it->second = r;
        return true;
    }
    const std::string key = it->first;
    if (!Changed(m_admin.DeleteMTPSvr(key.c_str()), "delete MTP server"))
        return false;
    m_model.mtpServers.erase(key);
    return true;
}

bool LoadClient::Memberships() {
    if (m_model.users.empty())
        return Users();
    const std::string user = Pick(m_model.users, m_fields)->first;
    const std::string group = SomeGroup();
    if (!m_model.members.count({user, group})) {
        if (!Changed(m_admin.AddUserToGroup(user.c_str(), group.c_str()), "add user to group"))
            return false;
        m_model.members.insert({user, group});
        return true;
    }
    if (m_fields.Chance(0.2))
        return Expect(m_admin.AddUserToGroup(user.c_str(), group.c_str()), false,
                      "add a member twice");
    if (!Changed(m_admin.DeleteUserFromGroup(user.c_str(), group.c_str()),
                 "delete user from group"))
        return false;
    m_model.members.erase({user, group});
    return true;
}

bool LoadClient::UserRights() {
    if (m_model.users.empty())
        return Users();
    const std::string user = Pick(m_model.users, m_fields)->first;
    const LONG program = SomeProgram();
    const LONG rights = m_fields.Number();
    auto it = m_model.userRights.find({user, program});
    if (it == m_model.userRights.end()) {
        if (m_fields.Chance(0.2))
            return Expect(m_admin.ModifyUserRights(user.c_str(), program, rights), false,
                          "modify rights never granted");
        if (!Changed(m_admin.AddUserRights(user.c_str(), program, rights), "add user rights"))
            return false;
        m_model.userRights[{user, program}] = rights;
        return true;
    }
    if (m_fields.Chance(0.5)) {
        if (!Changed(m_admin.ModifyUserRights(user.c_str(), program, rights), "modify user rights"))
            return false;
        it->second = rights;
        return true;
    }
    if (!Changed(m_admin.DeleteUserRights(user.c_str(), program), "delete user rights"))
        return false;
    m_model.userRights.erase(it);
    return true;
}

bool LoadClient::GroupRights() {
    if (m_model.groups.empty())
        return Groups();
    // Only the client's own groups get rights, so that a member's permission depends on no
    // other client.
    const std::string group = Pick(m_model.groups, m_fields)->first;
    const LONG program = SomeProgram();
    const LONG rights = m_fields.Number();
    auto it = m_model.groupRights.find({group, program});
    if (it == m_model.groupRights.end()) {
        if (!Changed(m_admin.AddGroupRights(group.c_str(), program, rights), "add group rights"))
            return false;
        m_model.groupRights[{group, program}] = rights;
        return true;
    }
    if (m_fields.Chance(0.2))
        return Expect(m_admin.AddGroupRights(group.c_str(), program, rights), false,
                      "add group rights twice");
    if (m_fields.Chance(0.5)) {
        if (!Changed(m_admin.ModifyGroupRights(group.c_str(), program, rights),
                     "modify group rights"))
            return false;
        it->second = rights;
        return true;
    }
    if (!Changed(m_admin.DeleteGroupRights(group.c_str(), program), "delete group rights"))
        return false;
    m_model.groupRights.erase(it);
    return true;
}

bool LoadClient::Paths() {
    if (m_model.programs.empty())
        return Programs();
    if (m_model.paths.empty() || m_fields.Chance(0.6)) {
        PROGRAMPATH r{};
        r.ProgramID = Pick(m_model.programs, m_fields)->first;
        std::string path;
        do
            path = NewKey(sizeof r.ProgramPath);
        while (m_model.paths.count({r.ProgramID, path}));
        Put(FIELD(r, ProgramPath), path);
        r.Real3 = m_fields.Decimal();
        r.Real4 = m_fields.Decimal();
        if (!Changed(m_admin.AddPathToProgram(&r), "add path"))
            return false;
        m_model.paths[{r.ProgramID, path}] = r;
        return true;
    }
    auto it = Pick(m_model.paths, m_fields);
    const auto key = it->first;
    if (!Changed(m_admin.DelPathFromProgram(key.first, key.second.c_str()), "delete path"))
        return false;
    m_model.paths.erase(key);
    return true;
}

bool LoadClient::Reads() {
    if (m_model.users.empty()) {
        tagSysInfo info{};
        return Expect(m_admin.GetSysInfo(&info), true, "get system information");
    }
    const auto& [key, user] = *Pick(m_model.users, m_fields);
    tagUser got{};
    if (!Expect(m_admin.FindUser(key.c_str(), &got), true, "find user"))
        return false;
    ::testing::AssertionResult same = Matches(user, got);
    if (!same) {
        m_errors.push_back("client " + std::to_string(m_index) + ": " + same.message());
        return false;
    }
    const LONG program = SomeProgram();
    LONG permission = -12345;
    if (!Expect(m_admin.GetUserPermission(key.c_str(), program, &permission), true,
                "get user permission"))
        return false;
    if (permission != m_model.Permission(key, program)) {
        m_errors.push_back("client " + std::to_string(m_index) + ": permission " +
                           std::to_string(permission) + ", expected " +
                           std::to_string(m_model.Permission(key, program)));
        return false;
    }
    return true;
}

} // namespace ltptest
