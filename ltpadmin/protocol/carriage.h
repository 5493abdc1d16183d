// Which texts an element of a request can carry: no line end or zero byte anywhere, and no "|" or
// "<" where a character starts (the trail byte of a double-byte character may be either). Shared by
// both interfaces, so that they refuse the same texts.
#pragma once

#include <cstddef>

#include "ltpadmin/platform/win32_types.h"

namespace ltp::detail {

// The first byte of the text that cannot travel inside an element, or nullptr when every byte can.
// A lead byte that ends the text is such a byte: it would take the request's next delimiter as its
// trail byte.
const char* FindUncarriable(const char* text, std::size_t length, const BYTE* leadBytes);

} // namespace ltp::detail
