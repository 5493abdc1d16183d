// The exit codes of ltpctl, one per kind of outcome, so that scripts can tell a refusal by the
// server from a usage mistake or a network failure.
#pragma once

namespace ltpctl {

enum ExitCode : int {
    kExitOk = 0,
    kExitRefused = 1,   // the server answered with a status other than 200
    kExitUsage = 2,     // the command line (or a batch line) was wrong
    kExitTransport = 3, // no connection, no answer, a broken connection
    kExitUncarried = 4, // a value the protocol cannot carry ("|", "<", too long)
};

} // namespace ltpctl
