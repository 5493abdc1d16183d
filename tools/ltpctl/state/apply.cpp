#include "tools/ltpctl/state/apply.h"

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
            return result;
        }
        ++result.done;
        if (onDone)
            onDone(step);
    }
    return result;
}

} // namespace ltpstate
