// Finding a tagged element in response text: shared by the record decoders and the value reads.
#pragma once

#include "ltpadmin/platform/win32_types.h"
#include "ltpadmin/protocol/text_scanner.h"

namespace ltp::detail {

// Moves the scanner past the ">" of the first element whose name equals tag (letters compared
// without case; the name ends at the first byte that cannot be part of one). Returns false, with
// the scanner at end, when there is none. Closing tags never match: their "/" ends the name.
bool OpenElement(CTextScanner& scanner, const char* tag, UINT tagLength);

} // namespace ltp::detail
