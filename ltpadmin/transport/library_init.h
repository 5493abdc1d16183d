// Library start-up: the socket layer is made ready once, before the first log-in. Nothing else is
// set up; in particular the process's signal handling is left alone.
#pragma once

#include "ltpadmin/platform/win32_types.h"

namespace ltp::detail {

// Initialises the socket layer on the first call; later calls only return the first result.
BOOL EnsureSocketLayer();

} // namespace ltp::detail
