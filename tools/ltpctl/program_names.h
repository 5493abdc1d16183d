// Programs by name rather than number, for the views: the name is the field labelled "name"
// (Text2 when no labels say otherwise).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/ltpctl/command_support.h"

namespace ltpctl {

std::string ProgramName(const ltp::Program& program);

// Every program's name by its number; rc of the request.
int ReadProgramNames(RunContext& ctx, std::map<std::int32_t, std::string>& names);

// "12 News at six", or "12" when the number names no program.
std::string NumberAndName(std::int32_t program, const std::map<std::int32_t, std::string>& names);

} // namespace ltpctl
