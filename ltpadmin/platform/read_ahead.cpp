#include "ltpadmin/platform/read_ahead.h"

#include "ltpadmin/platform/socket_system.h"

#include <cstring>

namespace ltpadmin_platform {

void ReadAhead::Fill(SOCKET s) {
    if (!buffer_)
        buffer_.reset(new char[kSize]);
    begin_ = end_ = 0;
    int error = 0;
    const long n = ReceiveFromSocket(s, buffer_.get(), kSize, false, error);
    if (n > 0)
        end_ = static_cast<size_t>(n);
    else if (n == 0)
        eof_ = true;
    else if (error != WSAEWOULDBLOCK)
        error_ = error;
}

int ReadAhead::Receive(SOCKET s, void* into, size_t length, bool peek, int& error) {
    if (Buffered() == 0 && !Ended() && length > 0) {
        if (length < kSize) {
            Fill(s);
        } else {
            const long n = ReceiveFromSocket(s, into, length, peek, error);
            if (n > 0)
                return static_cast<int>(n);
            if (n == 0)
                eof_ = true;
            else if (error != WSAEWOULDBLOCK)
                error_ = error;
        }
        if (Buffered() == 0 && !Ended()) {
            error = WSAEWOULDBLOCK;
            return SOCKET_ERROR;
        }
    }
    if (Buffered() > 0) {
        const size_t n = length < Buffered() ? length : Buffered();
        std::memcpy(into, buffer_.get() + begin_, n);
        if (!peek) {
            begin_ += n;
            taken_ += n;
        }
        return static_cast<int>(n);
    }
    if (error_) {
        error = error_;
        return SOCKET_ERROR;
    }
    return 0; // the peer has closed and everything has been handed out (or nothing was asked)
}

} // namespace ltpadmin_platform
