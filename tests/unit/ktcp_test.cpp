// The TCP client family against a loopback peer on the same event loop:
// lookups, connects, the two receive modes, the send queue and closes.

#include "loopback_peer.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "send/ktcp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// A client whose events are written down in order; in text mode each
// line is taken as it is announced.
class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        client = std::make_unique<TKTcpClient>();
        client->OnConnect = [this] { log.emplace_back("connect"); };
        client->OnDisconnect = [this] { log.emplace_back("disconnect"); };
        client->OnError = [this](const TKError& e) { log.push_back(std::to_string(e.Code) + " " + SjisToUtf8(e.Message)); };
        client->OnRcvReady = [this] {
            log.emplace_back("rcv");
            if (client->RecvMode() == TKTcpRecvMode::ktrmText) {
                got.push_back(client->ReceiveText());
            }
        };
    }

    long Count(const std::string& event) const { return std::count(log.begin(), log.end(), event); }
    bool Logged(const std::string& event, long times = 1) { return WaitUntil([&] { return Count(event) >= times; }, 5s); }
    bool Got(std::size_t lines) { return WaitUntil([&] { return got.size() >= lines; }, 5s); }
    // Handles events for a while, so that what should not happen has the chance to.
    static void Settle(std::chrono::milliseconds time = 100ms) { WaitUntil([] { return false; }, time); }

    std::unique_ptr<TKTcpClient> client;
    Lines log, got;
};

TEST_F(ClientTest, ConnectsOnlyWhenActiveAndAfterItsOwnLookupAndReportsErrors)
{
    // The table's first and last rows, a gap between rows, and codes outside it.
    const std::pair<std::int32_t, const char*> rows[] = {
        {10004, "WSAEINTR 中止命令により中断しました"}, {11004, "WSANO_DATA 見つかりません"},
        {10072, "エラーコード: 10072"}, {12345, "エラーコード: 12345"}, {-1, "エラーコード: -1"}};
    for (const auto& [code, text] : rows) {
        EXPECT_EQ(SjisToUtf8(TKWinSockError(code).Message), text) << code;
    }
    // An unknown host and a refused connection: errors, and no connect.
    const std::string unknown = "11001 WSAHOST_NOT_FOUND ホストが見つかりません", refused = "10061 WSAECONNREFUSED 接続が拒否されました";
    client->SetServerName("no-such-host.invalid");
    client->SetPort(test::ClosedLoopbackPort());
    client->SetActive(true);
    ASSERT_TRUE(Logged(unknown));
    EXPECT_FALSE(client->Active());
    // The failed name is looked up again, not connected to "no address".
    client->SetActive(true);
    ASSERT_TRUE(Logged(unknown, 2));
    client->SetServerName("127.0.0.1");
    client->SetActive(true);
    ASSERT_TRUE(Logged(refused));
    client->SetActive(false);
    test::LoopbackPeer peer;
    client->SetPort(peer.Port());
    // A lookup that answers after the client was switched off connects nowhere.
    client->SetServerName("localhost");
    client->SetActive(true);
    client->SetActive(false);
    EXPECT_TRUE(WaitUntil([&] { return !client->LookupPending(); }, 5s));
    // A dotted name is found during the assignment.
    client->SetServerName("127.0.0.1");
    EXPECT_FALSE(client->LookupPending());
    Settle(50ms);
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_EQ(log, (Lines{unknown, unknown, refused}));
    client->SetActive(true);
    ASSERT_TRUE(Logged("connect"));
    // Switched on while a lookup is pending: connects when it ends.
    client->SetActive(false);
    client->SetServerName("localhost");
    ASSERT_TRUE(client->LookupPending());
    client->SetActive(true);
    EXPECT_FALSE(client->Connected());
    ASSERT_TRUE(Logged("connect", 2)) << ::testing::PrintToString(log);
}

TEST_F(ClientTest, SendQueueReceiveModesAndReconnects)
{
    test::LoopbackPeer peer;
    client->OnSendEmpty = [this] { log.emplace_back("sendempty"); };
    client->SetRecvMode(TKTcpRecvMode::ktrmText);
    // Text queued before the connection goes out once it is made.
    client->SendText("early\r\n");
    client->SetServerName("127.0.0.1");
    client->SetPort(peer.Port());
    client->SendText("later\r\n");
    client->SetActive(true);
    ASSERT_TRUE(peer.WaitReceived("early\r\nlater\r\n"));
    ASSERT_TRUE(Logged("sendempty"));
    EXPECT_EQ(log, (Lines{"connect", "sendempty"}));
    // A large queue arrives whole and in order before the shutdown closes.
    std::string big = "early\r\nlater\r\n";
    for (int i = 0; big.size() < 4'000'000; ++i) {
        big += std::to_string(i) + ",";
    }
    client->SendText(big.substr(14));
    client->Shutdown();
    EXPECT_TRUE(client->Closing());
    ASSERT_TRUE(peer.WaitClientClosed(20s));
    EXPECT_EQ(peer.Received(), big);
    EXPECT_FALSE(client->Active());
    EXPECT_FALSE(client->Closing());
    // A later connection is not closed when its queue runs empty.
    client->SetActive(true);
    ASSERT_TRUE(peer.WaitConnections(2));
    client->SendText("still open\r\n");
    ASSERT_TRUE(peer.WaitReceived("still open\r\n"));
    Settle(50ms);
    // Text mode gives whole lines only; this connection stayed open for them.
    peer.Send("one\r\ntwo\r\nthree\r\npart");
    ASSERT_TRUE(Got(3));
    peer.Send("ial\r"); // a lone CR ends no line, even when its LF comes later
    Settle(50ms);
    peer.Send("\nno line end");
    ASSERT_TRUE(Got(4));
    Settle();
    EXPECT_EQ(got, (Lines{"one\r\n", "two\r\n", "three\r\n", "partial\r\n"}));
    // Binary mode announces what text mode held back, then gives all received so far.
    const long announced = Count("rcv");
    client->SetRecvMode(TKTcpRecvMode::ktrmBinary);
    ASSERT_TRUE(Logged("rcv", announced + 1));
    peer.Send(std::string("ab\r\n\0\xff", 6));
    Settle();
    EXPECT_EQ(client->ReceiveText(), std::string("no line endab\r\n\0\xff", 17));
    EXPECT_EQ(client->ReceiveText(), "");
    // Switched off with half a line held and text queued: both dropped, no events.
    client->SetRecvMode(TKTcpRecvMode::ktrmText);
    got.clear();
    const Lines before = log;
    peer.Send("half a li");
    Settle(50ms);
    peer.Send("ne\r\n");
    client->SendText("never sent\r\n");
    client->SetActive(false);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->QueuedBytes(), 0u);
    ASSERT_TRUE(peer.WaitClientClosed());
    Settle(50ms);
    EXPECT_EQ(log, before);
    EXPECT_EQ(peer.Received(), "still open\r\n");
    // The same name keeps the address; on the new socket the old partial
    // line is not the start of a line.
    client->SetServerName("127.0.0.1");
    client->SetActive(true);
    ASSERT_TRUE(peer.WaitConnections(3));
    peer.Send("new line\r\n");
    ASSERT_TRUE(Got(1));
    EXPECT_EQ(got, Lines{"new line\r\n"});
    // A new port while active: closed here, connected there.
    test::LoopbackPeer second;
    client->SetPort(second.Port());
    EXPECT_TRUE(second.WaitConnected());
    EXPECT_TRUE(peer.WaitClientClosed());
    EXPECT_TRUE(Logged("connect", 4));
}

} // namespace
} // namespace kitemail
