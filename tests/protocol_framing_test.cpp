// Framing of responses, fed the bytes as successive reads would bring them.
#include "ltpadmin/protocol/framing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using ltp::detail::Frame;
using ltp::detail::ReadFrame;

// Each case feeds reads one after another; complete names the read (1-based) after which the
// response is whole, 0 for never.
TEST(Framing, FramesTheResponseByItsHeadAndContentLength) {
    const std::string ok = "LTP/1.0 200 OK\r\n";
    struct Case {
        const char* what;
        std::vector<std::string> reads;
        size_t complete;
        int contentLength;
    };
    const Case cases[] = {
        {"length 10 arriving 6 + 4", {ok + "Content-Length: 10\r\n\r\n012345", "6789"}, 2, 10},
        {"head split inside the header name",
         {ok + "Content-", "Length: 5\r\n\r\nab", "cde"},
         3,
         5},
        {"header without the blank line yet", {ok + "Content-Length: 1\r\n", "\r\n", "x"}, 3, 1},
        {"blank line split across reads", {ok + "Content-Length: 3\r\n\r", "\nabc"}, 2, 3},
        {"blank line split byte by byte",
         {ok + "Content-Length: 1\r", "\n", "\r", "\n", "x"},
         5,
         1},
        {"zero length", {ok + "Content-Length: 0\r\n", "\r\n"}, 2, 0},
        {"absent header", {ok, "Server: x\r\n\r\n"}, 2, 0},
        {"negative length never completes",
         {ok + "Content-Length: -5\r\n\r\n", "abcdefgh", "more"},
         0,
         -5},
        {"other letter case is not the header", {ok + "content-length: 50\r\n\r\n"}, 1, 0},
        {"blanks before the digits", {ok + "Content-Length:    3\r\n\r\nab", "c"}, 2, 3},
        {"digits followed by letters", {ok + "Content-Length: 3xyz\r\n\r\nab", "c"}, 2, 3},
        {"header text inside the body does not count",
         {ok + "\r\nContent-Length: 99\r\n\r\n"},
         1,
         0},
        {"body byte by byte", {ok + "Content-Length: 3\r\n\r\n", "a", "b", "c"}, 4, 3},
        {"an empty value takes no digits from the body",
         {ok + "Content-Length:\r\n\r\n12345"},
         1,
         0},
        {"huge value stays within int",
         {ok + "Content-Length: 99999999999\r\n\r\n", "abc"},
         0,
         2147483647},
        {"huge negative value stays within int",
         {ok + "Content-Length: -99999999999\r\n\r\n"},
         0,
         -2147483647 - 1},
        {"nothing yet", {""}, 0, 0},
    };
    for (const Case& k : cases) {
        std::string bytes;
        Frame frame;
        size_t completedAt = 0;
        for (size_t i = 0; i < k.reads.size(); ++i) {
            bytes += k.reads[i];
            frame = ReadFrame(bytes.data(), bytes.size(), frame);
            if (completedAt == 0 && frame.complete)
                completedAt = i + 1;
        }
        EXPECT_EQ(completedAt, k.complete) << k.what;
        EXPECT_EQ(frame.contentLength, k.contentLength) << k.what;
        // Read by read or all at once, the bytes frame alike.
        const Frame whole = ReadFrame(bytes.data(), bytes.size());
        EXPECT_EQ(whole.headComplete, frame.headComplete) << k.what;
        EXPECT_EQ(whole.complete, frame.complete) << k.what;
        EXPECT_EQ(whole.contentLength, frame.contentLength) << k.what;
        if (frame.headComplete) {
            EXPECT_EQ(frame.bodyOffset, bytes.find("\r\n\r\n") + 4) << k.what;
            EXPECT_EQ(whole.bodyOffset, frame.bodyOffset) << k.what;
        }
    }
}
