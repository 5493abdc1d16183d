// The administrable state of a server as one value: what a configuration file asks for, or what
// a server holds. Families that are absent (std::nullopt) are not managed: nothing of them is
// compared, changed or deleted. Programs and schedules are identified by their place, never by
// the numbers a server gives them; `id` members hold those numbers only for a server's state.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <ltpadmin/client.h>

namespace ltpstate {

// A program's place: the names (Text2) from the top of the tree down to the program itself.
using ProgramPath = std::vector<std::string>;

// "News/Morning News"; a "/" or "\" inside a name is written with a "\" before it.
std::string JoinPath(const ProgramPath& path);
// The reverse of JoinPath; false for a dangling "\".
bool SplitPath(const std::string& text, ProgramPath& path);

struct UserEntry {
    ltp::User user;
    std::vector<std::string> groups; // memberships, sorted
    int line = 0;                    // where the file gives it; 0 for a server's state
    int groups_line = 0;
};

struct GroupEntry {
    ltp::Group group;
    int line = 0;
};

struct ProgramEntry {
    ProgramPath path;
    ltp::Program program; // program_id: the server's number; number6 and text2 follow from path
    std::map<std::string, std::int32_t> user_rights;
    std::map<std::string, std::int32_t> group_rights;
    std::map<std::string, ltp::ProgramPath> paths; // by path text
    int line = 0;
    int rights_line = 0;
};

// The program a schedule shows (its Number3): a place in the tree, or a plain number that names
// no program.
struct ProgramRef {
    bool by_path = false;
    ProgramPath path;
    std::int32_t number = 0;
};

struct ScheduleEntry {
    ltp::Schedule schedule; // schedule_id: the server's number; text2 is the channel
    ProgramRef program;
    int line = 0;
};

struct ChannelEntry {
    ltp::Channel channel;
    std::vector<ScheduleEntry> schedules;
    int line = 0;
};

struct GlobalEntry {
    ltp::Global global;
    int line = 0;
};

struct MtpEntry {
    ltp::MtpServer server;
    int line = 0;
};

struct State {
    std::optional<std::string> information;
    std::optional<std::vector<UserEntry>> users;
    std::optional<std::vector<GroupEntry>> groups;
    std::optional<std::vector<ProgramEntry>> programs; // parents before children
    std::optional<std::vector<ChannelEntry>> channels;
    std::optional<std::vector<GlobalEntry>> globals;
    std::optional<std::vector<MtpEntry>> mtp;
};

// The families, as `--only` and the file's top-level keys name them.
enum class Family { information, users, groups, programs, channels, globals, mtp };
const std::vector<std::pair<Family, const char*>>& Families();
// Keeps only the families listed; the others become unmanaged.
void KeepOnly(State& state, const std::vector<Family>& families);

} // namespace ltpstate
