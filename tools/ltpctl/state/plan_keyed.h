// Plans a family whose records are known by a key the file gives (users, groups, channels,
// globals, MTP servers). The server's records are taken one at a time, in any order, as a list
// arrives: only the file's entries (as an index sorted by key) and what differs are held.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tools/common/operations.h"
#include "tools/ltpctl/state/plan_steps.h"

namespace ltpstate {

template <class Entry, class T> class KeyedPlanner {
public:
    using Key = std::string T::*;
    // Where the family's steps go and how they are named; the client calls are the family's
    // own, from the tools' description of the operations.
    struct Family {
        Phase phase;
        const char* noun;
        T Entry::*record;
        Key key;
    };

    KeyedPlanner(const Family& family, const std::vector<Entry>& want, const FieldNaming& naming)
        : m_family(family), m_want(want), m_naming(naming), m_found(want.size(), false) {
        m_index.reserve(want.size());
        for (std::size_t i = 0; i < want.size(); ++i)
            m_index.push_back(i);
        std::stable_sort(m_index.begin(), m_index.end(),
                         [this](std::size_t a, std::size_t b) { return KeyOf(a) < KeyOf(b); });
    }

    // One record of the server's. Of records that share a key only the first counts.
    void Have(const T& have) {
        const std::string& key = have.*m_family.key;
        const auto range = std::equal_range(m_index.begin(), m_index.end(), key, Less{this});
        if (range.first == range.second) {
            m_onlyHave.push_back(key);
            return;
        }
        for (auto it = range.first; it != range.second; ++it) {
            if (m_found[*it])
                continue;
            m_found[*it] = true;
            std::vector<FieldChange> changes = Differences(Record(*it), have, m_naming);
            if (!changes.empty())
                m_changes.emplace(*it, std::move(changes));
        }
    }

    // Adds and changes in the file's order; deletes (what only the server holds) by key.
    void Finish(PlanSteps& steps, std::set<std::string>* deleted = nullptr) {
        for (std::size_t i = 0; i < m_want.size(); ++i) {
            const T& r = Record(i);
            const std::string subject = std::string(m_family.noun) + " " + r.*m_family.key;
            if (!m_found[i]) {
                steps.Add(m_family.phase, {ChangeKind::add,
                                           subject,
                                           {},
                                           [record = r](ltp::Client& c, ProgramIds&) mutable {
                                               ltptools::AddOne<T>(c, record);
                                           }});
                continue;
            }
            const auto changed = m_changes.find(i);
            if (changed != m_changes.end())
                steps.Add(m_family.phase,
                          {ChangeKind::change, subject, std::move(changed->second),
                           [r](ltp::Client& c, ProgramIds&) { ltptools::ModifyOne<T>(c, r); }});
        }
        std::sort(m_onlyHave.begin(), m_onlyHave.end());
        m_onlyHave.erase(std::unique(m_onlyHave.begin(), m_onlyHave.end()), m_onlyHave.end());
        for (std::string& k : m_onlyHave) {
            if (deleted)
                deleted->insert(k);
            steps.Delete(m_family.phase,
                         {ChangeKind::remove,
                          std::string(m_family.noun) + " " + k,
                          {},
                          [k](ltp::Client& c, ProgramIds&) { ltptools::DeleteOne<T>(c, k); }});
        }
    }

private:
    struct Less {
        const KeyedPlanner* planner;
        bool operator()(std::size_t i, const std::string& k) const { return planner->KeyOf(i) < k; }
        bool operator()(const std::string& k, std::size_t i) const { return k < planner->KeyOf(i); }
    };

    const T& Record(std::size_t i) const { return m_want[i].*m_family.record; }
    const std::string& KeyOf(std::size_t i) const { return Record(i).*m_family.key; }

    Family m_family;
    const std::vector<Entry>& m_want;
    const FieldNaming& m_naming;
    std::vector<std::size_t> m_index; // m_want's places, by key
    std::vector<bool> m_found;
    std::map<std::size_t, std::vector<FieldChange>> m_changes;
    std::vector<std::string> m_onlyHave;
};

// The keyed families, as the planner sends them.
extern const KeyedPlanner<UserEntry, ltp::User>::Family kUserFamily;
extern const KeyedPlanner<GroupEntry, ltp::Group>::Family kGroupFamily;
extern const KeyedPlanner<ChannelEntry, ltp::Channel>::Family kChannelFamily;
extern const KeyedPlanner<GlobalEntry, ltp::Global>::Family kGlobalFamily;
extern const KeyedPlanner<MtpEntry, ltp::MtpServer>::Family kMtpFamily;

} // namespace ltpstate
