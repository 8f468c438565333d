// The TCP client family against a loopback peer on the same event loop:
// lookups, connects, the two receive modes, the send queue and closes.

#include "loopback_peer.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "send/ktcp.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using namespace std::chrono_literals;
using test::LoopbackPeer;

struct ErrorRow {
    std::int32_t code;
    const char* text;
};

void PrintTo(const ErrorRow& r, std::ostream* os)
{
    *os << r.code;
}

class WinSockErrorTextTest : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(WinSockErrorTextTest, ComesFromTheTable)
{
    const TKWinSockError e(GetParam().code);
    EXPECT_EQ(e.Code, GetParam().code);
    EXPECT_EQ(SjisToUtf8(e.Message), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WinSockErrorTextTest,
    ::testing::Values(ErrorRow{10004, "WSAEINTR 中止命令により中断しました"},
                      ErrorRow{10035, "WSAEWOULDBLOCK 操作がブロックされます"},
                      ErrorRow{10061, "WSAECONNREFUSED 接続が拒否されました"},
                      ErrorRow{10093, "WSANOTINITIALISED Winsockが初期化されていません"},
                      ErrorRow{11001, "WSAHOST_NOT_FOUND ホストが見つかりません"},
                      ErrorRow{11004, "WSANO_DATA 見つかりません"},
                      // Between rows, and outside the table altogether.
                      ErrorRow{10072, "エラーコード: 10072"}, ErrorRow{12345, "エラーコード: 12345"},
                      ErrorRow{0, "エラーコード: 0"}, ErrorRow{-1, "エラーコード: -1"}));

// A client whose events are written down in order.
class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        client = std::make_unique<TKTcpClient>();
        client->OnConnect = [this] { log.emplace_back("connect"); };
        client->OnRcvReady = [this] {
            log.emplace_back("rcv");
            if (takeOnReady) {
                got.push_back(client->ReceiveText());
            }
        };
        client->OnDisconnect = [this] { log.emplace_back("disconnect"); };
        client->OnSendEmpty = [this] {
            if (logSendEmpty) {
                log.emplace_back("sendempty");
            }
        };
        client->OnError = [this](const TKError& e) {
            log.push_back("error " + std::to_string(e.Code));
            errorText = SjisToUtf8(e.Message);
        };
    }

    bool Logged(const std::string& event, std::chrono::milliseconds timeout = 5s)
    {
        return WaitUntil([&] { return std::find(log.begin(), log.end(), event) != log.end(); }, timeout);
    }

    void ConnectTo(LoopbackPeer& peer)
    {
        client->SetServerName("127.0.0.1");
        client->SetPort(peer.Port());
        client->SetActive(true);
        ASSERT_TRUE(Logged("connect"));
        ASSERT_TRUE(peer.WaitConnected());
    }

    std::unique_ptr<TKTcpClient> client;
    std::vector<std::string> log;
    std::vector<std::string> got;
    std::string errorText;
    bool takeOnReady = true;
    bool logSendEmpty = false;
};

// Handles events for a while, so that what should not happen has the
// chance to.
void Settle(std::chrono::milliseconds time = 100ms)
{
    WaitUntil([] { return false; }, time);
}

TEST_F(ClientTest, DottedNameIsFoundDuringTheAssignmentAndConnectsOnlyWhenActive)
{
    LoopbackPeer peer;
    std::vector<std::uint32_t> found;
    client->SetServerName("127.0.0.1");
    EXPECT_FALSE(client->LookupPending());
    EXPECT_EQ(client->ServerAddress(), htonl(INADDR_LOOPBACK));
    client->SetPort(peer.Port());
    Settle(50ms);
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_TRUE(log.empty());

    client->SetActive(true);
    ASSERT_TRUE(Logged("connect"));
    EXPECT_TRUE(client->Connected());
    EXPECT_TRUE(peer.WaitConnected());
}

TEST_F(ClientTest, ActiveDuringAPendingLookupConnectsWhenTheLookupEnds)
{
    LoopbackPeer peer;
    client->SetServerName("localhost");
    ASSERT_TRUE(client->LookupPending());
    client->SetPort(peer.Port());
    client->SetActive(true);
    EXPECT_FALSE(client->Connected());
    ASSERT_TRUE(Logged("connect")) << ::testing::PrintToString(log);
    EXPECT_EQ(client->ServerAddress(), htonl(INADDR_LOOPBACK));
}

