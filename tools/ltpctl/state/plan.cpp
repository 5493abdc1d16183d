#include "tools/ltpctl/state/plan.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/layout.h"

namespace ltpstate {

std::int32_t ProgramIds::Of(const ProgramPath& path) const {
    if (path.empty())
        return 0;
    const auto it = ids.find(path);
    if (it == ids.end())
        throw ltp::Error("no number is known for program \"" + JoinPath(path) + "\"");
    return it->second;
}

namespace {

// The phases of a plan, in the order adds and changes are sent; deletes go in reverse.
enum Phase {
    kUsers,
    kGroups,
    kMemberships,
    kPrograms,
    kPaths,
    kRights,
    kChannels,
    kSchedules,
    kGlobals,
    kMtp,
    kInformation,
    kPhases
};

template <class T>
std::vector<FieldChange> Differences(const T& want, const T& have, const FieldNaming& naming) {
    std::vector<FieldChange> changes;
    for (const ltp::Field<T>& f : ltp::fields<T>())
        if (InFile(f) && !SameValue(f, want, have))
            changes.push_back({naming.Name(ltp::record_name<T>(), f.wire_name), ShowValue(f, have),
                               ShowValue(f, want)});
    return changes;
}

ProgramPath ParentOf(const ProgramPath& path) {
    return ProgramPath(path.begin(), path.end() - 1);
}

std::string PlaceText(const ProgramPath& path) {
    return path.empty() ? std::string("(top)") : JoinPath(path);
}

// The program a schedule shows, once apply has made the programs: a number known now, or the
// number the program at a place of the file gets.
struct ProgramTarget {
    bool lookup = false;
    ProgramPath path;
    std::int32_t id = 0;

    std::int32_t Resolve(const ProgramIds& ids) const { return lookup ? ids.Of(path) : id; }
    std::string Key() const { return lookup ? "n" + JoinPath(path) : "i" + std::to_string(id); }
};

class Planner {
public:
    Planner(const State& want, const State& have, bool prune, const FieldNaming& naming)
        : m_want(want), m_have(have), m_prune(prune), m_naming(naming) {}

    Plan Make() {
        CheckReferences();
        PlanKeyed(kUsers, "user", m_want.users, m_have.users, &UserEntry::user, &ltp::User::user_id,
                  &ltp::Client::add_user, &ltp::Client::modify_user, &ltp::Client::delete_user,
                  m_deletedUsers);
        PlanKeyed(kGroups, "group", m_want.groups, m_have.groups, &GroupEntry::group,
                  &ltp::Group::group_id, &ltp::Client::add_group, &ltp::Client::modify_group,
                  &ltp::Client::delete_group, m_deletedGroups);
        PlanMemberships();
        PlanPrograms();
        PlanKeyed(kChannels, "channel", m_want.channels, m_have.channels, &ChannelEntry::channel,
                  &ltp::Channel::channel_id, &ltp::Client::add_channel,
                  &ltp::Client::modify_channel, &ltp::Client::delete_channel, m_deletedChannels);
        PlanSchedules();
        std::set<std::string> unused;
        PlanKeyed(kGlobals, "global", m_want.globals, m_have.globals, &GlobalEntry::global,
                  &ltp::Global::key, &ltp::Client::add_global, &ltp::Client::modify_global,
                  &ltp::Client::delete_global, unused);
        PlanKeyed(kMtp, "MTP server", m_want.mtp, m_have.mtp, &MtpEntry::server,
                  &ltp::MtpServer::mtp_svr_name, &ltp::Client::add_mtp_server,
                  &ltp::Client::modify_mtp_server, &ltp::Client::delete_mtp_server, unused);
        PlanInformation();
        for (auto& phase : m_adds)
            for (Step& s : phase)
                m_plan.steps.push_back(std::move(s));
        for (int p = kPhases - 1; p >= 0; --p)
            for (Step& s : m_deletes[p])
                m_plan.steps.push_back(std::move(s));
        return std::move(m_plan);
    }

private:
    // Names a file's reference must find: in the file when it manages the family, else on the
    // server.
    template <class Entry, class Member>
    static bool Holds(const std::optional<std::vector<Entry>>& want,
                      const std::optional<std::vector<Entry>>& have, Member member,
                      const std::string& name) {
        const auto& list = want ? want : have;
        if (!list)
            return true;
        return std::any_of(list->begin(), list->end(),
                           [&](const Entry& e) { return member(e) == name; });
    }

