#include "support/pump.h"

#include "ltpadmin/platform/platform.h"

#include <chrono>

namespace ltptest {

bool Pump(const std::function<bool()>& done, int ms) {
    UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    bool ok = false;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done()) {
            ok = true;
            break;
        }
        if (std::chrono::steady_clock::now() > until)
            break;
        WaitMessage();
    }
    KillTimer(nullptr, timer);
    return ok;
}

} // namespace ltptest