TEST_F(ClientTest, UnresolvableNameClearsActiveAndReportsHostNotFound)
{
    client->SetServerName("no-such-host.invalid");
    client->SetPort(110);
    client->SetActive(true);
    ASSERT_TRUE(Logged("error 11001"));
    EXPECT_EQ(errorText, "WSAHOST_NOT_FOUND ホストが見つかりません");
    EXPECT_FALSE(client->Active());

    // The same name again is looked up again, not connected to "no address".
    log.clear();
    client->SetActive(true);
    ASSERT_TRUE(Logged("error 11001")) << ::testing::PrintToString(log);
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(ClientTest, RefusedConnectionIsReportedAsAnErrorNotAConnect)
{
    std::uint16_t port = 0;
    {
        LoopbackPeer gone;
        port = gone.Port();
    }
    client->SetServerName("127.0.0.1");
    client->SetPort(port);
    client->SetActive(true);
    ASSERT_TRUE(Logged("error 10061"));
    EXPECT_EQ(errorText, "WSAECONNREFUSED 接続が拒否されました");
    EXPECT_FALSE(client->Connected());
    Settle(50ms);
    EXPECT_EQ(log, std::vector<std::string>{"error 10061"});
}

TEST_F(ClientTest, TextModeGivesOneEventPerLineAndKeepsAPartialLine)
{
    LoopbackPeer peer;
    client->SetRecvMode(TKTcpRecvMode::ktrmText);
    ConnectTo(peer);
    peer.Send("one\r\ntwo\r\nthree\r\npart");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 3; }, 5s));
    Settle(50ms);
    EXPECT_EQ(got, (std::vector<std::string>{"one\r\n", "two\r\n", "three\r\n"}));

    peer.Send("ial\r");
    Settle(50ms);
    EXPECT_EQ(got.size(), 3u);
    peer.Send("\n");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 4; }, 5s));
    EXPECT_EQ(got.back(), "partial\r\n");
}

TEST_F(ClientTest, SwitchingToBinaryHandsOverWhatTextModeHeldBack)
{
    LoopbackPeer peer;
    client->SetRecvMode(TKTcpRecvMode::ktrmText);
    ConnectTo(peer);
    peer.Send("no line end");
    Settle(100ms);
    EXPECT_TRUE(got.empty());
    client->SetRecvMode(TKTcpRecvMode::ktrmBinary);
    ASSERT_TRUE(WaitUntil([&] { return !got.empty(); }, 5s));
    EXPECT_EQ(got, std::vector<std::string>{"no line end"});
}

TEST_F(ClientTest, BinaryModeReturnsEverythingReceivedSoFar)
{
    LoopbackPeer peer;
    takeOnReady = false;
    ConnectTo(peer);
    peer.Send("ab");
    ASSERT_TRUE(Logged("rcv"));
    peer.Send("c\r\nd");
    Settle(100ms);
    peer.Send(std::string("\0\xff", 2));
    Settle(100ms);
    EXPECT_EQ(client->ReceiveText(), std::string("abc\r\nd\0\xff", 8));
    EXPECT_EQ(client->ReceiveText(), "");
}

TEST_F(ClientTest, TextQueuedBeforeTheConnectionIsSentOnceItStands)
{
    LoopbackPeer peer;
    logSendEmpty = true;
    client->SendText("early\r\n");
    client->SetServerName("127.0.0.1");
    client->SetPort(peer.Port());
    client->SendText("later\r\n");
    client->SetActive(true);
    ASSERT_TRUE(peer.WaitReceived("early\r\nlater\r\n"));
    ASSERT_TRUE(Logged("sendempty"));
    EXPECT_EQ(log.front(), "connect");
}

TEST_F(ClientTest, ALargeSendArrivesWholeAndInOrder)
{
    LoopbackPeer peer;
    logSendEmpty = true;
    ConnectTo(peer);
    std::string big;
    for (int i = 0; big.size() < 4'000'000; ++i) {
        big += std::to_string(i) + ",";
    }
    client->SendText(big.substr(0, 1000));
    client->SendText(big.substr(1000));
    ASSERT_TRUE(peer.WaitReceived(big.substr(big.size() - 20), 20s));
    EXPECT_EQ(peer.Received(), big);
    EXPECT_TRUE(Logged("sendempty"));
    EXPECT_EQ(client->QueuedBytes(), 0u);
}

