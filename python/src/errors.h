// The library's exceptions as the package's own (ltpadmin.errors), with their fields.
#pragma once

#include <pybind11/pybind11.h>

namespace ltpy {

/// Makes every ltp::Error raised under a binding arrive as its ltpadmin.errors class.
void register_errors(pybind11::module_& module);

} // namespace ltpy
