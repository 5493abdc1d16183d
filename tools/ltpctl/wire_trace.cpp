#include "tools/ltpctl/wire_trace.h"

#include <ostream>

#include "tools/common/display.h"

namespace ltpctl {

std::string MaskPassword(const std::string& request) {
    static const std::string kHeader = "Authorization: basic ";
    std::string masked = request;
    const size_t at = masked.find(kHeader);
    if (at == std::string::npos)
        return masked;
    const size_t start = at + kHeader.size();
    size_t end = masked.find_first_of("\r\n", start);
    if (end == std::string::npos)
        end = masked.size();
    masked.replace(start, end - start, "****");
    return masked;
}

void PrintPrefixed(const std::string& text, const char* prefix, std::ostream& out) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            out << prefix << ltptools::EscapeControls(text.substr(pos)) << '\n';
            break;
        }
        out << prefix << ltptools::EscapeControls(text.substr(pos, end - pos)) << '\n';
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
}

} // namespace ltpctl
