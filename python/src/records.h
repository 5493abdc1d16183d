// The value types of ltp:: as Python classes, built from their field reflection: keyword
// construction, one attribute per field (dates as datetime), equality, repr, to_dict/from_dict.
#pragma once

#include <pybind11/pybind11.h>

namespace ltpy {

void bind_records(pybind11::module_& module);

} // namespace ltpy
