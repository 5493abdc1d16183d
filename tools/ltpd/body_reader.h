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

// Whole numbers as "%d" writes them: an optional "-" and digits, from -2147483648 up to
// 4294967295 (read back as the same 32-bit pattern).
bool ParseNumber(std::string_view text, int32_t& value);
// Decimals as "%f" writes them: digits, an optional point and digits. A negative value is refused,
// since clients read decimals without a sign; "-0.000000" is 0.
bool ParseDecimal(std::string_view text, double& value, std::string& error);

} // namespace ltpd
