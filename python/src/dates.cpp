#include "dates.h"

#include <ltpadmin/client.h>

#include <datetime.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

namespace py = pybind11;

namespace ltpy {
namespace {

constexpr std::int64_t kMicrosPerDay = 86400LL * 1000000LL;

// 1970-01-01 00:00 UTC, created once and kept for the life of the process.
PyObject* epoch() {
    static PyObject* value = [] {
        PyObject* utc = PyDateTime_TimeZone_UTC;
        PyObject* e = PyDateTimeAPI->DateTime_FromDateAndTime(1970, 1, 1, 0, 0, 0, 0, utc,
                                                              PyDateTimeAPI->DateTimeType);
        if (!e)
            throw py::error_already_set();
        return e;
    }();
    return value;
}

std::string number(double date) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", date);
    return text;
}

} // namespace

void init_dates() {
    PyDateTime_IMPORT;
    if (!PyDateTimeAPI)
        throw py::error_already_set();
}

py::object date_to_python(double date, const char* what) {
    const ltp::TimePoint time = ltp::from_wire_date(date);
    if (std::isnan(date) || time == ltp::TimePoint::max() || time == ltp::TimePoint::min())
        throw py::value_error(std::string(what) + ": the wire date " + number(date) +
                              " is no date a datetime can hold here");
    const std::int64_t micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    std::int64_t days = micros / kMicrosPerDay;
    std::int64_t rest = micros % kMicrosPerDay;
    if (rest < 0) {
        rest += kMicrosPerDay;
        --days;
    }
    py::object delta = py::reinterpret_steal<py::object>(
        PyDelta_FromDSU(static_cast<int>(days), static_cast<int>(rest / 1000000),
                        static_cast<int>(rest % 1000000)));
    if (!delta)
        throw py::error_already_set();
    PyObject* sum = PyNumber_Add(epoch(), delta.ptr());
    if (!sum) {
        // Past year 9999 or before year 1.
        PyErr_Clear();
        throw py::value_error(std::string(what) + ": the wire date " + number(date) +
                              " is no date a datetime can hold");
    }
    return py::reinterpret_steal<py::object>(sum);
}

double date_from_python(py::handle value, const char* what) {
    if (!PyDateTime_Check(value.ptr()))
        throw py::type_error(std::string(what) + " must be a datetime, not " +
                             Py_TYPE(value.ptr())->tp_name);
    if (value.attr("utcoffset")().is_none())
        throw py::value_error(
            std::string(what) +
            " is a naive datetime: give it a zone, such as datetime.timezone.utc");
    PyObject* delta = PyNumber_Subtract(value.ptr(), epoch());
    if (!delta)
        throw py::error_already_set();
    const std::int64_t days = PyDateTime_DELTA_GET_DAYS(delta);
    const std::int64_t seconds = PyDateTime_DELTA_GET_SECONDS(delta);
    const std::int64_t micros = PyDateTime_DELTA_GET_MICROSECONDS(delta);
    Py_DECREF(delta);
    // The nanosecond time points of the library hold about 292 years either side of 1970.
    constexpr std::int64_t kMostDays = 106000;
    if (days > kMostDays || days < -kMostDays)
        throw py::value_error(std::string(what) + " is outside the dates the library converts " +
                              "(1678 to 2262)");
    const std::chrono::microseconds since(days * kMicrosPerDay + seconds * 1000000 + micros);
    return ltp::to_wire_date(
        ltp::TimePoint(std::chrono::duration_cast<ltp::TimePoint::duration>(since)));
}

} // namespace ltpy

namespace pybind11::detail {

bool type_caster<ltpy::WireDate>::load(handle src, bool) {
    if (!PyDateTime_Check(src.ptr()))
        return false;
    value.value = ltpy::date_from_python(src, "a date");
    return true;
}

} // namespace pybind11::detail
