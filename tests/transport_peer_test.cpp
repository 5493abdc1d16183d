// The scripted peer frames requests the way every operation test relies on: by the head and its
// Content-Length, or by the one-line key body of requests that carry no byte count.
#include "support/loopback_peer.h"

#include "ltpadmin/platform/platform.h"
#include "ltpadmin/transport/server_admin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using ltptest::LoopbackPeer;
using ltptest::MakeResponse;

TEST(LoopbackPeer, FramesEachRequestOfASeriesOnItsOwn) {
    const std::string head = "User-Name: admin\r\nAuthorization: basic pw\r\n";
    // A user name that puts the end of the head exactly on a 1024-byte piece boundary, so that the
    // key body arrives in a later piece.
    const std::string prefix = "Find  User  LTP/1.0\r\nUser-Name: ";
    const std::string tail = "\r\nAuthorization: basic pw\r\n\r\n";
    const std::string longName(1024 - prefix.size() - tail.size(), 'n');
    const std::vector<std::string> requests = {
        "Get  AllUsers  LTP/1.0\r\n" + head + "\r\n",
        "Find  User  LTP/1.0\r\n" + head + "\r\n<UserID>bob</UserID>\r\n",
        "Add  Infomation  LTP/1.0\r\n" + head + "Content-Length: 7\r\n\r\nhi\r\n<x>",
        prefix + longName + tail + "<UserID>bob</UserID>\r\n",
        "Get  AllGroups  LTP/1.0\r\n" + head + "\r\n",
    };
    LoopbackPeer peer;
    peer.ServeEach([](const std::string& request) {
            return MakeResponse(200, " OK", std::to_string(request.size()));
        })
        .Start();
    CServerAdmin session;
    session.SetServerAddressPort(peer.Address(), peer.Port());
    ASSERT_EQ(session.LogIn("127.0.0.1", "admin", "pw"), 1);
    for (const std::string& request : requests) {
        ULONG none = 0;
        session.AsyncRequest(0, const_cast<char*>(request.data()),
                             static_cast<ULONG>(request.size()), nullptr, none);
        ASSERT_EQ(session.WaitResponseAndPumpMessage(10000), 1);
        const CMessage& response = session.GetReadMessage();
        EXPECT_EQ(std::string(response.GetData(), response.GetLength()),
                  MakeResponse(200, " OK", std::to_string(request.size())));
    }
    session.LogOut();
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(peer.Failures().empty());
    EXPECT_EQ(peer.Requests(), requests);
}

TEST(LoopbackPeer, ReportsBytesThatDifferFromTheExpectedOnes) {
    LoopbackPeer peer;
    peer.Expect("Get  AllUsers").Expect("  LTP/1.0\r\n").Start();
    CServerAdmin session;
    session.SetServerAddressPort(peer.Address(), peer.Port());
    ASSERT_EQ(session.LogIn("127.0.0.1", "u", "p"), 1);
    const std::string request = "Get  AllUsers  LTP/1.1\r\n";
    ULONG none = 0;
    session.AsyncRequest(0, const_cast<char*>(request.data()), static_cast<ULONG>(request.size()),
                         nullptr, none);
    session.WaitResponseAndPumpMessage(100);
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Received(), request);
    ASSERT_EQ(peer.Failures().size(), 1u);
}
