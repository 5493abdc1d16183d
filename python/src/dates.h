// Wire dates as timezone-aware datetimes in UTC. A naive datetime is refused: its zone is a guess.
// Only the dates the library's time points hold convert (about 1678 to 2262); others are a
// ValueError rather than a date moved to the end of that range.
#pragma once

#include <pybind11/pybind11.h>

namespace ltpy {

/// A date argument of the wire (days since 1899-12-30), given as a datetime.
struct WireDate {
    double value = 0;
};

/// Prepares the datetime C interface; called once when the module loads.
void init_dates();
/// The datetime (UTC) of a wire date; what names the value in the error.
pybind11::object date_to_python(double date, const char* what);
/// The wire date of an aware datetime; what names the value in the error.
double date_from_python(pybind11::handle value, const char* what);

} // namespace ltpy

namespace pybind11::detail {

template <> struct type_caster<ltpy::WireDate> {
    PYBIND11_TYPE_CASTER(ltpy::WireDate, const_name("datetime.datetime"));

    bool load(handle src, bool);
    static handle cast(const ltpy::WireDate& date, return_value_policy, handle) {
        return ltpy::date_to_python(date.value, "a date").release();
    }
};

} // namespace pybind11::detail
