#include "errors.h"

#include "text.h"

#include <ltpadmin/client.h>

#include <exception>
#include <string>

namespace py = pybind11;

namespace ltpy {
namespace {

// The classes live in ltpadmin/errors.py; they are held for the life of the process, since a
// translator may run until the interpreter ends.
struct Classes {
    PyObject* error;
    PyObject* refused;
    PyObject* transport;
    PyObject* invalid;
    PyObject* protocol;
};

const Classes& classes() {
    static const Classes value = [] {
        py::module_ errors = py::module_::import("ltpadmin.errors");
        auto get = [&](const char* name) { return py::object(errors.attr(name)).release().ptr(); };
        return Classes{get("Error"), get("Refused"), get("TransportError"), get("InvalidInput"),
                       get("ProtocolError")};
    }();
    return value;
}

void raise(PyObject* type, const py::tuple& args) {
    PyObject* instance = PyObject_Call(type, args.ptr(), nullptr);
    if (!instance)
        return; // the constructor's own error stays set
    PyErr_SetObject(type, instance);
    Py_DECREF(instance);
}

} // namespace

void register_errors(py::module_&) {
    classes();
    py::register_exception_translator([](std::exception_ptr caught) {
        if (!caught)
            return;
        const Classes& c = classes();
        // The message may quote the server's reason, which need not be UTF-8.
        try {
            std::rethrow_exception(caught);
        } catch (const ltp::Refused& e) {
            raise(c.refused,
                  py::make_tuple(text_to_python(e.what()), e.status(), text_to_python(e.reason())));
        } catch (const ltp::TransportError& e) {
            raise(c.transport, py::make_tuple(text_to_python(e.what()), ltp::to_string(e.kind()),
                                              text_to_python(e.system_message())));
        } catch (const ltp::InvalidInput& e) {
            const char character = e.character();
            raise(c.invalid, py::make_tuple(text_to_python(e.what()), text_to_python(e.argument()),
                                            py::reinterpret_steal<py::object>(
                                                PyUnicode_DecodeLatin1(&character, 1, nullptr))));
        } catch (const ltp::ProtocolError& e) {
            raise(c.protocol, py::make_tuple(text_to_python(e.what())));
        } catch (const ltp::Error& e) {
            raise(c.error, py::make_tuple(text_to_python(e.what())));
        }
    });
}

} // namespace ltpy
