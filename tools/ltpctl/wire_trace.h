// What -v shows: each request and response as it went over the wire, curl style ("> " for what
// was sent, "< " for what came back), with the password of the Authorization line masked.
#pragma once

#include <iosfwd>
#include <string>

namespace ltpctl {

// The request with the value of its "Authorization: basic" line replaced by "****".
std::string MaskPassword(const std::string& request);

// Writes text line by line, each line prefixed (CR LF, a lone LF and a lone CR end a line).
void PrintPrefixed(const std::string& text, const char* prefix, std::ostream& out);

} // namespace ltpctl