    void CheckReferences() {
        auto groupId = [](const GroupEntry& g) { return g.group.group_id; };
        auto userId = [](const UserEntry& u) { return u.user.user_id; };
        const char* where = m_want.groups ? "the file" : "the server";
        if (m_want.users)
            for (const UserEntry& u : *m_want.users)
                for (const std::string& g : u.groups)
                    if (!Holds(m_want.groups, m_have.groups, groupId, g))
                        throw FileError(u.groups_line, "user \"" + u.user.user_id +
                                                           "\" is a member of group \"" + g +
                                                           "\", which " + where + " does not hold");
        if (!m_want.programs)
            return;
        for (const ProgramEntry& p : *m_want.programs) {
            for (const auto& grant : p.user_rights)
                if (!Holds(m_want.users, m_have.users, userId, grant.first))
                    throw FileError(p.rights_line, "program \"" + JoinPath(p.path) +
                                                       "\" grants rights to user \"" + grant.first +
                                                       "\", which " +
                                                       (m_want.users ? "the file" : "the server") +
                                                       " does not hold");
            for (const auto& grant : p.group_rights)
                if (!Holds(m_want.groups, m_have.groups, groupId, grant.first))
                    throw FileError(p.rights_line, "program \"" + JoinPath(p.path) +
                                                       "\" grants rights to group \"" +
                                                       grant.first + "\", which " + where +
                                                       " does not hold");
        }
    }

    template <class Entry, class T, class Add, class Modify, class Delete>
    void
    PlanKeyed(Phase phase, const std::string& noun, const std::optional<std::vector<Entry>>& want,
              const std::optional<std::vector<Entry>>& have, T Entry::*record, std::string T::*key,
              Add add, Modify modify, Delete del, std::set<std::string>& deleted) {
        if (!want)
            return;
        std::map<std::string, const T*> haveByKey;
        if (have)
            for (const Entry& e : *have)
                haveByKey.emplace(e.*record.*key, &(e.*record));
        std::set<std::string> wanted;
        for (const Entry& e : *want) {
            const T& r = e.*record;
            wanted.insert(r.*key);
            const auto found = haveByKey.find(r.*key);
            const std::string subject = noun + " " + r.*key;
            if (found == haveByKey.end()) {
                m_adds[phase].push_back(
                    {'+', subject, {}, [r, add](ltp::Client& c, ProgramIds&) { (c.*add)(r); }});
                continue;
            }
            std::vector<FieldChange> changes = Differences(r, *found->second, m_naming);
            if (!changes.empty())
                m_adds[phase].push_back(
                    {'~', subject, std::move(changes),
                     [r, modify](ltp::Client& c, ProgramIds&) { (c.*modify)(r); }});
        }
        if (!m_prune)
            return;
        for (const auto& [k, r] : haveByKey) {
            (void)r;
            if (wanted.count(k))
                continue;
            deleted.insert(k);
            m_deletes[phase].push_back(
                {'-', noun + " " + k, {}, [k = k, del](ltp::Client& c, ProgramIds&) {
                     (c.*del)(k);
                 }});
        }
    }

    void PlanMemberships() {
        if (!m_want.users)
            return;
        std::map<std::string, const UserEntry*> have;
        if (m_have.users)
            for (const UserEntry& u : *m_have.users)
                have.emplace(u.user.user_id, &u);
        for (const UserEntry& u : *m_want.users) {
            const std::string& id = u.user.user_id;
            const auto found = have.find(id);
            const std::vector<std::string> none;
            const std::vector<std::string>& current =
                found == have.end() ? none : found->second->groups;
            for (const std::string& g : u.groups)
                if (!std::binary_search(current.begin(), current.end(), g))
                    m_adds[kMemberships].push_back(
                        {'+',
                         "member " + id + " of group " + g,
                         {},
                         [id, g](ltp::Client& c, ProgramIds&) { c.add_user_to_group(id, g); }});
            if (!m_prune)
                continue;
            for (const std::string& g : current)
                if (!std::binary_search(u.groups.begin(), u.groups.end(), g) &&
                    !m_deletedGroups.count(g))
                    m_deletes[kMemberships].push_back({'-',
                                                       "member " + id + " of group " + g,
                                                       {},
                                                       [id, g](ltp::Client& c, ProgramIds&) {
                                                           c.delete_user_from_group(id, g);
                                                       }});
        }
    }

