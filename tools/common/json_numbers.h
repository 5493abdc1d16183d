// JSON numbers judged by the wire's rules (<ltpadmin/ltp/wire.h>), so that a body or a record read
// from JSON accepts exactly what ltpctl and the wire accept.
#pragma once

#include <cstdint>
#include <cstdio>

#include <ltpadmin/ltp/wire.h>

namespace ltptools {

// A whole number within 32 bits (ltp::parse_integer); false for any other value.
template <class Json> bool WireInteger(const Json& value, std::int32_t& out) {
    return value.is_number_integer() && ltp::parse_integer(value.dump(), out);
}

// A decimal the wire can carry (ltp::parse_decimal): finite, not negative (-0 is 0); false for
// any other value. The value is kept to its last bit; only the judgement goes through the text.
template <class Json> bool WireDecimal(const Json& value, double& out) {
    if (!value.is_number())
        return false;
    const double d = value.template get<double>();
    char text[512];
    if (value.is_number_integer())
        std::snprintf(text, sizeof text, "%s", value.dump().c_str());
    else if (std::snprintf(text, sizeof text, "%.9f", d) >= static_cast<int>(sizeof text))
        return false; // beyond any date or duration the wire is used for
    double checked = 0;
    if (!ltp::parse_decimal(text, checked))
        return false;
    out = d == 0 ? 0.0 : d;
    return true;
}

} // namespace ltptools
