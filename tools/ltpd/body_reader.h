// Reads the body of a request against the form the catalogue gives for it: the same elements in
// the same order, each with as many "|"-separated fields as the form has conversions, and every
// field convertible to its kind. Pure functions of their input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/ltpd/library.h"
#include "tools/ltpd/code_page.h"

namespace ltpd {

// One element as it stands in a body: its name and its content split at "|".
struct RawElement {
    std::string_view name;
    std::vector<std::string_view> fields;
};

// Splits "<A>x|y</A><B>z<B>" with an optional final line end into elements. The closing tag may
// lack its slash, as the schedule key is sent. False, with a reason, for anything else.
bool SplitElements(std::string_view body, const CodePage& codePage,
                   std::vector<RawElement>& elements, std::string& error);

using ltp::detail::FieldKind; // Text, Whole or Decimal; a body carries no dates as such

struct FieldValue {
    FieldKind kind = FieldKind::Text;
    std::string text;   // Text
    int32_t number = 0; // Whole: the 32-bit pattern the client sent
    double decimal = 0; // Decimal
};

// The body's values, element by element, field by field.
using BodyValues = std::vector<std::vector<FieldValue>>;

// Reads body against bodyTemplate (a record, query or key form of the catalogue, "%s", "%d", "%f"
// and "%.9f" giving the field kinds). False, with a reason for a 400 answer, when it does not fit.
bool ReadBody(std::string_view body, std::string_view bodyTemplate, const CodePage& codePage,
              BodyValues& values, std::string& error);

// Whole numbers and decimals by the wire's rules (ltp::parse_integer, ltp::parse_decimal): 32 bits
// signed; decimals without a sign, so that clients read them back as sent.
bool ParseNumber(std::string_view text, int32_t& value);
bool ParseDecimal(std::string_view text, double& value, std::string& error);

} // namespace ltpd
