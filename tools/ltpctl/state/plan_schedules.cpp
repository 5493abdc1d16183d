#include "tools/ltpctl/state/plan_schedules.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "tools/ltpctl/state/file_error.h"

namespace ltpstate {
namespace {

// The program a schedule shows, once apply has made the programs: a number known now, or the
// number the program at a place of the file gets.
struct ProgramTarget {
    bool lookup = false;
    ProgramPath path;
    std::int32_t id = 0;

    std::int32_t Resolve(const ProgramIds& ids) const { return lookup ? ids.Of(path) : id; }
    bool operator<(const ProgramTarget& o) const {
        return std::tie(lookup, path, id) < std::tie(o.lookup, o.path, o.id);
    }
};

struct ScheduleKey {
    std::string channel;
    std::int64_t start = 0; // the second it starts in
    ProgramTarget program;

    bool operator<(const ScheduleKey& o) const {
        return std::tie(channel, start, program) < std::tie(o.channel, o.start, o.program);
    }
};

ProgramTarget Known(std::int32_t id) {
    ProgramTarget t;
    t.id = id;
    return t;
}

std::string ProgramText(const ScheduleEntry& s) {
    return s.program.by_path ? JoinPath(s.program.path) : std::to_string(s.program.number);
}

class SchedulePlanner {
public:
    SchedulePlanner(bool programsManaged, const ProgramPlanner& programs,
                    const std::vector<ProgramEntry>* wantPrograms)
        : m_managed(programsManaged), m_programs(programs), m_wantPrograms(wantPrograms) {}

    ProgramTarget TargetOf(const ScheduleEntry& s, const std::string& channel) const {
        if (!s.program.by_path)
            return Known(s.program.number);
        const std::string what = "a schedule of channel \"" + channel + "\" shows program \"" +
                                 JoinPath(s.program.path) + "\", which ";
        if (m_managed) {
            const bool inFile =
                std::any_of(m_wantPrograms->begin(), m_wantPrograms->end(),
                            [&](const ProgramEntry& p) { return p.path == s.program.path; });
            if (!inFile)
                throw FileError(s.line, what + "the file does not hold");
            if (const ProgramEntry* found = m_programs.Matched(s.program.path))
                return Known(found->program.program_id);
            ProgramTarget t;
            t.lookup = true;
            t.path = s.program.path;
            return t;
        }
        const auto* found = m_programs.AtPlace(s.program.path);
        if (!found)
            throw FileError(s.line, what + "the server does not hold");
        if (found->size() > 1)
            throw FileError(s.line, what + "the server holds more than once");
        return Known(found->front()->program.program_id);
    }

private:
    bool m_managed;
    const ProgramPlanner& m_programs;
    const std::vector<ProgramEntry>* m_wantPrograms;
};

} // namespace

void PlanSchedules(const std::vector<ChannelEntry>& want, const std::vector<ChannelEntry>* have,
                   bool programsManaged, const ProgramPlanner& programs,
                   const std::vector<ProgramEntry>* wantPrograms, const FieldNaming& naming,
                   PlanSteps& steps) {
    const SchedulePlanner planner(programsManaged, programs, wantPrograms);
    std::map<ScheduleKey, std::vector<const ScheduleEntry*>> haveByKey;
    if (have)
        for (const ChannelEntry& c : *have)
            for (const ScheduleEntry& s : c.schedules)
                haveByKey[{c.channel.channel_id, DateKey(s.schedule.real4),
                           Known(s.schedule.number3)}]
                    .push_back(&s);
    std::set<const ScheduleEntry*> kept;
    std::map<ScheduleKey, int> wantLines;
    for (const ChannelEntry& c : want) {
        const std::string& channel = c.channel.channel_id;
        for (const ScheduleEntry& s : c.schedules) {
            const ProgramTarget target = planner.TargetOf(s, channel);
            const ScheduleKey key{channel, DateKey(s.schedule.real4), target};
            const std::string subject =
                "schedule " + channel + " " + WriteDate(s.schedule.real4) + " " + ProgramText(s);
            if (!wantLines.emplace(key, s.line).second)
                throw FileError(s.line, subject + " is given twice (also on line " +
                                            std::to_string(wantLines[key]) + ")");
            ltp::Schedule record = s.schedule;
            record.text2 = channel;
            const auto found = haveByKey.find(key);
            if (found == haveByKey.end()) {
                steps.Add(Phase::schedules, {ChangeKind::add,
                                             subject,
                                             {},
                                             [record, target](ltp::Client& cl, ProgramIds& ids) {
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
                throw FileError(s.line, "the server holds more than one " + subject + " (numbers " +
                                            ids + ")");
            }
            const ScheduleEntry& current = *found->second.front();
            kept.insert(&current);
            std::vector<FieldChange> changes = Differences(record, current.schedule, naming);
            if (changes.empty())
                continue;
            record.schedule_id = current.schedule.schedule_id;
            steps.Add(Phase::schedules, {ChangeKind::change, subject, std::move(changes),
                                         [record, target](ltp::Client& cl, ProgramIds& ids) {
                                             ltp::Schedule r = record;
                                             r.number3 = target.Resolve(ids);
                                             cl.modify_schedule(r);
                                         }});
        }
    }
    if (!have)
        return;
    for (const ChannelEntry& c : *have)
        for (const ScheduleEntry& s : c.schedules) {
            if (kept.count(&s))
                continue;
            const std::int32_t id = s.schedule.schedule_id;
            steps.Delete(Phase::schedules,
                         {ChangeKind::remove,
                          "schedule " + c.channel.channel_id + " " + WriteDate(s.schedule.real4) +
                              " " + ProgramText(s) + " (number " + std::to_string(id) + ")",
                          {},
                          [id](ltp::Client& cl, ProgramIds&) { cl.delete_schedule(id); }});
        }
}

} // namespace ltpstate
