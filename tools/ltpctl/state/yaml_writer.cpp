#include "tools/ltpctl/state/yaml_writer.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include <yaml-cpp/yaml.h>

#include "tools/ltpctl/state/layout.h"

namespace ltpstate {
namespace {

// A number, or its named form when the schema gives one ("Mon-Fri").
template <class T>
void EmitValue(YAML::Emitter& out, const ltp::Field<T>& f, const T& record,
               const FieldNaming& naming) {
    if (f.kind == ltp::FieldKind::integer && naming.showWhole)
        if (const auto named =
                naming.showWhole(ltp::record_name<T>(), f.wire_name, record.*f.integer)) {
            out << *named;
            return;
        }
    out << ShowValue(f, record);
}

template <class T> void EmitFields(YAML::Emitter& out, const T& record, const FieldNaming& naming) {
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        if (!InFile<T>(f) || IsEmptyValue(f, record))
            continue;
        out << YAML::Key << naming.Name(ltp::record_name<T>(), f.wire_name) << YAML::Value;
        if (f.kind == ltp::FieldKind::text)
            EmitText(out, record.*f.text);
        else
            EmitValue(out, f, record, naming);
    }
}

void EmitRights(YAML::Emitter& out, const char* key,
                const std::map<std::string, std::int32_t>& rights, const FieldNaming& naming,
                const char* meaning) {
    if (rights.empty())
        return;
    out << YAML::Key << key << YAML::Value << YAML::Flow << YAML::BeginMap;
    for (const auto& [name, value] : rights) {
        EmitKey(out, name);
        const auto named = naming.showWhole ? naming.showWhole("", meaning, value) : std::nullopt;
        if (named)
            out << YAML::Value << *named;
        else
            out << YAML::Value << value;
    }
    out << YAML::EndMap;
}

void EmitProgram(YAML::Emitter& out, const ProgramEntry& p, const FieldNaming& naming) {
    EmitKey(out, JoinPath(p.path));
    out << YAML::Value << YAML::BeginMap;
    EmitFields(out, p.program, naming);
    if (!p.paths.empty()) {
        out << YAML::Key << kPathsKey << YAML::Value << YAML::BeginMap;
        for (const auto& [text, path] : p.paths) {
            EmitKey(out, text);
            out << YAML::Value << YAML::Flow << YAML::BeginMap;
            EmitFields(out, path, naming);
            out << YAML::EndMap;
        }
        out << YAML::EndMap;
    }
    if (!p.user_rights.empty() || !p.group_rights.empty()) {
        out << YAML::Key << kRightsKey << YAML::Value << YAML::BeginMap;
        EmitRights(out, kUsersKey, p.user_rights, naming, "user_rights");
        EmitRights(out, kGroupsKey, p.group_rights, naming, "group_rights");
        out << YAML::EndMap;
    }
    out << YAML::EndMap;
}

void EmitSchedule(YAML::Emitter& out, const ScheduleEntry& s, const FieldNaming& naming) {
    out << YAML::BeginMap;
    for (const ltp::Field<ltp::Schedule>& f : ltp::fields<ltp::Schedule>()) {
        if (f.integer == &ltp::Schedule::number3) {
            const std::string key = naming.Name(ltp::record_name<ltp::Schedule>(), f.wire_name);
            if (s.program.by_path) {
                // Quoted, so that a place whose name is all digits is not read as a number.
                out << YAML::Key << key << YAML::Value << YAML::DoubleQuoted;
                EmitText(out, JoinPath(s.program.path));
            } else if (s.program.number != 0)
                out << YAML::Key << key << YAML::Value << s.program.number;
            continue;
        }
        if (!InFile<ltp::Schedule>(f) || IsEmptyValue(f, s.schedule))
            continue;
        out << YAML::Key << naming.Name(ltp::record_name<ltp::Schedule>(), f.wire_name)
            << YAML::Value;
        EmitValue(out, f, s.schedule, naming);
    }
    out << YAML::EndMap;
}

template <class Entry, class KeyOf, class Body>
void EmitSection(YAML::Emitter& out, const char* name, const std::vector<Entry>& entries,
                 KeyOf keyOf, Body body) {
    std::vector<const Entry*> sorted;
    for (const Entry& e : entries)
        sorted.push_back(&e);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const Entry* a, const Entry* b) { return keyOf(*a) < keyOf(*b); });
    out << YAML::Key << name << YAML::Value << YAML::BeginMap;
    for (const Entry* e : sorted) {
        EmitKey(out, keyOf(*e));
        out << YAML::Value << YAML::BeginMap;
        body(*e);
        out << YAML::EndMap;
    }
    out << YAML::EndMap;
}

} // namespace

std::string WriteYaml(const State& state, const FieldNaming& naming) {
    YAML::Emitter out;
    out << YAML::BeginMap;
    if (state.information) {
        out << YAML::Key << kInformationKey << YAML::Value;
        EmitText(out, *state.information);
    }
    if (state.users)
        EmitSection(
            out, kUsersKey, *state.users, [](const UserEntry& u) { return u.user.user_id; },
            [&](const UserEntry& u) {
                EmitFields(out, u.user, naming);
                if (u.groups.empty())
                    return;
                out << YAML::Key << kGroupsKey << YAML::Value << YAML::Flow << YAML::BeginSeq;
                for (const std::string& g : u.groups)
                    EmitText(out, g);
                out << YAML::EndSeq;
            });
    if (state.groups)
        EmitSection(
            out, kGroupsKey, *state.groups, [](const GroupEntry& g) { return g.group.group_id; },
            [&](const GroupEntry& g) { EmitFields(out, g.group, naming); });
    if (state.programs) {
        std::vector<const ProgramEntry*> sorted;
        for (const ProgramEntry& p : *state.programs)
            sorted.push_back(&p);
        std::stable_sort(
            sorted.begin(), sorted.end(),
            [](const ProgramEntry* a, const ProgramEntry* b) { return a->path < b->path; });
        out << YAML::Key << kProgramsKey << YAML::Value << YAML::BeginMap;
        for (const ProgramEntry* p : sorted)
            EmitProgram(out, *p, naming);
        out << YAML::EndMap;
    }
    if (state.channels)
        EmitSection(
            out, kChannelsKey, *state.channels,
            [](const ChannelEntry& c) { return c.channel.channel_id; },
            [&](const ChannelEntry& c) {
                EmitFields(out, c.channel, naming);
                if (c.schedules.empty())
                    return;
                std::vector<const ScheduleEntry*> sorted;
                for (const ScheduleEntry& s : c.schedules)
                    sorted.push_back(&s);
                std::stable_sort(sorted.begin(), sorted.end(), ScheduleOrder);
                out << YAML::Key << kSchedulesKey << YAML::Value << YAML::BeginSeq;
                for (const ScheduleEntry* s : sorted)
                    EmitSchedule(out, *s, naming);
                out << YAML::EndSeq;
            });
    if (state.globals)
        EmitSection(
            out, kGlobalsKey, *state.globals, [](const GlobalEntry& g) { return g.global.key; },
            [&](const GlobalEntry& g) { EmitFields(out, g.global, naming); });
    if (state.mtp)
        EmitSection(
            out, kMtpKey, *state.mtp, [](const MtpEntry& m) { return m.server.mtp_svr_name; },
            [&](const MtpEntry& m) { EmitFields(out, m.server, naming); });
    out << YAML::EndMap;
    return std::string(out.c_str()) + "\n";
}

} // namespace ltpstate
