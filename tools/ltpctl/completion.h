// What may come next on a command line: commands, options, and the keys of the records a
// command takes, read from the server. The shell's tab and the system shells' completion
// (through the hidden "__complete" command) both ask here.
#pragma once

#include <string>
#include <vector>

#include "tools/ltpctl/command_support.h"

namespace ltpctl {

struct Candidate {
    std::string word;
    std::string description; // a program's name beside its number; often empty
};

// The candidates for current, the word being typed, after the words before it (without the
// program name), filtered by current as a prefix. Keys are read through ctx when it is given; a
// failure to read them only means no keys.
std::vector<Candidate> CompletionCandidates(const CLI::App& commands, RunContext* ctx,
                                            const std::vector<std::string>& before,
                                            const std::string& current);

// ltpctl __complete WORD...: prints the candidates for the last word, one a line, a description
// after a tab. Asks the server only with a password that needs no prompt.
int PrintCompletions(const CLI::App& commands, RunContext* ctx,
                     const std::vector<std::string>& words);

} // namespace ltpctl
