// The ltpctl command line: global options, every command family and batch, parsed and run.
#pragma once

#include <iosfwd>

namespace ltpctl {

// Runs ltpctl with the given arguments; returns its exit code (see exit_codes.h).
int RunLtpctl(int argc, const char* const* argv, std::istream& in, std::ostream& out,
              std::ostream& err);

} // namespace ltpctl
