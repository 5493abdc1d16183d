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

// The body of an entry: its fields, then what the section files beside them.
void EmitBody(YAML::Emitter& out, const UserEntry& u, const FieldNaming& naming) {
    EmitFields(out, u.user, naming);
    if (u.groups.empty())
        return;
    out << YAML::Key << kGroupsKey << YAML::Value << YAML::Flow << YAML::BeginSeq;
    for (const std::string& g : u.groups)
        EmitText(out, g);
    out << YAML::EndSeq;
}
void EmitBody(YAML::Emitter& out, const GroupEntry& g, const FieldNaming& naming) {
    EmitFields(out, g.group, naming);
}
void EmitBody(YAML::Emitter& out, const ProgramEntry& p, const FieldNaming& naming) {
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
}
void EmitBody(YAML::Emitter& out, const ChannelEntry& c, const FieldNaming& naming) {
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
}
void EmitBody(YAML::Emitter& out, const GlobalEntry& g, const FieldNaming& naming) {
    EmitFields(out, g.global, naming);
}
void EmitBody(YAML::Emitter& out, const MtpEntry& m, const FieldNaming& naming) {
    EmitFields(out, m.server, naming);
}

const std::string& KeyOf(const UserEntry& e) {
    return e.user.user_id;
}
const std::string& KeyOf(const GroupEntry& e) {
    return e.group.group_id;
}
std::string KeyOf(const ProgramEntry& e) {
    return JoinPath(e.path);
}
const std::string& KeyOf(const ChannelEntry& e) {
    return e.channel.channel_id;
}
const std::string& KeyOf(const GlobalEntry& e) {
    return e.global.key;
}
const std::string& KeyOf(const MtpEntry& e) {
    return e.server.mtp_svr_name;
}

// Whether the emitter writes a text as it is, without quotes, in a block (or, with inFlow, in a
// flow list): a deliberately narrow set of texts (a letter, digit or one of "+(./_" first, then
// also spaces and a few signs that mean nothing to YAML), which is what nearly every name and
// text is. Anything else goes through the emitter.
bool PlainAsIs(std::string_view text, bool inFlow) {
    if (text.empty() || text.size() > 200 || text.back() == ' ')
        return false;
    const auto alnum = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    const char first = text.front();
    if (!alnum(first) && first != '+' && first != '(' && first != '.' && first != '/' &&
        first != '_')
        return false;
    for (char c : text)
        if (!alnum(c) && c != ' ' && c != '_' && c != '.' && c != '-' && c != '+' && c != '/' &&
            c != '(' && c != ')' && c != '@' && (inFlow || c != ','))
            return false;
    // The emitter quotes the texts that read as no value.
    if (text.size() == 4) {
        std::string lower(text);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        if (lower == "null")
            return false;
    }
    return true;
}

// The fields of a record as "    Name: value" lines, when every name and value is plain as it
// is; false (nothing usable written) otherwise.
template <class T>
bool DirectFields(std::string& out, const T& record, const FieldNaming& naming, bool& any) {
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        if (!InFile<T>(f) || IsEmptyValue(f, record))
            continue;
        std::string value;
        if (f.kind == ltp::FieldKind::text) {
            const std::string& text = record.*f.text;
            if (!PlainAsIs(text, false))
                return false;
            out += "    ";
            if (naming.label) {
                const std::string name = naming.Name(ltp::record_name<T>(), f.wire_name);
                if (!PlainAsIs(name, false))
                    return false;
                out += name;
            } else {
                out += f.wire_name;
            }
            out += ": ";
            out += text;
            out += '\n';
            any = true;
            continue;
        }
        if (f.kind != ltp::FieldKind::integer)
            return false;
        const auto named = naming.showWhole ? naming.showWhole(ltp::record_name<T>(), f.wire_name,
                                                               record.*f.integer)
                                            : std::nullopt;
        value = named ? *named : std::to_string(record.*f.integer);
        const std::string name = naming.Name(ltp::record_name<T>(), f.wire_name);
        if (!PlainAsIs(value, false) || !PlainAsIs(name, false))
            return false;
        out += "    " + name + ": " + value + '\n';
        any = true;
    }
    return true;
}

bool DirectBody(std::string& out, const UserEntry& u, const FieldNaming& naming, bool& any) {
    if (!DirectFields(out, u.user, naming, any))
        return false;
    if (u.groups.empty())
        return true;
    out += "    groups: [";
    for (std::size_t i = 0; i < u.groups.size(); ++i) {
        if (!PlainAsIs(u.groups[i], true))
            return false;
        if (i > 0)
            out += ", ";
        out += u.groups[i];
    }
    out += "]\n";
    any = true;
    return true;
}
bool DirectBody(std::string& out, const GroupEntry& g, const FieldNaming& naming, bool& any) {
    return DirectFields(out, g.group, naming, any);
}
bool DirectBody(std::string&, const ProgramEntry&, const FieldNaming&, bool&) {
    return false;
}
bool DirectBody(std::string& out, const ChannelEntry& c, const FieldNaming& naming, bool& any) {
    return c.schedules.empty() && DirectFields(out, c.channel, naming, any);
}
bool DirectBody(std::string& out, const GlobalEntry& g, const FieldNaming& naming, bool& any) {
    return DirectFields(out, g.global, naming, any);
}
bool DirectBody(std::string& out, const MtpEntry& m, const FieldNaming& naming, bool& any) {
    return DirectFields(out, m.server, naming, any);
}

