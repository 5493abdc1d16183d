// ltpctl shell: commands typed one after another over one login, with line editing, a history
// file and tab completion of commands, options and keys read from the server.
#pragma once

#include <string>

#include "tools/ltpctl/command_support.h"

namespace ltpctl {

// Reads commands until "exit", "quit" or end of input; a failing command is reported and the
// shell goes on. name is shown in the prompt (the profile, or user@host:port). Returns 0.
int RunShell(RunContext& ctx, const std::string& name);

// $LTPCTL_HISTORY, else $XDG_STATE_HOME/ltpctl_history, else ~/.ltpctl_history.
std::string HistoryPath();

} // namespace ltpctl
