// The socket layer on its own: notifications reach the hooks in the order
// the mail component relies on.

#include "mail/starsock.h"
#include "platform/event_loop.h"
#include "qt_app.h"
#include "scripted_peer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

using std::chrono::milliseconds;

class StarSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        ASSERT_TRUE(sock.StartWinsock());
        sock.OnSocketConnect = [this] { events.push_back("connect " + std::to_string(sock.SocketError)); };
        sock.OnSocketRead = [this] {
            char buf[256];
            for (std::size_t n; (n = sock.ReceiveData(buf, sizeof buf)) > 0;) {
                received.append(buf, n);
            }
            events.push_back("read");
        };
        sock.OnSocketClose = [this] { events.push_back(sock.Connected() ? "close, connected" : "close"); };
    }

    void Connect(std::uint16_t port)
    {
        sock.CreateSocket();
        ASSERT_EQ(sock.SocketError, 0);
        sock.SetAddress("127.0.0.1");
        sock.SetPort(port);
        sock.ConnectSocket();
        ASSERT_EQ(sock.SocketError, 0);
    }

    static void Settle(milliseconds time) { WaitUntil([] { return false; }, time); }

    TStarSocket sock;
    std::vector<std::string> events;
    std::string received;
};

TEST_F(StarSocketTest, ConnectReadAndPeerCloseInOrder)
{
    test::ScriptedPeer peer({"S: 220 hello", "SLEEP 100", "CLOSE"});
    Connect(peer.Port());
    ASSERT_TRUE(WaitUntil([this] { return !sock.HasSocket(); }, milliseconds(3000)));
    EXPECT_EQ(received, "220 hello\r\n");
    ASSERT_GE(events.size(), 3u);
    // The close hook still sees the connection.
    EXPECT_EQ(events.front(), "connect 0");
    EXPECT_EQ(events.back(), "close, connected");
    EXPECT_FALSE(sock.Connected());
}

TEST_F(StarSocketTest, FullSendBufferIsNotAnError)
{
    test::ScriptedPeer peer({"SLEEP 1500"});
    Connect(peer.Port());
    ASSERT_TRUE(WaitUntil([this] { return sock.Connected(); }, milliseconds(3000)));
    const std::string block(1 << 20, 'x');
    std::size_t total = 0;
    for (int i = 0; i < 256 && sock.SendData(block.data(), block.size()) > 0; ++i) {
        ++total;
    }
    EXPECT_GT(total, 0u);
    EXPECT_EQ(sock.SendData(block.data(), block.size()), 0u);
    EXPECT_EQ(sock.SocketError, 0);
    sock.CloseSocket();
}

TEST_F(StarSocketTest, LookupIsAsynchronousAndNotRepeatedWhilePending)
{
    int lookups = 0;
    sock.OnSocketLookup = [&lookups] { ++lookups; };
    sock.LookupHost("localhost");
    sock.LookupHost("localhost"); // ignored while the first is pending
    EXPECT_EQ(lookups, 0);
    ASSERT_TRUE(WaitUntil([&lookups] { return lookups > 0; }, milliseconds(3000)));
    Settle(milliseconds(100));
    EXPECT_EQ(lookups, 1);
    sock.SetAddressFromLookup();
    EXPECT_EQ(sock.AddressText(), "127.0.0.1");
}

TEST_F(StarSocketTest, PostedUserMessagesArriveLaterAndDieWithTheObject)
{
    std::vector<int> seen;
    sock.OnUserMessage = [&seen](int m) { seen.push_back(m); };
    sock.PostUserMessage(TStarSocket::kUserMessageBase);
    EXPECT_TRUE(seen.empty());
    {
        TStarSocket shortLived;
        shortLived.OnUserMessage = [&seen](int) { seen.push_back(-1); };
        shortLived.PostUserMessage(TStarSocket::kUserMessageBase);
    }
    Settle(milliseconds(100));
    EXPECT_EQ(seen, std::vector<int>{TStarSocket::kUserMessageBase});
}

} // namespace
} // namespace kitemail
