// ltpadmin.Client: the methods of ltp::Client under the same names.
#pragma once

#include <pybind11/pybind11.h>

namespace ltpy {

void bind_client(pybind11::module_& module);

} // namespace ltpy