const ProgramPath& OrderKey(const ProgramEntry& e, ProgramPath&) {
    return e.path;
}
template <class E> const ProgramPath& OrderKey(const E& e, ProgramPath& scratch) {
    scratch.resize(1);
    scratch[0] = KeyOf(e);
    return scratch;
}

constexpr std::size_t kPiece = 64 * 1024;

} // namespace

YamlWriter::YamlWriter(const FieldNaming& naming, Sink sink)
    : m_naming(naming), m_sink(std::move(sink)) {}

void YamlWriter::Information(const std::string& text) {
    YAML::Emitter out;
    out << YAML::BeginMap << YAML::Key << kInformationKey << YAML::Value;
    EmitText(out, text);
    out << YAML::EndMap;
    m_buffer.append(out.c_str());
    m_buffer += '\n';
    m_anySection = true;
}

void YamlWriter::Begin(const char* section) {
    m_section = section;
    m_anyEntry = false;
    m_anySection = true;
    m_last.clear();
    m_buffer += section;
    m_buffer += ":\n";
}

void YamlWriter::End() {
    if (!m_anyEntry)
        m_buffer += "  {}\n";
    m_section = nullptr;
    Flush(false);
}

void YamlWriter::Finish() {
    if (!m_anySection)
        m_buffer += "{}\n";
    Flush(true);
}

void YamlWriter::Flush(bool all) {
    if (m_buffer.empty() || (!all && m_buffer.size() < kPiece))
        return;
    m_sink(m_buffer);
    m_buffer.clear();
}

void YamlWriter::InOrder(const ProgramPath& key) {
    if (m_anyEntry && key < m_last)
        throw OutOfOrder(std::string("the server listed ") + m_section + " out of order");
    m_last = key;
}

template <class E> bool YamlWriter::WriteDirect(const E& e) {
    const std::string& key = KeyOf(e);
    if (!PlainAsIs(key, false))
        return false;
    const std::size_t start = m_buffer.size();
    m_buffer += "  ";
    m_buffer += key;
    m_buffer += ":\n";
    bool any = false;
    if (DirectBody(m_buffer, e, m_naming, any) && any)
        return true;
    m_buffer.resize(start);
    return false;
}

template <class E> void YamlWriter::Write(const E& e) {
    ProgramPath scratch;
    InOrder(OrderKey(e, scratch));
    m_anyEntry = true;
    if (emitterOnly || !WriteDirect(e)) {
        // The entry as the emitter writes it inside its section, without the section's line.
        YAML::Emitter out;
        out << YAML::BeginMap << YAML::Key << m_section << YAML::Value << YAML::BeginMap;
        EmitKey(out, KeyOf(e));
        out << YAML::Value << YAML::BeginMap;
        EmitBody(out, e, m_naming);
        out << YAML::EndMap << YAML::EndMap << YAML::EndMap;
        const std::string_view text = out.c_str();
        m_buffer.append(text.substr(text.find('\n') + 1));
        m_buffer += '\n';
    }
    Flush(false);
}

void YamlWriter::Add(const UserEntry& e) {
    Write(e);
}
void YamlWriter::Add(const GroupEntry& e) {
    Write(e);
}
void YamlWriter::Add(const ProgramEntry& e) {
    Write(e);
}
void YamlWriter::Add(const ChannelEntry& e) {
    Write(e);
}
void YamlWriter::Add(const GlobalEntry& e) {
    Write(e);
}
void YamlWriter::Add(const MtpEntry& e) {
    Write(e);
}

namespace {

template <class Entry>
void WriteSection(YamlWriter& writer, const char* name, const std::vector<Entry>& entries) {
    std::vector<const Entry*> sorted;
    for (const Entry& e : entries)
        sorted.push_back(&e);
    ProgramPath a, b;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Entry* x, const Entry* y) {
        return OrderKey(*x, a) < OrderKey(*y, b);
    });
    writer.Begin(name);
    for (const Entry* e : sorted)
        writer.Add(*e);
    writer.End();
}

} // namespace

std::string WriteYaml(const State& state, const FieldNaming& naming) {
    std::string document;
    YamlWriter writer(naming, [&](std::string_view piece) { document.append(piece); });
    WriteSections(writer, state);
    writer.Finish();
    return document;
}

void WriteSections(YamlWriter& writer, const State& state) {
    if (state.information)
        writer.Information(*state.information);
    if (state.users)
        WriteSection(writer, kUsersKey, *state.users);
    if (state.groups)
        WriteSection(writer, kGroupsKey, *state.groups);
    if (state.programs)
        WriteSection(writer, kProgramsKey, *state.programs);
    if (state.channels)
        WriteSection(writer, kChannelsKey, *state.channels);
    if (state.globals)
        WriteSection(writer, kGlobalsKey, *state.globals);
    if (state.mtp)
        WriteSection(writer, kMtpKey, *state.mtp);
}

} // namespace ltpstate
