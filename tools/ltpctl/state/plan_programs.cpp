#include "tools/ltpctl/state/plan_programs.h"

#include <algorithm>
#include <set>

#include "tools/ltpctl/state/file_error.h"

namespace ltpstate {
namespace {

std::string PlaceText(const ProgramPath& path) {
    return path.empty() ? std::string("(top)") : JoinPath(path);
}

using Grant = void (ltp::Client::*)(std::string_view, std::int32_t, std::int32_t);
using Revoke = void (ltp::Client::*)(std::string_view, std::int32_t);

void PlanRights(const std::string& noun, const std::map<std::string, std::int32_t>& want,
                const std::map<std::string, std::int32_t>& have, const ProgramPath& path,
                const std::set<std::string>& deleted, Grant add, Grant modify, Revoke del,
                PlanSteps& steps) {
    const std::string on = " on " + JoinPath(path);
    for (const auto& [name, bits] : want) {
        const auto found = have.find(name);
        if (found == have.end()) {
            steps.Add(Phase::rights,
                      {ChangeKind::add,
                       "rights of " + noun + " " + name + on + " = " + std::to_string(bits),
                       {},
                       [name = name, bits = bits, path, add](ltp::Client& c, ProgramIds& ids) {
                           (c.*add)(name, ids.Of(path), bits);
                       }});
        } else if (found->second != bits) {
            steps.Add(Phase::rights,
                      {ChangeKind::change,
                       "rights of " + noun + " " + name + on,
                       {{"rights", std::to_string(found->second), std::to_string(bits)}},
                       [name = name, bits = bits, path, modify](ltp::Client& c, ProgramIds& ids) {
                           (c.*modify)(name, ids.Of(path), bits);
                       }});
        }
    }
    for (const auto& [name, bits] : have) {
        (void)bits;
        if (want.count(name) || deleted.count(name))
            continue;
        steps.Delete(Phase::rights, {ChangeKind::remove,
                                     "rights of " + noun + " " + name + on,
                                     {},
                                     [name = name, path, del](ltp::Client& c, ProgramIds& ids) {
                                         (c.*del)(name, ids.Of(path));
                                     }});
    }
}

} // namespace

ProgramPlanner::ProgramPlanner(const std::vector<ProgramEntry>* want,
                               const std::vector<ProgramEntry>* have, const FieldNaming& naming,
                               ProgramIds& ids)
    : m_want(want), m_have(have), m_naming(naming), m_ids(ids) {}

const ProgramEntry* ProgramPlanner::Matched(const ProgramPath& path) const {
    const auto found = m_matched.find(path);
    return found == m_matched.end() ? nullptr : found->second;
}

const std::vector<const ProgramEntry*>* ProgramPlanner::AtPlace(const ProgramPath& path) const {
    const auto found = m_haveByPath.find(path);
    return found == m_haveByPath.end() ? nullptr : &found->second;
}

void ProgramPlanner::Match() {
    const std::vector<ProgramEntry> none;
    const std::vector<ProgramEntry>& have = m_have ? *m_have : none;
    std::map<std::pair<std::int32_t, std::string>, std::vector<const ProgramEntry*>> slots;
    for (const ProgramEntry& c : have)
        slots[{c.program.number6, c.path.back()}].push_back(&c);
    std::set<const ProgramEntry*> taken;
    auto parentId = [&](const ProgramEntry& d, std::int32_t& id) {
        if (d.path.size() == 1) {
            id = 0;
            return true;
        }
        const auto it = m_ids.ids.find(ParentOf(d.path));
        if (it == m_ids.ids.end() || !m_matched.count(ParentOf(d.path)))
            return false;
        id = it->second;
        return true;
    };
    auto match = [&](const ProgramEntry& d, const ProgramEntry* c) {
        taken.insert(c);
        m_matched[d.path] = c;
        m_ids.ids[d.path] = c->program.program_id;
    };
    for (bool progress = true; progress;) {
        progress = false;
        for (const ProgramEntry& d : *m_want) {
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
        for (const ProgramEntry& d : *m_want) {
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
            m_unmatched.push_back(&c);
}

void ProgramPlanner::Plan(const Deleted& deleted, PlanSteps& steps) {
    if (!m_want) {
        // Schedules may still name programs by place: the server's places then.
        if (m_have)
            for (const ProgramEntry& c : *m_have)
                m_haveByPath[c.path].push_back(&c);
        return;
    }
    Match();
    for (const ProgramEntry& d : *m_want) {
        const std::string subject = "program " + JoinPath(d.path);
        ltp::Program record = d.program;
        record.text2 = d.path.back();
        const ProgramPath parent = ParentOf(d.path);
        const ProgramEntry* have = Matched(d.path);
        if (!have) {
            steps.Add(Phase::programs, {ChangeKind::add,
                                        subject,
                                        {},
                                        [record, path = d.path](ltp::Client& c, ProgramIds& ids) {
                                            ltp::Program r = record;
                                            r.number6 = ids.Of(ParentOf(path));
                                            ids.ids[path] = c.add_program(r);
                                        },
                                        true});
            PlanParts(d, nullptr, deleted, steps);
            continue;
        }
        std::vector<FieldChange> changes = Differences(record, have->program, m_naming);
        // The parent is compared by identity: below a moved program, the place's text changes
        // while the parent stays.
        const ProgramEntry* parentMatch = parent.empty() ? nullptr : Matched(parent);
        const bool sameParent = parent.empty() ? have->program.number6 == 0
                                               : parentMatch && parentMatch->program.program_id ==
                                                                    have->program.number6;
        if (!sameParent)
            changes.push_back({"parent", PlaceText(ParentOf(have->path)), PlaceText(parent)});
        if (!changes.empty()) {
            record.program_id = have->program.program_id;
            steps.Add(Phase::programs, {ChangeKind::change, subject, std::move(changes),
                                        [record, parent](ltp::Client& c, ProgramIds& ids) {
                                            ltp::Program r = record;
                                            r.number6 = ids.Of(parent);
                                            c.modify_program(r);
                                        }});
        }
        PlanParts(d, have, deleted, steps);
    }
    std::vector<const ProgramEntry*> gone = m_unmatched;
    // Children before their parents: the server keeps a program while others lie below.
    std::stable_sort(gone.begin(), gone.end(), [](const ProgramEntry* a, const ProgramEntry* b) {
        return a->path.size() > b->path.size();
    });
    for (const ProgramEntry* c : gone) {
        const std::int32_t id = c->program.program_id;
        steps.Delete(Phase::programs,
                     {ChangeKind::remove,
                      "program " + JoinPath(c->path) + " (number " + std::to_string(id) + ")",
                      {},
                      [id](ltp::Client& client, ProgramIds&) { client.delete_program(id); }});
    }
}

void ProgramPlanner::PlanParts(const ProgramEntry& d, const ProgramEntry* have,
                               const Deleted& deleted, PlanSteps& steps) {
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
            steps.Add(Phase::paths, {ChangeKind::add, "path " + text + on, {}, add});
            continue;
        }
        std::vector<FieldChange> changes = Differences(want, found->second, m_naming);
        if (changes.empty())
            continue;
        // A path has no modify: it is taken off and attached again.
        steps.Add(Phase::paths, {ChangeKind::change, "path " + text + on, std::move(changes),
                                 [add, text = text, path](ltp::Client& c, ProgramIds& ids) {
                                     c.delete_path_from_program(ids.Of(path), text);
                                     add(c, ids);
                                 }});
    }
    if (have)
        for (const auto& [text, unused] : havePaths) {
            (void)unused;
            if (!d.paths.count(text))
                steps.Delete(Phase::paths, {ChangeKind::remove,
                                            "path " + text + on,
                                            {},
                                            [text = text, path](ltp::Client& c, ProgramIds& ids) {
                                                c.delete_path_from_program(ids.Of(path), text);
                                            }});
        }
    const std::map<std::string, std::int32_t> none;
    PlanRights("user", d.user_rights, have ? have->user_rights : none, path, deleted.users,
               &ltp::Client::add_user_rights, &ltp::Client::modify_user_rights,
               &ltp::Client::delete_user_rights, steps);
    PlanRights("group", d.group_rights, have ? have->group_rights : none, path, deleted.groups,
               &ltp::Client::add_group_rights, &ltp::Client::modify_group_rights,
               &ltp::Client::delete_group_rights, steps);
}

} // namespace ltpstate
