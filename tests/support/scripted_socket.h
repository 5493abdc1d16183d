// ScriptedSocket: a socket double for driving a connection notification by notification. It hands
// out scripted reads and records every piece sent, without a real socket behind it, so that each
// split of the bytes is exact.
#pragma once

#include "ltpadmin/transport/admin_socket.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace ltptest {

class ScriptedSocket : public CAdminSocket {
public:
    explicit ScriptedSocket(CConnection* owner) : CAdminSocket(owner) {}

    // Takes at most acceptAtMost bytes of the piece, or fails.
    int Send(const void* buffer, int length, int) override {
        offered.push_back(length);
        if (failSends)
            return SOCKET_ERROR;
        const int taken = std::min(length, acceptAtMost);
        sent.emplace_back(static_cast<const char*>(buffer), static_cast<std::size_t>(taken));
        return taken;
    }
    // Hands out the next scripted bytes, at most length of them; 0 when none are left.
    int Receive(void* buffer, int length, int) override {
        if (failReceives)
            return SOCKET_ERROR;
        if (incoming.empty())
            return 0;
        std::string& front = incoming.front();
        const std::size_t n = std::min(front.size(), static_cast<std::size_t>(length));
        front.copy(static_cast<char*>(buffer), n);
        handedOut.append(front, 0, n);
        front.erase(0, n);
        if (front.empty())
            incoming.pop_front();
        return static_cast<int>(n);
    }

    // Everything sent, in one piece.
    std::string Sent() const {
        std::string all;
        for (const std::string& piece : sent)
            all += piece;
        return all;
    }

    std::deque<std::string> incoming; // reads still to hand out
    std::vector<int> offered;         // the length of each piece Send was given
    std::vector<std::string> sent;    // each piece taken, as taken
    std::string handedOut;            // every byte Receive gave
    int acceptAtMost = 1 << 30;
    bool failSends = false;
    bool failReceives = false;
};

} // namespace ltptest
