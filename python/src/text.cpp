#include "text.h"

namespace py = pybind11;

namespace ltpy {

py::object text_to_python(const std::string& bytes) {
    PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                          "surrogateescape");
    if (!text)
        throw py::error_already_set();
    return py::reinterpret_steal<py::object>(text);
}

std::string text_from_python(py::handle value, const char* what) {
    if (!PyUnicode_Check(value.ptr()))
        throw py::type_error(std::string(what) + " must be a str, not " +
                             Py_TYPE(value.ptr())->tp_name);
    Py_ssize_t size = 0;
    // The common case: no escaped bytes, and the UTF-8 form is cached by the str itself.
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(value.ptr(), &size))
        return std::string(utf8, static_cast<std::size_t>(size));
    PyErr_Clear();
    PyObject* bytes = PyUnicode_AsEncodedString(value.ptr(), "utf-8", "surrogateescape");
    if (!bytes)
        throw py::error_already_set();
    std::string out(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
    Py_DECREF(bytes);
    return out;
}

} // namespace ltpy
