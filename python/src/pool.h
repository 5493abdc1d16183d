// ltpadmin.Pool and its Lease: clients for many threads.
#pragma once

#include <pybind11/pybind11.h>

namespace ltpy {

void bind_pool(pybind11::module_& module);

} // namespace ltpy
