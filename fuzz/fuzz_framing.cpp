// Framing under arbitrary bytes in arbitrary pieces. The framing of the bytes read so far, carried
// from piece to piece, must agree after every piece with framing them all at once and with a plain
// reading of the head and its "Content-Length:".
//
// Input: a series of pieces, each a size byte and then that many bytes of the input.
#include "ltpadmin/protocol/framing.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using ltp::detail::Frame;
using ltp::detail::ReadFrame;

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The plain reading: the head ends at the first blank line; the "Content-Length:" in the head
// gives the body's length by atoi's rules within its own line; a response is whole once that many
// body bytes have arrived, at once when the length is 0, never when it is negative.
struct Plain {
    explicit Plain(const std::string& bytes) {
        const size_t blank = bytes.find("\r\n\r\n");
        if (blank == std::string::npos)
            return;
        headSeen = true;
        bodyOffset = blank + 4;
        const std::string head = bytes.substr(0, blank + 2);
        const size_t header = head.find("Content-Length:");
        if (header != std::string::npos) {
            const size_t from = header + 15;
            const size_t lineEnd = head.find_first_of("\r\n", from);
            const std::string value = head.substr(from, lineEnd - from);
            const long long n = std::strtoll(value.c_str(), nullptr, 10);
            contentLength = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
        }
        const size_t body = bytes.size() - bodyOffset;
        whole =
            contentLength == 0 || (contentLength > 0 && body >= static_cast<size_t>(contentLength));
    }

    bool headSeen = false;
    size_t bodyOffset = 0;
    int contentLength = 0;
    bool whole = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes;
    Frame carried;
    size_t pos = 0;
    while (pos < size) {
        const size_t wanted = data[pos++];
        const size_t length = std::min(wanted, size - pos);
        bytes.append(reinterpret_cast<const char*>(data + pos), length);
        pos += length;
        carried = ReadFrame(bytes.data(), bytes.size(), carried);
        const Frame once = ReadFrame(bytes.data(), bytes.size());
        const Plain plain(bytes);
        Require(carried.headComplete == plain.headSeen && once.headComplete == plain.headSeen);
        Require(carried.complete == plain.whole && once.complete == plain.whole);
        if (plain.headSeen) {
            Require(carried.bodyOffset == plain.bodyOffset && once.bodyOffset == plain.bodyOffset);
            Require(carried.contentLength == plain.contentLength &&
                    once.contentLength == plain.contentLength);
        }
    }
    return 0;
}
