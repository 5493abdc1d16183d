#include "ltpadmin/protocol/framing.h"

#include <algorithm>
#include <climits>

namespace ltp::detail {
namespace {

const char kHeadEnd[] = "\r\n\r\n";
const std::size_t kHeadEndLength = sizeof kHeadEnd - 1;
const char kContentLength[] = "Content-Length:";
const std::size_t kContentLengthLength = sizeof kContentLength - 1;

// The header's value by atoi's rules (blanks skipped, optional sign, digits up to the first other
// byte, 0 when there are none), read within its own line, so that an empty value never takes
// digits from the body, and held within int's range instead of overflowing.
int ParseLength(const char* p, const char* end) {
    while (p != end && (*p == ' ' || *p == '\t' || *p == '\v' || *p == '\f'))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p)
        value = std::min(value * 10 + (*p - '0'), limit);
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min(value, static_cast<long long>(INT_MAX)));
}

} // namespace

Frame ReadFrame(const char* data, std::size_t length, const Frame& previous) {
    Frame frame = previous;
    if (!frame.headComplete) {
        // Three bytes before the new ones too, in case the blank line straddles two reads.
        const std::size_t from =
            frame.scanned > kHeadEndLength - 1 ? frame.scanned - (kHeadEndLength - 1) : 0;
        frame.scanned = length;
        if (data == nullptr || length < from + kHeadEndLength)
            return frame;
        const char* end = data + length;
        const char* found = std::search(data + from, end, kHeadEnd, kHeadEnd + kHeadEndLength);
        if (found == end)
            return frame;
        frame.headComplete = true;
        frame.bodyOffset = static_cast<std::size_t>(found - data) + kHeadEndLength;
        // The header counts only in the head.
        const char* headEnd = found + 2;
        const char* header =
            std::search(data, headEnd, kContentLength, kContentLength + kContentLengthLength);
        frame.contentLength =
            header != headEnd ? ParseLength(header + kContentLengthLength, headEnd) : 0;
    }
    frame.complete = frame.contentLength >= 0 &&
                     length - frame.bodyOffset >= static_cast<std::size_t>(frame.contentLength);
    return frame;
}

} // namespace ltp::detail
