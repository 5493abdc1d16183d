// The poll() loop over loopback with raw sockets: many clients at once, pipelining, slow and
// broken clients, and a clean stop.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "loopback.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/schema.h"
#include "tools/ltpd/server.h"
#include "tools/ltpd/service.h"

namespace ltpd {
namespace {

const std::string kGetUsers =
    "Get  AllUsers  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n";
const std::string kAddUser = "Add  User  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic "
                             "pw\r\nContent-Length: 28\r\n\r\n<User>ann|A|B|C|D|E</User>\r\n";

TEST_F(ServerLoop, AnswersManyRequestsOnOneConnection) {
    Client c(Port());
    ASSERT_TRUE(c.Connected());
    c.Send(kAddUser);
    EXPECT_EQ(c.Receive(), "LTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    for (int i = 0; i < 20; ++i) {
        c.Send(kGetUsers);
        EXPECT_EQ(c.Receive(),
                  "LTP/1.0 200 OK\r\nContent-Length: 28\r\n\r\n<User>ann|A|B|C|D|E</User>\r\n");
    }
}

TEST_F(ServerLoop, PipelinedAndBytewiseRequestsAreAnsweredInOrder) {
    Client c(Port());
    c.Send(kAddUser + kGetUsers + kAddUser);
    EXPECT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 200 OK");
    EXPECT_NE(c.Receive().find("<User>ann|"), std::string::npos);
    EXPECT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 409 user 'ann' already exists");
    for (char ch : kGetUsers)
        c.Send(std::string(1, ch));
    EXPECT_NE(c.Receive().find("<User>ann|"), std::string::npos);
}

TEST_F(ServerLoop, AStalledClientHoldsUpNobodyElse) {
    Client slow(Port());
    slow.Send(kAddUser.substr(0, 50)); // half a head, then silence
    std::vector<std::unique_ptr<Client>> others;
    for (int i = 0; i < 8; ++i)
        others.push_back(std::make_unique<Client>(Port()));
    for (auto& c : others)
        c->Send(kGetUsers);
    for (auto& c : others)
        EXPECT_EQ(Client::StatusLine(c->Receive()), "LTP/1.0 200 OK");
    slow.Send(kAddUser.substr(50));
    EXPECT_EQ(Client::StatusLine(slow.Receive()), "LTP/1.0 200 OK");
}

TEST_F(ServerLoop, BrokenRequestsCloseOnlyTheirOwnConnection) {
    Client good(Port());
    good.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(good.Receive()), "LTP/1.0 200 OK");

    Client huge(Port());
    huge.Send("Get  AllUsers  LTP/1.0\r\nX: " + std::string(70 * 1024, 'a'));
    EXPECT_EQ(Client::StatusLine(huge.Receive()),
              "LTP/1.0 400 request head longer than 65536 bytes");
    EXPECT_TRUE(huge.Closed());

    Client big(Port());
    big.Send("Add  Infomation  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n"
             "Content-Length: 50000000\r\n\r\n");
    EXPECT_EQ(Client::StatusLine(big.Receive()).substr(0, 12), "LTP/1.0 413 ");
    EXPECT_TRUE(big.Closed());

    Client garbage(Port());
    // What follows an unreadable request is not taken for a request.
    garbage.Send(std::string("\x01\x02\xff junk\r\n\r\n", 12) + kGetUsers);
    EXPECT_EQ(Client::StatusLine(garbage.Receive()), "LTP/1.0 400 malformed request line");
    EXPECT_TRUE(garbage.Closed());

    // A body that does not fit its form is answered, and the connection goes on.
    Client wrong(Port());
    wrong.Send("Add  Group  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n"
               "Content-Length: 9\r\n\r\n<Group>x\r\n");
    EXPECT_EQ(Client::StatusLine(wrong.Receive()).substr(0, 12), "LTP/1.0 400 ");
    wrong.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(wrong.Receive()), "LTP/1.0 200 OK");

    good.Send(kGetUsers);
    EXPECT_EQ(Client::StatusLine(good.Receive()), "LTP/1.0 200 OK");
}

TEST_F(ServerLoop, AClientThatStopsSendingStillGetsItsAnswer) {
    Client c(Port());
    c.Send(kAddUser + kGetUsers);
    // Half-close: no more requests, but the answers are still wanted.
    c.ShutdownWrite();
    EXPECT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 200 OK");
    EXPECT_NE(c.Receive().find("<User>ann|"), std::string::npos);
    EXPECT_TRUE(c.Closed());
}

TEST_F(ServerLoop, StopsWhenAskedAndClosesConnections) {
    Client c(Port());
    c.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(c.Receive()), "LTP/1.0 200 OK");
    m_loop.reset(); // asks the loop to stop and waits for it
    EXPECT_TRUE(c.Closed());
}

TEST_F(ServerLoop, CountsConnectionsForSysInfo) {
    Client a(Port()), b(Port());
    a.Send(kGetUsers);
    ASSERT_EQ(Client::StatusLine(a.Receive()), "LTP/1.0 200 OK");
    b.Send("Get  SysInfo  LTP/1.0\r\nUser-Name: admin\r\nAuthorization: basic pw\r\n\r\n");
    std::string r = b.Receive();
    // Number2 open connections, Number5 accepted since start.
    EXPECT_NE(r.find("|2|2|"), std::string::npos) << r;
    EXPECT_NE(r.find("|2</SysInfo>"), std::string::npos) << r;
}

} // namespace
} // namespace ltpd