    // Finds the server's program for every program of the file: at the same place, or, for a
    // program that left its place, the one program of that name that the file no longer holds
    // anywhere (a move).
    void MatchPrograms() {
        const std::vector<ProgramEntry> none;
        const std::vector<ProgramEntry>& have = m_have.programs ? *m_have.programs : none;
        std::map<std::pair<std::int32_t, std::string>, std::vector<const ProgramEntry*>> slots;
        for (const ProgramEntry& c : have)
            slots[{c.program.number6, c.path.back()}].push_back(&c);
        std::set<const ProgramEntry*> taken;
        auto parentId = [&](const ProgramEntry& d, std::int32_t& id) {
            if (d.path.size() == 1) {
                id = 0;
                return true;
            }
            const auto it = m_plan.ids.ids.find(ParentOf(d.path));
            if (it == m_plan.ids.ids.end() || !m_matched.count(ParentOf(d.path)))
                return false;
            id = it->second;
            return true;
        };
        auto match = [&](const ProgramEntry& d, const ProgramEntry* c) {
            taken.insert(c);
            m_matched[d.path] = c;
            m_plan.ids.ids[d.path] = c->program.program_id;
        };
        for (bool progress = true; progress;) {
            progress = false;
            for (const ProgramEntry& d : *m_want.programs) {
                std::int32_t parent = 0;
                if (m_matched.count(d.path) || !parentId(d, parent))
                    continue;
                const auto slot = slots.find({parent, d.path.back()});
                if (slot == slots.end())
                    continue;
                if (slot->second.size() > 1) {
                    std::string ids;
                    for (const ProgramEntry* c : slot->second)
                        ids += (ids.empty() ? "" : ", ") + std::to_string(c->program.program_id);
                    throw FileError(d.line, "the server holds more than one program \"" +
                                                JoinPath(d.path) + "\" (numbers " + ids +
                                                "): names under one parent must be unique to "
                                                "tell them apart");
                }
                if (!taken.count(slot->second.front())) {
                    match(d, slot->second.front());
                    progress = true;
                }
            }
            std::map<std::string, std::vector<const ProgramEntry*>> loose, left;
            for (const ProgramEntry& d : *m_want.programs) {
                std::int32_t parent = 0;
                if (!m_matched.count(d.path) && parentId(d, parent))
                    loose[d.path.back()].push_back(&d);
            }
            for (const ProgramEntry& c : have)
                if (!taken.count(&c))
                    left[c.path.back()].push_back(&c);
            for (const auto& [name, ds] : loose) {
                const auto l = left.find(name);
                if (ds.size() == 1 && l != left.end() && l->second.size() == 1) {
                    match(*ds.front(), l->second.front());
                    progress = true;
                }
            }
        }
        for (const ProgramEntry& c : have)
            if (!taken.count(&c))
                m_unmatchedPrograms.push_back(&c);
    }

