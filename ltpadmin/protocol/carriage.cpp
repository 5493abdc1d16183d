#include "ltpadmin/protocol/carriage.h"

namespace ltp::detail {

const char* FindUncarriable(const char* text, std::size_t length, const BYTE* leadBytes) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<BYTE>(text[i]);
        if (c == '|' || c == '<' || c == '\r' || c == '\n' || c == '\0')
            return text + i;
        if (leadBytes[c] != 0) {
            if (i + 1 == length)
                return text + i;
            // A line end ends the line, and a zero byte a C string, whatever byte came before.
            const char trail = text[++i];
            if (trail == '\r' || trail == '\n' || trail == '\0')
                return text + i;
        }
    }
    return nullptr;
}

} // namespace ltp::detail
