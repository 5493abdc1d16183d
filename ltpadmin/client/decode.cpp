#include "ltpadmin/client/decode.h"

#include <charconv>
#include <cstdint>
#include <string_view>

namespace ltp::detail {

namespace {

// Reads the status line up to the end of the code: it follows the first blank. The version
// before it must be ours, so that another protocol's "200" (a web server's) is not success.
int ReadCode(CTextScanner& scanner) {
    static constexpr char kVersion[] = "LTP/1.0";
    const CTextSpan version = scanner.SkipTo(' ');
    if (std::string_view(version.start, version.length) != kVersion)
        throw ProtocolError("the response's status line is not LTP/1.0");
    scanner.SkipUntil(kNonBlankSet);
    const char* digits = scanner.Cursor();
    const UINT code = scanner.ReadUnsigned();
    if (scanner.Cursor() == digits || scanner.Cursor() - digits > 3)
        throw ProtocolError("the response has no status code");
    return static_cast<int>(code);
}

} // namespace

int StatusCode(const Response& response) {
    if (response.dry)
        return 200;
    CTextScanner scanner(response.data, static_cast<UINT>(response.body_offset));
    return ReadCode(scanner);
}

void CheckStatus(const Response& response) {
    if (response.dry)
        return;
    CTextScanner scanner(response.data, static_cast<UINT>(response.body_offset));
    const int code = ReadCode(scanner);
    if (code == 200)
        return;
    scanner.SkipUntil(kNonBlankSet);
    const CTextSpan reason = scanner.SkipUntil(kLineEndSet);
    throw Refused(code, std::string(reason.start, reason.length));
}

std::int32_t DecodeValue(const Response& response, const char* tag, const unsigned char* lead) {
    if (response.dry)
        return 0;
    CTextScanner scanner(response.data + response.body_offset,
                         static_cast<UINT>(response.length - response.body_offset), lead);
    if (!OpenElement(scanner, tag, static_cast<UINT>(std::char_traits<char>::length(tag))))
        throw ProtocolError(std::string("the response holds no ") + tag + " element");
    const CTextSpan text = scanner.SkipTo('<');
    std::int64_t value = 0;
    const char* end = text.start + text.length;
    const auto parsed = std::from_chars(text.start, end, value);
    if (text.length == 0 || parsed.ec != std::errc() || parsed.ptr != end || value < INT32_MIN ||
        value > UINT32_MAX)
        throw ProtocolError(std::string("the ") + tag + " element holds no 32-bit number");
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

} // namespace ltp::detail
