// Lists the users of an LTP/1.0 server with ltp::Client, and looks one of them up. Without
// arguments it starts a scripted loopback server of its own to talk to.
//
//   ltpadmin-modern-example                           # against the built-in loopback server
//   ltpadmin-modern-example HOST PORT USER PASSWORD   # against a running server (IPv6 too)
#include <ltpadmin/client.h>

#include "support/loopback_peer.h"

#include <cstdlib>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 1 && argc != 5) {
        std::cerr << "usage: " << argv[0] << " [HOST PORT USER PASSWORD]\n";
        return 2;
    }
    ltp::Options options;
    options.user = "admin";
    options.password = "secret";
    std::unique_ptr<ltptest::LoopbackPeer> peer;
    if (argc == 5) {
        options.host = argv[1];
        options.port = static_cast<std::uint16_t>(std::strtoul(argv[2], nullptr, 10));
        options.user = argv[3];
        options.password = argv[4];
    } else {
        peer = std::make_unique<ltptest::LoopbackPeer>();
        peer->Respond(ltptest::MakeResponse(200, " OK",
                                            "<User>admin|Administrator|IT|a@x|root|1</User>\r\n"
                                            "<User>guest|Guest|||visitor|2</User>\r\n"))
            .Respond(ltptest::MakeResponse(404, " no such user 'nobody'", ""))
            .Start();
        options.port = peer->Port();
    }

    ltp::Client client(options);
    try {
        for (const ltp::User& user : client.users()) {
            // Every field, by its wire name, through the field reflection.
            for (const ltp::Field<ltp::User>& field : ltp::fields<ltp::User>())
                std::cout << field.wire_name << '=' << user.*field.text << ' ';
            std::cout << '\n';
        }
        if (!client.find_user("nobody"))
            std::cout << "no user 'nobody'\n";
    } catch (const ltp::Refused& e) {
        std::cerr << "refused: " << e.status() << ' ' << e.reason() << '\n';
        return 1;
    } catch (const ltp::Error& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
