// ltpctl batch: one command per line over one login.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/ltpctl/command_support.h"

namespace ltpctl {

// Splits a line into words as a shell would for simple cases: blanks separate words, '...'
// keeps everything literally, "..." keeps everything but \" and \\, a backslash outside quotes
// takes the next character literally, and a word starting with # begins a comment.
bool SplitCommandLine(const std::string& line, std::vector<std::string>& words, std::string& error);

// Runs every line of in as an ltpctl command (without the global options but --dry-run). Blank
// lines and comment lines are skipped. Stops at the first failing line unless keepGoing; returns 0
// when every line succeeded, else the exit code of the first failure.
// With pipeline > 1, the lines' changes go out without waiting for answers, up to pipeline in
// flight; each line's output and reports are held until its answers are in, so they still come in
// input order. Lines already sent when a failure is answered still run; a broken connection
// ends the batch, each line sent since its last answer reported as maybe applied, the rest as not
// sent.
int RunBatch(std::istream& in, RunContext& ctx, bool keepGoing, std::size_t pipeline = 1);

} // namespace ltpctl