    void PlanPrograms() {
        if (!m_want.programs) {
            // Schedules may still name programs by place: the server's places then.
            if (m_have.programs)
                for (const ProgramEntry& c : *m_have.programs)
                    m_haveByPath[c.path].push_back(&c);
            return;
        }
        MatchPrograms();
        std::map<std::int32_t, ProgramPath> havePlace;
        if (m_have.programs)
            for (const ProgramEntry& c : *m_have.programs)
                havePlace[c.program.program_id] = c.path;
        for (const ProgramEntry& d : *m_want.programs) {
            const std::string subject = "program " + JoinPath(d.path);
            ltp::Program record = d.program;
            record.text2 = d.path.back();
            const ProgramPath parent = ParentOf(d.path);
            const auto found = m_matched.find(d.path);
            if (found == m_matched.end()) {
                m_adds[kPrograms].push_back(
                    {'+', subject, {}, [record, path = d.path](ltp::Client& c, ProgramIds& ids) {
                         ltp::Program r = record;
                         r.number6 = ids.Of(ParentOf(path));
                         ids.ids[path] = c.add_program(r);
                     }});
                PlanProgramParts(d, nullptr);
                continue;
            }
            const ProgramEntry& have = *found->second;
            std::vector<FieldChange> changes = Differences(record, have.program, m_naming);
            // The parent is compared by identity: below a moved program, the place's text
            // changes while the parent stays.
            const auto parentMatch = parent.empty() ? m_matched.end() : m_matched.find(parent);
            const bool sameParent = parent.empty() ? have.program.number6 == 0
                                                   : parentMatch != m_matched.end() &&
                                                         parentMatch->second->program.program_id ==
                                                             have.program.number6;
            if (!sameParent)
                changes.push_back({"parent", PlaceText(ParentOf(have.path)), PlaceText(parent)});
            if (!changes.empty()) {
                record.program_id = have.program.program_id;
                m_adds[kPrograms].push_back({'~', subject, std::move(changes),
                                             [record, parent](ltp::Client& c, ProgramIds& ids) {
                                                 ltp::Program r = record;
                                                 r.number6 = ids.Of(parent);
                                                 c.modify_program(r);
                                             }});
            }
            PlanProgramParts(d, &have);
        }
        if (!m_prune)
            return;
        std::vector<const ProgramEntry*> gone = m_unmatchedPrograms;
        // Children before their parents: the server keeps a program while others lie below.
        std::stable_sort(gone.begin(), gone.end(),
                         [](const ProgramEntry* a, const ProgramEntry* b) {
                             return a->path.size() > b->path.size();
                         });
        for (const ProgramEntry* c : gone) {
            const std::int32_t id = c->program.program_id;
            m_deletedPrograms.insert(id);
            m_deletes[kPrograms].push_back(
                {'-',
                 "program " + JoinPath(c->path) + " (number " + std::to_string(id) + ")",
                 {},
                 [id](ltp::Client& client, ProgramIds&) { client.delete_program(id); }});
        }
    }

    void PlanProgramParts(const ProgramEntry& d, const ProgramEntry* have) {
        const ProgramPath path = d.path;
        const std::string on = " on " + JoinPath(path);
        const std::map<std::string, ltp::ProgramPath> noPaths;
        const auto& havePaths = have ? have->paths : noPaths;
        for (const auto& [text, want] : d.paths) {
            const auto found = havePaths.find(text);
            auto add = [want = want, path](ltp::Client& c, ProgramIds& ids) {
                ltp::ProgramPath r = want;
                r.program_id = ids.Of(path);
                c.add_path_to_program(r);
            };
            if (found == havePaths.end()) {
                m_adds[kPaths].push_back({'+', "path " + text + on, {}, add});
                continue;
            }
            std::vector<FieldChange> changes = Differences(want, found->second, m_naming);
            if (changes.empty())
                continue;
            // A path has no modify: it is taken off and attached again.
            m_adds[kPaths].push_back({'~', "path " + text + on, std::move(changes),
                                      [add, text = text, path](ltp::Client& c, ProgramIds& ids) {
                                          c.delete_path_from_program(ids.Of(path), text);
                                          add(c, ids);
                                      }});
        }
        if (have && m_prune)
            for (const auto& [text, unused] : havePaths) {
                (void)unused;
                if (!d.paths.count(text))
                    m_deletes[kPaths].push_back(
                        {'-',
                         "path " + text + on,
                         {},
                         [text = text, path](ltp::Client& c, ProgramIds& ids) {
                             c.delete_path_from_program(ids.Of(path), text);
                         }});
            }
        const std::map<std::string, std::int32_t> none;
        PlanRights("user", d.user_rights, have ? have->user_rights : none, path, m_deletedUsers,
                   &ltp::Client::add_user_rights, &ltp::Client::modify_user_rights,
                   &ltp::Client::delete_user_rights);
        PlanRights("group", d.group_rights, have ? have->group_rights : none, path, m_deletedGroups,
                   &ltp::Client::add_group_rights, &ltp::Client::modify_group_rights,
                   &ltp::Client::delete_group_rights);
    }

