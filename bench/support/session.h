// The library's side of a benchmark: a CLTPCreater logged in to a benchmark peer.
#pragma once

#include "ltpadmin/ltpadmin.h"

namespace ltpbench {

// Logs the session in to 127.0.0.1 at the port with the benchmark's credentials and runs one
// ClearLogEvents, so that the connection is made before anything is timed. False on failure.
bool StartSession(CLTPCreater& admin, unsigned short port);

// Deletes the records of a list and empties it, as a caller does.
template <class T> void ReleaseRecords(CList<T*, T*>& list) {
    while (!list.IsEmpty())
        delete list.RemoveHead();
}

} // namespace ltpbench
