// What -v shows: each request and response as it went over the wire, curl style ("> " for what
// was sent, "< " for what came back), with the password of the Authorization line masked.
#pragma once

#include <iosfwd>
#include <string>

#include <ltpadmin/ltpadmin.h>

namespace ltpctl {

// The administrator object with its last request text readable, for tracing.
class CTracedCreater : public CLTPCreater {
public:
    const CString& RequestText() const;
};

// The request with the value of its "Authorization: basic" line replaced by "****".
std::string MaskPassword(const std::string& request);

// Writes text line by line, each line prefixed (CR LF, a lone LF and a lone CR end a line).
void PrintPrefixed(const std::string& text, const char* prefix, std::ostream& out);

// The last exchange of the object: its request (masked) and the response received so far.
void PrintExchange(const CTracedCreater& creater, std::ostream& out);

} // namespace ltpctl
