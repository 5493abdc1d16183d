#include "ltpadmin/client/request.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/carriage.h"

namespace ltp::detail {

void Fill(std::string& out, const char* form, const Arg* args, std::size_t count) {
    std::size_t next = 0;
    const char* p = form;
    for (;;) {
        const char* percent = std::strchr(p, '%');
        if (percent == nullptr) {
            out.append(p);
            return;
        }
        out.append(p, static_cast<std::size_t>(percent - p));
        // The conversion runs up to its letter: "%s", "%d", "%f", "%.9f".
        const char* letter = percent + 1;
        while (*letter != 0 && std::strchr("sdf", *letter) == nullptr)
            ++letter;
        if (*letter == 0 || next == count)
            return; // the catalogue's templates never end so; nothing is guessed
        const Arg& arg = args[next++];
        char buffer[400]; // the longest "%f" of a double is 317 bytes
        switch (*letter) {
            case 's':
                out.append(arg.text);
                break;
            case 'd':
                out.append(buffer, static_cast<std::size_t>(std::snprintf(
                                       buffer, sizeof buffer, "%d", static_cast<int>(arg.number))));
                break;
            default: {
                char conversion[16];
                const std::size_t conversionLength = static_cast<std::size_t>(letter - percent) + 1;
                if (conversionLength >= sizeof conversion)
                    return;
                std::memcpy(conversion, percent, conversionLength);
                conversion[conversionLength] = 0;
                const int n = std::snprintf(buffer, sizeof buffer, conversion, arg.real);
                if (n > 0)
                    out.append(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
                break;
            }
        }
        p = letter + 1;
    }
}

const unsigned char* LeadBytesOf(unsigned code_page) {
    const BYTE* table = GetLeadByteTable(code_page);
    if (table == nullptr)
        throw Error("code page " + std::to_string(code_page) + " is not known");
    return table;
}

void CheckHeader(std::string_view text, const char* argument) {
    for (const char c : text)
        if (c == '\r' || c == '\n')
            throw InvalidInput(argument, c);
}

void CheckText(std::string_view text, const char* argument, const unsigned char* lead) {
    if (const char* bad = FindUncarriable(text.data(), text.size(), lead))
        throw InvalidInput(argument, *bad);
}

} // namespace ltp::detail
