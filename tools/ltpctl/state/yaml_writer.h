// Writes a state as the YAML document that export prints and apply reads: stable and made for
// diff (records sorted by their identity, fields in record order, empty fields left out, texts
// quoted only when needed).
#pragma once

#include <string>

#include "tools/ltpctl/state/model.h"
#include "tools/ltpctl/state/values.h"

namespace ltpstate {

std::string WriteYaml(const State& state, const FieldNaming& naming);

} // namespace ltpstate
