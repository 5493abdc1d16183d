// Reads the configuration file. Everything is checked before anything is used: a file that
// cannot be carried to a server (a mistyped key, a value of the wrong kind, a text the protocol
// cannot carry, a name given twice, a program whose parent is missing) is refused with its line.
#pragma once

#include <string>

#include "tools/ltpctl/state/model.h"
#include "tools/ltpctl/state/values.h"

namespace ltpstate {

// Throws FileError.
State ReadYaml(const std::string& text, const FieldNaming& naming);

} // namespace ltpstate
