// Programs by name rather than number, for the views: the name is the field labelled "name"
// (Text2 when no labels say otherwise).
#pragma once

#include <map>
#include <string>

#include "tools/ltpctl/command_support.h"

namespace ltpctl {

std::string ProgramName(const tagProgram& program);

// Every program's name by its number; rc of the request.
int ReadProgramNames(RunContext& ctx, std::map<LONG, std::string>& names);

// "12 News at six", or "12" when the number names no program.
std::string NumberAndName(LONG program, const std::map<LONG, std::string>& names);

} // namespace ltpctl
