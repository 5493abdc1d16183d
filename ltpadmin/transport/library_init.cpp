#include "ltpadmin/transport/library_init.h"

#include "ltpadmin/platform/platform.h"

namespace ltp::detail {

BOOL EnsureSocketLayer() {
    // A failure shows later, when a log-in cannot create its socket (-4).
    static const BOOL s_bReady = AfxSocketInit(nullptr);
    return s_bReady;
}

} // namespace ltp::detail
