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

// The words for a refused command line, without the "ltpctl: " prefix: an unknown command or
// option with the nearest known one, extra arguments in the order given, or CLI11's own words.
std::string ParseFailureMessage(const CLI::App& app, const std::vector<std::string>& args,
                                const CLI::ParseError& error);

// Edits (insertions, deletions, changes, swaps of neighbours) from a to b.
std::size_t EditDistance(const std::string& a, const std::string& b);

} // namespace ltpctl
