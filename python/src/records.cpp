#include "records.h"

#include "dates.h"
#include "text.h"

#include <ltpadmin/client.h>

#include <climits>
#include <string>

namespace py = pybind11;

namespace ltpy {
namespace {

template <class T> std::string label(const char* type, const ltp::Field<T>& f) {
    return std::string(type) + "." + f.name;
}

template <class T> py::object get(const char* type, const T& record, const ltp::Field<T>& f) {
    switch (f.kind) {
        case ltp::FieldKind::text:
            return text_to_python(record.*f.text);
        case ltp::FieldKind::integer:
            return py::int_(record.*f.integer);
        case ltp::FieldKind::decimal:
            return py::float_(record.*f.decimal);
        case ltp::FieldKind::date:
            return date_to_python(record.*f.decimal, label(type, f).c_str());
    }
    return py::none();
}

template <class T> void set(const char* type, T& record, const ltp::Field<T>& f, py::handle value) {
    const std::string what = label(type, f);
    switch (f.kind) {
        case ltp::FieldKind::text:
            record.*f.text = text_from_python(value, what.c_str());
            return;
        case ltp::FieldKind::integer: {
            // bool is an int to Python, but never a meaningful number here.
            if (!PyLong_Check(value.ptr()) || PyBool_Check(value.ptr()))
                throw py::type_error(what + " must be an int, not " +
                                     Py_TYPE(value.ptr())->tp_name);
            int overflow = 0;
            const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
            if (overflow || n < INT32_MIN || n > INT32_MAX)
                throw py::value_error(what + " must fit 32 bits (-2147483648 to 2147483647)");
            record.*f.integer = static_cast<std::int32_t>(n);
            return;
        }
        case ltp::FieldKind::decimal:
            if (!PyFloat_Check(value.ptr()) &&
                !(PyLong_Check(value.ptr()) && !PyBool_Check(value.ptr())))
                throw py::type_error(what + " must be a float, not " +
                                     Py_TYPE(value.ptr())->tp_name);
            record.*f.decimal = value.cast<double>();
            return;
        case ltp::FieldKind::date:
            record.*f.decimal = date_from_python(value, what.c_str());
            return;
    }
}

template <class T> void assign(const char* type, T& record, const py::dict& values) {
    for (auto item : values) {
        const std::string key = py::str(item.first);
        const ltp::Field<T>* field = nullptr;
        for (const ltp::Field<T>& f : ltp::fields<T>())
            if (key == f.name)
                field = &f;
        if (!field)
            throw py::type_error(std::string(type) + " has no field '" + key + "'");
        set(type, record, *field, item.second);
    }
}

template <class T> bool equal(const T& a, const T& b) {
    for (const ltp::Field<T>& f : ltp::fields<T>()) {
        const bool same = f.kind == ltp::FieldKind::text      ? a.*f.text == b.*f.text
                          : f.kind == ltp::FieldKind::integer ? a.*f.integer == b.*f.integer
                                                              : a.*f.decimal == b.*f.decimal;
        if (!same)
            return false;
    }
    return true;
}

template <class T> void bind(py::module_& m, const char* type, const char* doc) {
    py::class_<T> cls(m, type, doc);
    cls.def(py::init([type](const py::kwargs& values) {
        T record;
        assign(type, record, values);
        return record;
    }));
    for (const ltp::Field<T>& f : ltp::fields<T>())
        cls.def_property(
            f.name, [type, f](const T& r) { return get(type, r, f); },
            [type, f](T& r, py::handle v) { set(type, r, f, v); });
    cls.def("to_dict", [type](const T& r) {
        py::dict out;
        for (const ltp::Field<T>& f : ltp::fields<T>())
            out[f.name] = get(type, r, f);
        return out;
    });
    cls.def_static("from_dict", [type](const py::object& values) {
        T record;
        assign(type, record, py::dict(values)); // any mapping
        return record;
    });
    cls.def("__eq__", [](const T& a, py::handle b) -> py::object {
        if (!py::isinstance<T>(b))
            return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        return py::bool_(equal(a, b.cast<const T&>()));
    });
    cls.def("__repr__", [type](const T& r) {
        std::string out = std::string(type) + "(";
        const char* separator = "";
        for (const ltp::Field<T>& f : ltp::fields<T>()) {
            py::object value;
            try {
                value = get(type, r, f);
            } catch (const py::value_error&) {
                // A wire date no datetime holds: shown as the number it is.
                value = py::float_(r.*f.decimal);
            }
            out += separator;
            out += f.name;
            out += "=";
            out += py::repr(value).cast<std::string>();
            separator = ", ";
        }
        return out + ")";
    });
    cls.def("__copy__", [](const T& r) { return r; });
    cls.def("__deepcopy__", [](const T& r, py::handle) { return r; });
    // Records change, so they are not hashable.
    cls.attr("__hash__") = py::none();
}

} // namespace

void bind_records(py::module_& m) {
    bind<ltp::User>(m, "User", "A user.");
    bind<ltp::Group>(m, "Group", "A group of users.");
    bind<ltp::Program>(m, "Program", "A node of the server's program tree.");
    bind<ltp::Channel>(m, "Channel", "A channel.");
    bind<ltp::Schedule>(m, "Schedule", "A schedule of a channel.");
    bind<ltp::Global>(m, "Global", "A global setting.");
    bind<ltp::LogEvent>(m, "LogEvent", "An entry of the server's log.");
    bind<ltp::SysInfo>(m, "SysInfo", "The server's system information.");
    bind<ltp::TopProgram>(m, "TopProgram", "One row of the most used programs.");
    bind<ltp::ProgramStatistic>(m, "ProgramStatistic", "One row of the usage statistics.");
    bind<ltp::MtpServer>(m, "MtpServer", "An MTP server of the server's register.");
    bind<ltp::ProgramPath>(m, "ProgramPath", "A path attached to a program.");
}

} // namespace ltpy