    template <class Grant, class Revoke>
    void PlanRights(const std::string& noun, const std::map<std::string, std::int32_t>& want,
                    const std::map<std::string, std::int32_t>& have, const ProgramPath& path,
                    const std::set<std::string>& deleted, Grant add, Grant modify, Revoke del) {
        const std::string on = " on " + JoinPath(path);
        for (const auto& [name, bits] : want) {
            const auto found = have.find(name);
            if (found == have.end()) {
                m_adds[kRights].push_back(
                    {'+',
                     "rights of " + noun + " " + name + on + " = " + std::to_string(bits),
                     {},
                     [name = name, bits = bits, path, add](ltp::Client& c, ProgramIds& ids) {
                         (c.*add)(name, ids.Of(path), bits);
                     }});
            } else if (found->second != bits) {
                m_adds[kRights].push_back(
                    {'~',
                     "rights of " + noun + " " + name + on,
                     {{"rights", std::to_string(found->second), std::to_string(bits)}},
                     [name = name, bits = bits, path, modify](ltp::Client& c, ProgramIds& ids) {
                         (c.*modify)(name, ids.Of(path), bits);
                     }});
            }
        }
        if (!m_prune)
            return;
        for (const auto& [name, bits] : have) {
            (void)bits;
            if (want.count(name) || deleted.count(name))
                continue;
            m_deletes[kRights].push_back(
                {'-',
                 "rights of " + noun + " " + name + on,
                 {},
                 [name = name, path, del](ltp::Client& c, ProgramIds& ids) {
                     (c.*del)(name, ids.Of(path));
                 }});
        }
    }

    ProgramTarget TargetOf(const ScheduleEntry& s, const std::string& channel) {
        ProgramTarget t;
        if (!s.program.by_path) {
            t.id = s.program.number;
            return t;
        }
        const std::string what = "a schedule of channel \"" + channel + "\" shows program \"" +
                                 JoinPath(s.program.path) + "\", which ";
        if (m_want.programs) {
            const bool inFile =
                std::any_of(m_want.programs->begin(), m_want.programs->end(),
                            [&](const ProgramEntry& p) { return p.path == s.program.path; });
            if (!inFile)
                throw FileError(s.line, what + "the file does not hold");
            const auto found = m_matched.find(s.program.path);
            if (found == m_matched.end()) {
                t.lookup = true;
                t.path = s.program.path;
            } else {
                t.id = found->second->program.program_id;
            }
            return t;
        }
        const auto found = m_haveByPath.find(s.program.path);
        if (found == m_haveByPath.end())
            throw FileError(s.line, what + "the server does not hold");
        if (found->second.size() > 1)
            throw FileError(s.line, what + "the server holds more than once");
        t.id = found->second.front()->program.program_id;
        return t;
    }

