// The socket layer on its own: notifications reach the hooks in the order
// the mail component relies on.

#include "mail/starsock.h"
#include "mail/winsock_errors.h"
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
            std::size_t n;
            while ((n = sock.ReceiveData(buf, sizeof buf)) > 0) {
                received.append(buf, n);
            }
            events.push_back("read");
        };
        sock.OnSocketClose = [this] {
            events.push_back(std::string("close, connected ") + (sock.Connected() ? "yes" : "no"));
        };
        sock.OnSocketTimeout = [this] { events.push_back("timeout"); };
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

    TStarSocket sock;
    std::vector<std::string> events;
    std::string received;
};

TEST_F(StarSocketTest, ConnectReadAndPeerCloseInOrder)
{
    test::ScriptedPeer peer({"S: 220 hello", "SLEEP 100", "CLOSE"});
    Connect(peer.Port());
    // With no time-outs set no countdown runs.
    EXPECT_FALSE(sock.TimerRunning());
    ASSERT_TRUE(WaitUntil([this] { return !sock.HasSocket(); }, milliseconds(3000)));
    EXPECT_EQ(received, "220 hello\r\n");
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), "connect 0");
    // The hook sees the connection before it is closed.
    EXPECT_EQ(events.back(), "close, connected yes");
    EXPECT_FALSE(sock.Connected());
}

TEST_F(StarSocketTest, RefusedConnectArrivesAsANotification)
{
    Connect(test::ClosedLoopbackPort());
    ASSERT_TRUE(WaitUntil([this] { return !events.empty(); }, milliseconds(3000)));
    EXPECT_EQ(events, std::vector<std::string>{"connect 10061"});
    EXPECT_FALSE(sock.Connected());
}

TEST_F(StarSocketTest, FullSendBufferIsNotAnError)
{
    test::ScriptedPeer peer({"SLEEP 1500"});
    Connect(peer.Port());
    ASSERT_TRUE(WaitUntil([this] { return sock.Connected(); }, milliseconds(3000)));
    const std::string block(1 << 20, 'x');
    std::size_t total = 0;
    for (int i = 0; i < 256; ++i) {
        const std::size_t n = sock.SendData(block.data(), block.size());
        if (n == 0) {
            break;
        }
        total += n;
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
    EXPECT_TRUE(sock.LookupPending());
    sock.LookupHost("localhost"); // ignored while the first is pending
    EXPECT_EQ(lookups, 0);        // never answered synchronously
    ASSERT_TRUE(WaitUntil([&lookups] { return lookups > 0; }, milliseconds(3000)));
    WaitUntil([] { return false; }, milliseconds(100));
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(sock.SocketError, 0);
    sock.SetAddressFromLookup();
    EXPECT_EQ(sock.AddressText(), "127.0.0.1");

    sock.LookupHost("no-such-host.invalid");
    ASSERT_TRUE(WaitUntil([&lookups] { return lookups > 1; }, milliseconds(5000)));
    EXPECT_GE(sock.SocketError, wsa::kHostNotFound);
    EXPECT_LE(sock.SocketError, wsa::kNoData);
}

TEST_F(StarSocketTest, CountdownClosesAndCallsTheTimeoutHookOnce)
{
    sock.CreateSocket();
    sock.StartTimer(1);
    EXPECT_TRUE(sock.TimerRunning());
    ASSERT_TRUE(WaitUntil([this] { return !events.empty(); }, milliseconds(3000)));
    WaitUntil([] { return false; }, milliseconds(1200));
    EXPECT_EQ(events, std::vector<std::string>{"timeout"});
    EXPECT_FALSE(sock.HasSocket());
    sock.StartTimer(0);
    EXPECT_FALSE(sock.TimerRunning());
}

TEST_F(StarSocketTest, PostedUserMessagesArriveLaterAndDieWithTheObject)
{
    std::vector<int> seen;
    sock.OnUserMessage = [&seen](int m) { seen.push_back(m); };
    sock.PostUserMessage(TStarSocket::kUserMessageBase);
    EXPECT_TRUE(seen.empty());
    ASSERT_TRUE(WaitUntil([&seen] { return !seen.empty(); }, milliseconds(1000)));
    EXPECT_EQ(seen, std::vector<int>{TStarSocket::kUserMessageBase});
    bool ran = false;
    {
        TStarSocket shortLived;
        shortLived.OnUserMessage = [&ran](int) { ran = true; };
        shortLived.PostUserMessage(TStarSocket::kUserMessageBase);
    }
    WaitUntil([] { return false; }, milliseconds(100));
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace kitemail
