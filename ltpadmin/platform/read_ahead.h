// A socket's read-ahead: one large read from the system serves many small receives, and the end
// or failure the system reports is handed out only after every byte that came before it.
#pragma once

#include "ltpadmin/platform/win32_types.h"

#include <cstddef>
#include <memory>

namespace ltpadmin_platform {

class ReadAhead {
public:
    static constexpr size_t kSize = 256 * 1024;

    size_t Buffered() const { return end_ - begin_; }
    // Nothing more comes from the system: the peer has closed its side, or a read failed.
    bool Ended() const { return eof_ || error_ != 0; }
    int Error() const { return error_; }
    // The bytes handed out so far (peeks left aside).
    size_t Taken() const { return taken_; }

    // Reads what has arrived into the empty buffer; notes the end or a failure.
    void Fill(SOCKET s);
    // At most length (up to INT_MAX) bytes of what has arrived: their number; 0 once the peer has
    // closed and everything has been handed out (or nothing was asked); -1 with the error in error
    // (WSAEWOULDBLOCK while nothing waits). A read of kSize or more goes past the empty buffer.
    int Receive(SOCKET s, void* into, size_t length, bool peek, int& error);

private:
    std::unique_ptr<char[]> buffer_; // kSize bytes once needed
    size_t begin_ = 0;
    size_t end_ = 0;
    size_t taken_ = 0;
    bool eof_ = false;
    int error_ = 0; // a read failed (socket-layer code)
};

} // namespace ltpadmin_platform
