// One client connection of the server loop: its buffers, where it stands in the request it is
// receiving, and the times that decide when it is answered or closed.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace ltpd {

struct Connection {
    using Clock = std::chrono::steady_clock;

    int fd = -1;
    std::string address; // without the port: what the per-address limits count
    std::string peer;
    bool trusted = false; // from a trusted gateway: not capped or slowed per address
    std::string in;
    std::string out;
    size_t outOffset = 0;
    bool closeAfterWrite = false; // a framing error or the peer's end of sending
    bool broken = false;          // a framing error: further input cannot be followed
    bool peerDone = false;        // the client sends no more
    bool closed = false;
    bool lingering = false;         // answered and shut for writing; input is read and dropped
    Clock::time_point lastActivity; // a byte in or out, or the accept
    Clock::time_point headStarted;  // first byte of the request being received
    bool headComplete = false;      // of the request being received
    bool headScreened = false;      // its credentials were checked before its body came
    size_t bodyNeeded = 0;          // bytes the request being received takes in all
    size_t bodyReserved = 0;        // of the server's body memory
    Clock::time_point holdUntil;    // a throttled log-in failure is answered then

    size_t Pending() const { return out.size() - outOffset; }
    bool Waiting() const { return bodyNeeded > 0 && bodyReserved == 0; }
    // Owes nothing and is owed nothing: no request begun, no answer unsent or held back. Only
    // such a connection may be closed to seat a newcomer from its own address.
    bool Idle() const { return !closed && !lingering && in.empty() && Pending() == 0; }
};

} // namespace ltpd
