// Dispatching the calling thread's messages in tests, on the stand-ins and on Windows alike.
#pragma once

#include <functional>

namespace ltptest {

// Dispatches the thread's messages until `done` holds (true) or the time is up (false). A short
// timer keeps WaitMessage from sleeping past the deadline.
bool Pump(const std::function<bool()>& done, int ms = 5000);

} // namespace ltptest