    void PlanSchedules() {
        if (!m_want.channels)
            return;
        // The server's schedules by channel, start and program.
        std::map<std::string, std::vector<const ScheduleEntry*>> haveByKey;
        auto keyOf = [](const std::string& channel, double start, const std::string& program) {
            return channel + '\x1f' + std::to_string(DateKey(start)) + '\x1f' + program;
        };
        if (m_have.channels)
            for (const ChannelEntry& c : *m_have.channels)
                for (const ScheduleEntry& s : c.schedules)
                    haveByKey[keyOf(c.channel.channel_id, s.schedule.real4,
                                    "i" + std::to_string(s.schedule.number3))]
                        .push_back(&s);
        std::set<const ScheduleEntry*> kept;
        std::map<std::string, int> wantLines;
        for (const ChannelEntry& c : *m_want.channels) {
            const std::string& channel = c.channel.channel_id;
            for (const ScheduleEntry& s : c.schedules) {
                const ProgramTarget target = TargetOf(s, channel);
                const std::string key = keyOf(channel, s.schedule.real4, target.Key());
                const std::string subject = "schedule " + channel + " " +
                                            WriteDate(s.schedule.real4) + " " +
                                            (s.program.by_path ? JoinPath(s.program.path)
                                                               : std::to_string(s.program.number));
                if (!wantLines.emplace(key, s.line).second)
                    throw FileError(s.line, subject + " is given twice (also on line " +
                                                std::to_string(wantLines[key]) + ")");
                ltp::Schedule record = s.schedule;
                record.text2 = channel;
                const auto found = haveByKey.find(key);
                if (found == haveByKey.end()) {
                    m_adds[kSchedules].push_back(
                        {'+', subject, {}, [record, target](ltp::Client& cl, ProgramIds& ids) {
                             ltp::Schedule r = record;
                             r.number3 = target.Resolve(ids);
                             cl.add_schedule(r);
                         }});
                    continue;
                }
                if (found->second.size() > 1) {
                    std::string ids;
                    for (const ScheduleEntry* h : found->second)
                        ids += (ids.empty() ? "" : ", ") + std::to_string(h->schedule.schedule_id);
                    throw FileError(s.line, "the server holds more than one " + subject +
                                                " (numbers " + ids + ")");
                }
                const ScheduleEntry& have = *found->second.front();
                kept.insert(&have);
                std::vector<FieldChange> changes = Differences(record, have.schedule, m_naming);
                if (changes.empty())
                    continue;
                record.schedule_id = have.schedule.schedule_id;
                m_adds[kSchedules].push_back({'~', subject, std::move(changes),
                                              [record, target](ltp::Client& cl, ProgramIds& ids) {
                                                  ltp::Schedule r = record;
                                                  r.number3 = target.Resolve(ids);
                                                  cl.modify_schedule(r);
                                              }});
            }
        }
        if (!m_prune || !m_have.channels)
            return;
        for (const ChannelEntry& c : *m_have.channels)
            for (const ScheduleEntry& s : c.schedules) {
                if (kept.count(&s))
                    continue;
                const std::int32_t id = s.schedule.schedule_id;
                m_deletes[kSchedules].push_back(
                    {'-',
                     "schedule " + c.channel.channel_id + " " + WriteDate(s.schedule.real4) + " " +
                         (s.program.by_path ? JoinPath(s.program.path)
                                            : std::to_string(s.program.number)) +
                         " (number " + std::to_string(id) + ")",
                     {},
                     [id](ltp::Client& cl, ProgramIds&) { cl.delete_schedule(id); }});
            }
    }

    void PlanInformation() {
        if (!m_want.information ||
            (m_have.information && *m_have.information == *m_want.information))
            return;
        const std::string text = *m_want.information;
        m_adds[kInformation].push_back(
            {'~',
             "information",
             {{"bytes", std::to_string(m_have.information ? m_have.information->size() : 0),
               std::to_string(text.size())}},
             [text](ltp::Client& c, ProgramIds&) { c.add_information(text); }});
    }

    const State& m_want;
    const State& m_have;
    bool m_prune;
    const FieldNaming& m_naming;
    Plan m_plan;
    std::vector<Step> m_adds[kPhases];
    std::vector<Step> m_deletes[kPhases];
    std::set<std::string> m_deletedUsers, m_deletedGroups, m_deletedChannels;
    std::set<std::int32_t> m_deletedPrograms;
    std::map<ProgramPath, const ProgramEntry*> m_matched;
    std::vector<const ProgramEntry*> m_unmatchedPrograms;
    std::map<ProgramPath, std::vector<const ProgramEntry*>> m_haveByPath;
};

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

Plan MakePlan(const State& desired, const State& current, bool prune, const FieldNaming& naming) {
    // Deletes are planned either way and only come last, so that without prune they can be told
    // apart as unmanaged.
    Plan plan = Planner(desired, current, true, naming).Make();
    if (!prune) {
        const auto firstDelete = std::find_if(plan.steps.begin(), plan.steps.end(),
                                              [](const Step& s) { return s.sign == '-'; });
        plan.unmanaged.assign(std::make_move_iterator(firstDelete),
                              std::make_move_iterator(plan.steps.end()));
        plan.steps.erase(firstDelete, plan.steps.end());
    }
    return plan;
}

std::string Describe(const Step& step) {
    std::string line = std::string(1, step.sign) + " " + step.subject;
    for (std::size_t i = 0; i < step.changes.size(); ++i) {
        const FieldChange& c = step.changes[i];
        line += (i == 0 ? " (" : ", ") + c.field + ": " + Shown(c.before) + " -> " + Shown(c.after);
    }
    if (!step.changes.empty())
        line += ")";
    return line;
}

} // namespace ltpstate
