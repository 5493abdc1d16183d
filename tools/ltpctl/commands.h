// The command families of ltpctl. Each adds its subcommands to the application; the one that is
// parsed leaves its action in the slot.
#pragma once

#include "tools/ltpctl/command_support.h"

namespace ltpctl {

void AddCatalogueCommands(CLI::App& app, ActionSlot& slot); // users ... mtp-servers
void AddRelationCommands(CLI::App& app, ActionSlot& slot);  // members, channel <-> schedules
void AddRightsCommands(CLI::App& app, ActionSlot& slot);    // rights, permission, program tree
void AddStatsCommands(CLI::App& app, ActionSlot& slot);     // stats
void AddPathCommands(CLI::App& app, ActionSlot& slot);      // paths
void AddServerCommands(CLI::App& app, ActionSlot& slot);    // info, sysinfo, log
void AddViewCommands(CLI::App& app, ActionSlot& slot);      // programs tree, schedules show
void AddConfigCommands(CLI::App& app, ActionSlot& slot);    // export, diff, apply

// The program root and everything below it, drawn as a tree with names: what a move or an
// apply-permission will touch. Refuses a root the server lacks.
int ProgramSubtree(RunContext& ctx, std::int32_t root, ResultTable& table);

// Reports on stderr what looks wrong about a schedule just added: an overlap with another of its
// channel, a stop before its start, a program the server lacks.
void WarnAboutSchedule(RunContext& ctx, const ltp::Schedule& added);

// Every family, in the order the help lists them. A new family is one function above and one
// row of the table in app.cpp.
void AddAllCommands(CLI::App& app, ActionSlot& slot);

} // namespace ltpctl
