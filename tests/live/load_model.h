// What the server should hold, as a test keeps track of it: the records by their keys and the
// relations between them, with the cascades the server applies when a user, group or program
// goes. Each load client keeps one over the records it owns; they are merged for the final check.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ltpadmin/ltpadmin.h"

namespace ltptest {

struct LoadModel {
    std::map<std::string, tagUser> users;
    std::map<std::string, tagGroup> groups;
    std::map<LONG, tagProgram> programs;
    std::map<std::string, tagChannel> channels;
    std::map<LONG, tagSchedule> schedules;
    std::map<std::string, tagGlobal> globals;
    std::map<std::string, MTPSVR> mtpServers;
    std::set<std::pair<std::string, std::string>> members;     // (user, group)
    std::map<std::pair<std::string, LONG>, LONG> userRights;   // (user, program) -> rights
    std::map<std::pair<std::string, LONG>, LONG> groupRights;  // (group, program) -> rights
    std::map<std::pair<LONG, std::string>, PROGRAMPATH> paths; // (program, path)

    // The server's cascades: memberships and grants of a user or group; grants and paths of a
    // program.
    void DeleteUser(const std::string& user);
    void DeleteGroup(const std::string& group);
    void DeleteProgram(LONG program);

    bool HasChildren(LONG program) const;
    // Every program below the given one, however deep.
    std::vector<LONG> Descendants(LONG program) const;
    // The server's "apply permission to descendants": every program below gets exactly the
    // user and group grants of this one.
    void ApplyToDescendants(LONG program);
    bool HasSchedules(const std::string& channel) const;
    // The user's own rights on the program OR-ed with those of every group he belongs to.
    LONG Permission(const std::string& user, LONG program) const;

    // Adds other's records; a key held by both is a record doubled, described in clashes.
    void Merge(const LoadModel& other, std::vector<std::string>& clashes);
};

} // namespace ltptest
