// Where a response ends: its head runs to the first blank line, and the "Content-Length:" header
// in the head says how many body bytes follow. A pure reading of the bytes received so far, doing
// no I/O, so that every reader of responses frames them alike and tests feed it bytes directly.
#pragma once

#include <cstddef>

namespace ltp::detail {

struct Frame {
    bool headComplete = false;  // the blank line that ends the head has arrived
    std::size_t bodyOffset = 0; // where the body starts, once the head is complete
    int contentLength = 0;      // the announced body length; 0 when the header is absent
    bool complete = false;      // the whole body has arrived; never with a negative length
    std::size_t scanned = 0;    // bytes already searched for the blank line
};

// Frames the bytes received so far. Passing the previous result for the same response (the bytes
// only ever grow) spares searching the head again: only the new bytes are looked at.
Frame ReadFrame(const char* data, std::size_t length, const Frame& previous = Frame());

} // namespace ltp::detail
