// Logs in to an LTP/1.0 server, runs one request ("Get  AllUsers") and prints the response.
// Without arguments it starts a scripted loopback server of its own to talk to.
//
//   ltpadmin-example                                  # against the built-in loopback server
//   ltpadmin-example ADDRESS PORT USER PASSWORD       # against a running server
#include "ltpadmin/platform/platform.h"
#include "ltpadmin/transport/server_admin.h"
#include "support/loopback_peer.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc != 1 && argc != 5) {
        std::fprintf(stderr, "usage: %s [ADDRESS PORT USER PASSWORD]\n", argv[0]);
        return 2;
    }
    std::string address = "127.0.0.1", user = "admin", password = "secret";
    unsigned int port = 0;
    std::unique_ptr<ltptest::LoopbackPeer> peer;
    if (argc == 5) {
        address = argv[1];
        port = static_cast<unsigned int>(std::strtoul(argv[2], nullptr, 10));
        user = argv[3];
        password = argv[4];
    } else {
        peer = std::make_unique<ltptest::LoopbackPeer>();
        peer->Respond(ltptest::MakeResponse(200, " OK",
                                            "<User>admin|Administrator|secret|1|2|all</User>\r\n"
                                            "<User>guest|Guest|guest|0|0|none</User>\r\n"))
            .Start();
        port = peer->Port();
    }

    CServerAdmin session;
    session.SetServerAddressPort(inet_addr(address.c_str()), port);
    if (!session.LogIn(address.c_str(), user.c_str(), password.c_str())) {
        std::fprintf(stderr, "log-in failed: no socket could be created\n");
        return 1;
    }
    const std::string request = "Get  AllUsers  LTP/1.0\r\nUser-Name: " + user +
                                "\r\nAuthorization: basic " + password + "\r\n\r\n";
    ULONG noBuffer = 0;
    session.AsyncRequest(0, const_cast<char*>(request.data()), static_cast<ULONG>(request.size()),
                         nullptr, noBuffer);
    const int ok = session.WaitResponseAndPumpMessage(10000);
    std::printf("--- request to %s:%u\n%s", address.c_str(), port, request.c_str());
    if (!ok) {
        std::fprintf(stderr, "request failed: outcome code %ld (0x%08X)\n",
                     static_cast<long>(static_cast<LONG>(session.GetLastError())),
                     static_cast<unsigned>(session.GetLastError()));
        return 1;
    }
    const CMessage& response = session.GetReadMessage();
    std::printf("--- response (%u bytes)\n", static_cast<unsigned>(response.GetLength()));
    std::fwrite(response.GetData(), 1, response.GetLength(), stdout);
    session.LogOut();
    return 0;
}
