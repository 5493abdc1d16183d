// Plans the schedules of the file's channels. A schedule has no name: it is known by its
// channel, its start (to the second) and the program it shows.
#pragma once

#include <vector>

#include "tools/ltpctl/state/plan_programs.h"

namespace ltpstate {

// want, have: the file's channels and the server's (nullptr: none). Throws FileError for a
// schedule whose program cannot be found, one given twice, or one the server holds twice.
void PlanSchedules(const std::vector<ChannelEntry>& want, const std::vector<ChannelEntry>* have,
                   bool programsManaged, const ProgramPlanner& programs,
                   const std::vector<ProgramEntry>* wantPrograms, const FieldNaming& naming,
                   PlanSteps& steps);

} // namespace ltpstate
