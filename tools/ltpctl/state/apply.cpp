#include "tools/ltpctl/state/apply.h"

#include <ltpadmin/ltp/pipeline.h>

namespace ltpstate {

ApplyResult Apply(ltp::Client& client, Plan& plan, const std::function<void(const Step&)>& onDone) {
    ApplyResult result;
    for (const Step& step : plan.steps) {
        try {
            step.run(client, plan.ids);
        } catch (const ltp::Error& e) {
            result.failed = true;
            result.refused = dynamic_cast<const ltp::Refused*>(&e) != nullptr;
            result.error = e.what();
            result.troubles.push_back(
                {result.done,
                 result.refused ? StepTrouble::Kind::refused : StepTrouble::Kind::unknown,
                 result.error});
            for (std::size_t i = result.done + 1; i < plan.steps.size(); ++i)
                result.troubles.push_back({i, StepTrouble::Kind::not_sent, {}});
            return result;
        }
        ++result.done;
        if (onDone)
            onDone(step);
    }
    return result;
}

namespace {

using Outcome = ltp::Pipeline::Outcome;

// A step's requests in the pipeline, or what became of a step run on its own.
struct Sent {
    bool alone = false;
    std::size_t first = 0, end = 0; // its requests' indexes
    StepTrouble::Kind kind = StepTrouble::Kind::not_sent;
    bool done = false;
    std::string error;
};

std::string Why(const Outcome& o) {
    if (o.error)
        try {
            std::rethrow_exception(o.error);
        } catch (const std::exception& e) {
            return e.what();
        }
    return o.message;
}

// A step sent through the pipeline: done when each of its requests succeeded; else what the
// first that did not came to.
void Settle(Sent& s, const std::vector<Outcome>& outcomes) {
    s.done = true;
    for (std::size_t i = s.first; i < s.end; ++i) {
        const Outcome& o = outcomes[i];
        if (o.state == Outcome::State::succeeded)
            continue;
        s.done = false;
        s.kind = o.state == Outcome::State::refused   ? StepTrouble::Kind::refused
                 : o.state == Outcome::State::unknown ? StepTrouble::Kind::unknown
                                                      : StepTrouble::Kind::not_sent;
        s.error = Why(o);
        return;
    }
}

} // namespace

ApplyResult ApplyPipelined(ltp::Client& client, Plan& plan, std::size_t depth,
                           const std::function<void(const Step&)>& onDone) {
    if (depth <= 1)
        return Apply(client, plan, onDone);
    std::vector<Sent> sent(plan.steps.size());
    bool stop = false; // a refusal or a failure is known: nothing more goes out
    std::size_t queued = 0;
    {
        ltp::Pipeline pipeline(client, depth, [&stop](std::size_t, const Outcome& o) {
            if (o.state != Outcome::State::succeeded)
                stop = true;
        });
        for (; queued < plan.steps.size() && !stop && !pipeline.failed(); ++queued) {
            Step& step = plan.steps[queued];
            Sent& s = sent[queued];
            if (step.makesProgram) {
                pipeline.flush();
                if (stop || pipeline.failed())
                    break;
                s.alone = true;
                try {
                    step.run(client, plan.ids);
                    s.done = true;
                } catch (const ltp::Error& e) {
                    s.kind = dynamic_cast<const ltp::Refused*>(&e) ? StepTrouble::Kind::refused
                                                                   : StepTrouble::Kind::unknown;
                    s.error = e.what();
                    stop = true;
                }
                continue;
            }
            try {
                s.first = pipeline.record([&](ltp::Client& c) { step.run(c, plan.ids); });
                s.end = pipeline.size();
            } catch (const ltp::Error& e) {
                // Refused before anything went out (a text the protocol cannot carry).
                s.alone = true;
                s.kind = StepTrouble::Kind::refused;
                s.error = e.what();
                stop = true;
            }
        }
        pipeline.flush();
        for (std::size_t i = 0; i < queued; ++i)
            if (!sent[i].alone)
                Settle(sent[i], pipeline.outcomes());
    }
    ApplyResult result;
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const Sent& s = sent[i];
        if (i < queued && s.done) {
            ++result.done;
            if (onDone)
                onDone(plan.steps[i]);
            continue;
        }
        if (!result.failed && i < queued) {
            result.failed = true;
            result.refused = s.kind == StepTrouble::Kind::refused;
            result.error = s.error;
        }
        result.troubles.push_back({i, i < queued ? s.kind : StepTrouble::Kind::not_sent, s.error});
    }
    if (!result.failed && !result.troubles.empty()) {
        result.failed = true;
        result.error = result.troubles.front().error;
    }
    return result;
}

} // namespace ltpstate
