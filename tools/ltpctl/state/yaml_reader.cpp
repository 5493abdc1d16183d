#include "tools/ltpctl/state/yaml_reader.h"

#include <algorithm>
#include <set>
#include <unordered_set>

#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/layout.h"
#include "tools/ltpctl/state/yaml_sections.h"
#include "tools/ltpctl/state/yaml_tree.h"

namespace ltpstate {
namespace {

// The pairs of a map, each key a non-empty-where-needed scalar given once.
std::vector<std::pair<std::string, const YamlNode*>> Pairs(const YamlNode& map,
                                                           const std::string& what) {
    std::vector<std::pair<std::string, const YamlNode*>> pairs;
    if (map.IsNull())
        return pairs;
    if (!map.IsMap())
        throw FileError(LineOf(map), what + " must be a map of names to values");
    // A record's few fields are compared with each other; only a long map needs a set.
    const bool few = map.children.size() <= 32;
    std::set<std::string> seen;
    pairs.reserve(map.children.size() / 2);
    for (std::size_t i = 0; i + 1 < map.children.size(); i += 2) {
        const YamlNode& keyNode = map.children[i];
        // A plain or quoted key is its text (a tagged one, such as !!binary, is decoded).
        std::string key = keyNode.IsScalar() && keyNode.tag.size() == 1
                              ? keyNode.scalar
                              : ScalarOf(keyNode, "a key of " + what);
        const bool again = few ? std::any_of(pairs.begin(), pairs.end(),
                                             [&](const auto& pair) { return pair.first == key; })
                               : !seen.insert(key).second;
        if (again)
            throw FileError(LineOf(keyNode), what + " gives \"" + key + "\" twice");
        pairs.emplace_back(std::move(key), &map.children[i + 1]);
    }
    return pairs;
}

void CheckKey(const std::string& key, const YamlNode& at, const std::string& what) {
    if (key.empty())
        throw FileError(LineOf(at), what + " has an empty name");
    std::string ignored;
    ReadKind(ltp::FieldKind::text, key, LineOf(at), what + " \"" + key + "\"", &ignored, nullptr,
             nullptr);
}

// Reads the fields of one record from a map, leaving out the keys in `extra`, which the caller
// reads. Fields that the map leaves out stay empty.
template <class T>
void ReadFields(const YamlNode& map, const std::string& what, const FieldNaming& naming, T& record,
                std::initializer_list<const char*> extra,
                std::vector<std::pair<std::string, const YamlNode*>>* extras = nullptr) {
    std::set<const ltp::Field<T>*> given;
    for (const auto& pair : Pairs(map, what)) {
        const std::string& key = pair.first;
        const YamlNode& value = *pair.second;
        if (std::find_if(extra.begin(), extra.end(), [&](const char* e) { return key == e; }) !=
            extra.end()) {
            if (extras)
                extras->emplace_back(key, &value);
            continue;
        }
        const ltp::Field<T>* f = naming.Find<T>(key);
        if (!f || !InFile(*f))
            throw FileError(LineOf(value), what + ": \"" + key + "\" is not a field of " +
                                               ltp::record_name<T>() + " that the file holds");
        if (!given.insert(f).second)
            throw FileError(LineOf(value), what + ": " + f->wire_name + " is given twice");
        ReadValue(*f, ScalarOf(value, what + " " + key), LineOf(value), what + " " + key, record,
                  &naming);
    }
}

std::vector<std::string> NameList(const YamlNode& node, const std::string& what) {
    std::vector<std::string> names;
    if (node.IsNull())
        return names;
    if (!node.IsSequence())
        throw FileError(LineOf(node), what + " must be a list of names");
    for (const YamlNode& item : node.children) {
        std::string name = ScalarOf(item, what);
        CheckKey(name, item, what);
        if (std::find(names.begin(), names.end(), name) != names.end())
            throw FileError(LineOf(item), what + " names \"" + name + "\" twice");
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// meaning: the schema's name of the values ("user_rights"), whose named forms are read too.
std::map<std::string, std::int32_t> RightsMap(const YamlNode& node, const std::string& what,
                                              const FieldNaming& naming, const char* meaning) {
    std::map<std::string, std::int32_t> rights;
    for (const auto& [name, valueNode] : Pairs(node, what)) {
        const YamlNode& value = *valueNode;
        CheckKey(name, value, what);
        std::int32_t bits = 0;
        if (naming.readWhole) {
            if (const auto named = naming.readWhole("", meaning, ScalarOf(value, what))) {
                rights[name] = *named;
                continue;
            }
        }
        ReadKind(ltp::FieldKind::integer, ScalarOf(value, what), LineOf(value),
                 what + " of \"" + name + "\"", nullptr, &bits, nullptr);
        rights[name] = bits;
    }
    return rights;
}

void ReadProgram(const std::string& key, const YamlNode& body, const FieldNaming& naming,
                 ProgramEntry& p) {
    const std::string what = "program \"" + key + "\"";
    if (!SplitPath(key, p.path))
        throw FileError(LineOf(body), what + ": a \"\\\" must come before a character");
    for (const std::string& name : p.path) {
        std::string ignored;
        ReadKind(ltp::FieldKind::text, name, LineOf(body), what, &ignored, nullptr, nullptr);
    }
    p.program.text2 = p.path.back();
    p.line = LineOf(body);
    std::vector<std::pair<std::string, const YamlNode*>> extras;
    ReadFields(body, what, naming, p.program, {kRightsKey, kPathsKey}, &extras);
    for (const auto& [key2, valueNode] : extras) {
        const YamlNode& value = *valueNode;
        if (key2 == kPathsKey) {
            for (const auto& [text, fieldsNode] : Pairs(value, what + " paths")) {
                const YamlNode& fields = *fieldsNode;
                CheckKey(text, fields, what + " path");
                ltp::ProgramPath& path = p.paths[text];
                path.program_path = text;
                ReadFields(fields, what + " path \"" + text + "\"", naming, path, {});
            }
            continue;
        }
        p.rights_line = LineOf(value);
        for (const auto& [kind, grantsNode] : Pairs(value, what + " rights")) {
            const YamlNode& grants = *grantsNode;
            if (kind == kUsersKey)
                p.user_rights = RightsMap(grants, what + " rights", naming, "user_rights");
            else if (kind == kGroupsKey)
                p.group_rights = RightsMap(grants, what + " rights", naming, "group_rights");
            else
                throw FileError(LineOf(grants),
                                what + " rights: \"" + kind + "\" is neither users nor groups");
        }
    }
}

void ReadSchedule(const YamlNode& body, const std::string& channel, const FieldNaming& naming,
                  ScheduleEntry& s) {
    const std::string what = "a schedule of channel \"" + channel + "\"";
    s.line = LineOf(body);
    s.schedule.text2 = channel;
    const ltp::Field<ltp::Schedule>* programField = nullptr;
    for (const ltp::Field<ltp::Schedule>& f : ltp::fields<ltp::Schedule>())
        if (f.integer == &ltp::Schedule::number3)
            programField = &f;
    std::vector<std::pair<std::string, const YamlNode*>> extras;
    const std::string programKey = naming.Name("Schedule", programField->wire_name);
    ReadFields(body, what, naming, s.schedule, {programKey.c_str(), programField->wire_name},
               &extras);
    for (const auto& [key, valueNode] : extras) {
        const YamlNode& value = *valueNode;
        (void)key;
        const std::string text = ScalarOf(value, what + " program");
        // A plain number names no program of the tree; a quoted text or a name is a path.
        if (value.tag != "!" && ltp::parse_integer(text, s.program.number)) {
            s.program.by_path = false;
            continue;
        }
        s.program.by_path = true;
        if (!SplitPath(text, s.program.path))
            throw FileError(LineOf(value),
                            what + ": a \"\\\" must come before a character in the program");
    }
}

// The pairs of a section's map, one at a time, each key given once: from its tree, or entry by
// entry, so that the whole section is never a tree.
template <class Fn> void EachPair(const YamlSection& section, const std::string& what, Fn fn) {
    if (!section.split) {
        for (const auto& [key, value] : Pairs(section.value, what))
            fn(key, *value);
        return;
    }
    // Keys in ascending order (as export writes them) are new while each exceeds the last; only
    // a file out of that order needs the set of the keys read before.
    std::string last;
    std::unordered_set<std::string> seen;
    bool ordered = true;
    YamlNode keyNode, value;
    for (std::size_t i = 0; i < section.entries.size(); ++i) {
        ReadEntry(section.entries[i], keyNode, value);
        std::string key = ScalarOf(keyNode, "a key of " + what);
        if (ordered && (i == 0 || key > last)) {
            last = key;
        } else {
            if (ordered) {
                ordered = false;
                for (std::size_t k = 0; k < i; ++k) {
                    YamlNode earlierKey, earlierValue;
                    ReadEntry(section.entries[k], earlierKey, earlierValue);
                    seen.insert(ScalarOf(earlierKey, "a key of " + what));
                }
            }
            if (!seen.insert(key).second)
                throw FileError(LineOf(keyNode), what + " gives \"" + key + "\" twice");
        }
        fn(key, value);
    }
}

// Reads a section of keyed records: each one's key and fields; `more` reads the keys beside the
// fields (`extra`).
template <class Entry, class T, class More>
std::vector<Entry> ReadKeyed(const YamlSection& body, const char* section, const std::string& noun,
                             const FieldNaming& naming, T Entry::*record, std::string T::*key,
                             std::initializer_list<const char*> extra, More more) {
    std::vector<Entry> entries;
    entries.reserve(body.split ? body.entries.size() : 0);
    std::vector<std::pair<std::string, const YamlNode*>> extras;
    EachPair(body, section, [&](const std::string& id, const YamlNode& fields) {
        CheckKey(id, fields, noun);
        Entry e;
        (e.*record).*key = id;
        e.line = LineOf(fields);
        extras.clear();
        ReadFields(fields, noun + " \"" + id + "\"", naming, e.*record, extra, &extras);
        for (const auto& x : extras)
            more(e, *x.second);
        entries.push_back(std::move(e));
    });
    return entries;
}

template <class Entry> void NothingMore(Entry&, const YamlNode&) {}

// A split section as one tree, for the few that are not a map of entries.
YamlNode Whole(const YamlSection& section) {
    if (!section.split)
        return section.value;
    YamlNode map;
    map.kind = YamlNode::Kind::map;
    map.tag = "?";
    map.line = section.entries.front().line;
    for (const YamlSection::Entry& entry : section.entries) {
        YamlNode key, value;
        ReadEntry(entry, key, value);
        map.children.push_back(std::move(key));
        map.children.push_back(std::move(value));
    }
    return map;
}

State ReadDocument(const std::vector<YamlSection>& sections, const FieldNaming& naming) {
    State state;
    std::set<std::string> seen;
    for (const YamlSection& body : sections) {
        const std::string section = ScalarOf(body.key, "a key of the file");
        if (!seen.insert(section).second)
            throw FileError(LineOf(body.key), "the file gives \"" + section + "\" twice");
        if (section == kInformationKey) {
            state.information = ScalarOf(Whole(body), "information");
        } else if (section == kUsersKey) {
            state.users =
                ReadKeyed(body, kUsersKey, "user", naming, &UserEntry::user, &ltp::User::user_id,
                          {kGroupsKey}, [](UserEntry& u, const YamlNode& groups) {
                              u.groups =
                                  NameList(groups, "the groups of user \"" + u.user.user_id + "\"");
                              u.groups_line = LineOf(groups);
                          });
        } else if (section == kGroupsKey) {
            state.groups = ReadKeyed(body, kGroupsKey, "group", naming, &GroupEntry::group,
                                     &ltp::Group::group_id, {}, NothingMore<GroupEntry>);
        } else if (section == kProgramsKey) {
            state.programs.emplace();
            EachPair(body, "programs", [&](const std::string& key, const YamlNode& fields) {
                ProgramEntry p;
                ReadProgram(key, fields, naming, p);
                state.programs->push_back(std::move(p));
            });
        } else if (section == kChannelsKey) {
            state.channels =
                ReadKeyed(body, kChannelsKey, "channel", naming, &ChannelEntry::channel,
                          &ltp::Channel::channel_id, {kSchedulesKey},
                          [&naming](ChannelEntry& c, const YamlNode& schedules) {
                              const std::string& id = c.channel.channel_id;
                              if (!schedules.IsSequence() && !schedules.IsNull())
                                  throw FileError(LineOf(schedules), "the schedules of channel \"" +
                                                                         id + "\" must be a list");
                              for (const YamlNode& item : schedules.children) {
                                  ScheduleEntry s;
                                  ReadSchedule(item, id, naming, s);
                                  c.schedules.push_back(std::move(s));
                              }
                          });
        } else if (section == kGlobalsKey) {
            state.globals = ReadKeyed(body, kGlobalsKey, "global", naming, &GlobalEntry::global,
                                      &ltp::Global::key, {}, NothingMore<GlobalEntry>);
        } else if (section == kMtpKey) {
            state.mtp = ReadKeyed(body, kMtpKey, "MTP server", naming, &MtpEntry::server,
                                  &ltp::MtpServer::mtp_svr_name, {}, NothingMore<MtpEntry>);
        } else {
            throw FileError(body.split ? body.entries.front().line : LineOf(body.value),
                            "\"" + section +
                                "\" is not a section (information, users, groups,"
                                " programs, channels, globals, mtp)");
        }
    }
    return state;
}

// Parents before children, and every parent in the file.
void OrderPrograms(std::vector<ProgramEntry>& programs) {
    std::stable_sort(programs.begin(), programs.end(),
                     [](const ProgramEntry& a, const ProgramEntry& b) { return a.path < b.path; });
    std::set<ProgramPath> known;
    for (const ProgramEntry& p : programs) {
        if (known.count(p.path))
            throw FileError(p.line, "program \"" + JoinPath(p.path) + "\" is given twice");
        if (p.path.size() > 1 && !known.count(ProgramPath(p.path.begin(), p.path.end() - 1)))
            throw FileError(p.line, "program \"" + JoinPath(p.path) + "\" lies under \"" +
                                        JoinPath(ProgramPath(p.path.begin(), p.path.end() - 1)) +
                                        "\", which the file does not hold");
        known.insert(p.path);
    }
}

} // namespace

State ReadYaml(const std::string& text, const FieldNaming& naming) {
    std::vector<YamlSection> sections;
    if (!SplitSections(text, sections)) {
        YamlNode root = ParseYaml(text);
        if (!root.IsMap() && !root.IsNull())
            throw FileError(LineOf(root), "the file must be a map of sections");
        for (std::size_t i = 0; i + 1 < root.children.size(); i += 2) {
            YamlSection s;
            s.key = std::move(root.children[i]);
            s.value = std::move(root.children[i + 1]);
            sections.push_back(std::move(s));
        }
    }
    State state = ReadDocument(sections, naming);
    if (state.programs)
        OrderPrograms(*state.programs);
    return state;
}

} // namespace ltpstate