TEST_F(ClientTest, PeerCloseComesAfterItsLastDataAndLeavesTheClientActive)
{
    LoopbackPeer peer;
    peer.onConnected = [](LoopbackPeer& p) {
        p.Send("+OK bye\r\n");
        p.CloseConnection();
    };
    ConnectTo(peer);
    ASSERT_TRUE(Logged("disconnect"));
    EXPECT_EQ(log, (std::vector<std::string>{"connect", "rcv", "disconnect"}));
    EXPECT_EQ(got, std::vector<std::string>{"+OK bye\r\n"});
    EXPECT_FALSE(client->Connected());
    EXPECT_TRUE(client->Active());
    Settle(50ms);
    EXPECT_EQ(log.size(), 3u); // the end of the stream is reported once
}

TEST_F(ClientTest, InactiveClosesAndNothingOfThatConnectionFollows)
{
    LoopbackPeer peer;
    ConnectTo(peer);
    peer.Send("late data\r\n");
    client->SendText("never sent\r\n");
    client->SetActive(false);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->QueuedBytes(), 0u);
    ASSERT_TRUE(peer.WaitClientClosed());
    Settle(50ms);
    EXPECT_EQ(log, std::vector<std::string>{"connect"});
    EXPECT_EQ(peer.Received(), "");
}

TEST_F(ClientTest, ReconnectsWithANewSocketAndTheAddressFoundBefore)
{
    LoopbackPeer peer;
    client->SetRecvMode(TKTcpRecvMode::ktrmText);
    ConnectTo(peer);
    peer.Send("half a li");
    Settle(50ms);
    client->SetActive(false);
    log.clear();
    client->SetServerName("127.0.0.1"); // unchanged: no new lookup
    client->SetActive(true);
    ASSERT_TRUE(Logged("connect"));
    client->SendText("again\r\n");
    ASSERT_TRUE(peer.WaitConnections(2));
    EXPECT_TRUE(peer.WaitReceived("again\r\n"));
    // Nothing of the first connection is taken for the start of a line.
    peer.Send("new line\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !got.empty(); }, 5s));
    EXPECT_EQ(got, std::vector<std::string>{"new line\r\n"});
}

TEST_F(ClientTest, ChangingThePortWhileActiveReconnectsThere)
{
    LoopbackPeer first;
    LoopbackPeer second;
    ConnectTo(first);
    log.clear();
    client->SetPort(second.Port());
    EXPECT_TRUE(client->Active());
    ASSERT_TRUE(Logged("connect"));
    EXPECT_TRUE(second.WaitConnected());
    EXPECT_TRUE(first.WaitClientClosed());
}

TEST_F(ClientTest, ShutdownClosesOnlyAfterTheQueueHasGone)
{
    LoopbackPeer peer;
    ConnectTo(peer);
    const std::string big(3'000'000, 'x');
    client->SendText(big);
    client->Shutdown();
    EXPECT_TRUE(client->Closing());
    ASSERT_TRUE(peer.WaitClientClosed(20s));
    EXPECT_EQ(peer.Received().size(), big.size());
    EXPECT_FALSE(client->Active());
    EXPECT_FALSE(client->Closing());

    // A later connection is not closed when its queue runs empty.
    client->SetActive(true);
    ASSERT_TRUE(peer.WaitConnections(2));
    client->SendText("still open\r\n");
    ASSERT_TRUE(peer.WaitReceived("still open\r\n"));
    Settle(50ms);
    EXPECT_TRUE(client->Active());
    EXPECT_FALSE(peer.ClientClosed());
}

TEST_F(ClientTest, ALookupAnswerAfterSwitchingOffDoesNotConnect)
{
    // A stale answer must not connect a client that was switched off.
    LoopbackPeer peer;
    client->SetServerName("localhost");
    client->SetPort(peer.Port());
    client->SetActive(true);
    client->SetActive(false);
    Settle(200ms);
    WaitUntil([&] { return !client->LookupPending(); }, 5s);
    Settle(50ms);
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_TRUE(log.empty());
}

} // namespace
} // namespace kitemail
