// Writing a request: the catalogue's printf templates filled with whole texts, after the check
// that every text can travel. Nothing here knows about sockets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ltpadmin/ltp/errors.h"
#include "ltpadmin/ltp/fields.h"

namespace ltp::detail {

// One value for a conversion of a template: "%s" takes text, "%d" number, "%f" and "%.9f" real.
struct Arg {
    Arg() = default;
    Arg(std::string_view t) : text(t) {}
    Arg(const std::string& t) : text(t) {}
    Arg(const char* t) : text(t) {}
    Arg(std::int32_t n) : number(n) {}
    Arg(double r) : real(r) {}
    std::string_view text;
    std::int32_t number = 0;
    double real = 0;
};

// Appends the template to out with its conversions replaced by args in order.
void Fill(std::string& out, const char* form, const Arg* args, std::size_t count);

// The lead-byte table of the code page of options (0: the process's); throws Error for a code
// page that is not known.
const unsigned char* LeadBytesOf(unsigned code_page);

// Throws InvalidInput naming argument when text holds a line end, or "|" or "<" where a character
// starts (a trail byte may be either), or ends in a lead byte that would take the next delimiter
// of the request as its trail byte.
void CheckText(std::string_view text, const char* argument, const unsigned char* lead);
// Header values (user name, password) only have to keep to their line.
void CheckHeader(std::string_view text, const char* argument);

// The sent fields of a record, in the order of its request form, after checking its texts.
template <class T> std::size_t RecordArgs(const T& record, Arg* out, const unsigned char* lead) {
    std::size_t n = 0;
    for (const Field<T>& f : fields<T>()) {
        if (!f.sent)
            continue;
        switch (f.kind) {
            case ltp::FieldKind::text:
                CheckText(record.*f.text, f.name, lead);
                out[n++] = Arg(record.*f.text);
                break;
            case ltp::FieldKind::integer:
                out[n++] = Arg(record.*f.integer);
                break;
            case ltp::FieldKind::decimal:
            case ltp::FieldKind::date:
                out[n++] = Arg(record.*f.decimal);
                break;
        }
    }
    return n;
}

// Most fields a record sends (Program: 13).
constexpr std::size_t kMostFields = 13;

} // namespace ltp::detail
