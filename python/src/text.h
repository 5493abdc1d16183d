// Texts between Python and the wire. The server's texts are bytes in its code page, not always
// UTF-8, so they are decoded with surrogateescape: every byte survives the trip into a str and
// back, and a text that is UTF-8 reads as itself.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace ltpy {

/// A text argument or result of the wire, as bytes.
struct Text {
    std::string bytes;
};

/// The str of wire bytes.
pybind11::object text_to_python(const std::string& bytes);
/// The wire bytes of a str; what names the value in the error when it is no str.
std::string text_from_python(pybind11::handle value, const char* what);

} // namespace ltpy

namespace pybind11::detail {

template <> struct type_caster<ltpy::Text> {
    PYBIND11_TYPE_CASTER(ltpy::Text, const_name("str"));

    bool load(handle src, bool) {
        if (!PyUnicode_Check(src.ptr()))
            return false;
        value.bytes = ltpy::text_from_python(src, "a text");
        return true;
    }
    static handle cast(const ltpy::Text& text, return_value_policy, handle) {
        return ltpy::text_to_python(text.bytes).release();
    }
};

} // namespace pybind11::detail
