// When a command line names no known command: which word was not known, and the nearest command
// that was probably meant ("users lst" -> "users list").
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace ltpctl {

// "unknown command 'users lst'; did you mean 'users list'?", or without the question when
// nothing is near. Empty when every command word of args (in order, without the program name)
// is known.
std::string UnknownCommandMessage(const CLI::App& app, const std::vector<std::string>& args);

// Edits (insertions, deletions, changes, swaps of neighbours) from a to b.
std::size_t EditDistance(const std::string& a, const std::string& b);

} // namespace ltpctl
