// The POP before SMTP step as the user sees it (status texts, boxes, beeps,
// the prompt and the abort button) against a scripted POP3 peer.

#include "loopback_peer.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/pop_before_smtp.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

using namespace std::chrono_literals;
using test::LoopbackPeer;
using Events = std::vector<std::string>;

const std::string kBusy = "status:POP before SMTP 認証中...";
const std::string kFailed = "POP before SMTP 認証出来ませんでした。";

// Answers like a POP3 server: "+OK" to everything but "-ERR" to the command
// named in refuse ("greeting": to the connection; "close": closes instead
// of greeting), and closes after QUIT.
void PlayPop3(LoopbackPeer& peer, const std::string& refuse = {})
{
    peer.onConnected = [refuse](LoopbackPeer& p) {
        refuse == "close" ? p.CloseConnection() : p.Send(refuse == "greeting" ? "-ERR go away\r\n" : "+OK ready\r\n");
    };
    peer.onLine = [refuse](LoopbackPeer& p, const std::string& line) {
        const std::string verb = line.substr(0, line.find(' '));
        p.Send(verb == refuse ? "-ERR no\r\n" : verb == "QUIT" ? "+OK bye\r\n" : "+OK\r\n");
        if (verb == "QUIT" && verb != refuse) {
            p.CloseConnection();
        }
    };
}

class PopBeforeSmtpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.POP3USER = "alice";
        settings.POP3PASS = "secret";
        settings.POP3Server = "127.0.0.1";
        settings.POP3Port = peer.Port();
        settings.BeepOnMessage = true;
        options.silenceLimit = 5s;
        options.showAbortButton = [this](bool visible) { ui.events.push_back(visible ? "abort:show" : "abort:hide"); };
    }

    PopLoginResult Run() { return PopBeforeSmtp(settings, ui, client, sendAborted, options); }

    // The events in UTF-8, for readable comparisons.
    Events Shown() const
    {
        Events out;
        for (const std::string& e : ui.events) {
            out.push_back(SjisToUtf8(e));
        }
        return out;
    }

    LoopbackPeer peer;
    Settings settings;
    test::ScriptedUserInterface ui;
    TKTcpClient client;
    bool sendAborted = false;
    PopBeforeSmtpOptions options;
};

TEST_F(PopBeforeSmtpTest, StoredPasswordLogsInWithoutAskingAndTheClientsEventsComeBack)
{
    PlayPop3(peer);
    int mine = 0;
    client.OnRcvReady = [&] { ++mine; };
    EXPECT_EQ(Run(), PopLoginResult::Succeeded);
    EXPECT_EQ(peer.Lines(), (Events{"USER alice", "PASS secret", "QUIT"}));
    EXPECT_EQ(Shown(), (Events{kBusy, "abort:show", "abort:hide", "status:POP before SMTP 認証完了"}));
    EXPECT_FALSE(client.Active());
    EXPECT_FALSE(sendAborted);
    EXPECT_EQ(mine, 0);
    ASSERT_TRUE(client.OnRcvReady);
    client.OnRcvReady();
    EXPECT_EQ(mine, 1);
}

TEST_F(PopBeforeSmtpTest, CancelledPromptConnectsNowhere)
{
    PlayPop3(peer);
    settings.POP3PASS.clear();
    bool enabled = true;
    options.enableCommand = [&](bool on) { enabled = on; };
    ui.passwordAnswers.push_back(std::nullopt);
    EXPECT_EQ(Run(), PopLoginResult::Cancelled);
    EXPECT_EQ(Shown(),
              (Events{kBusy, "password:パスワードを入力して下さい。", "status:POP before SMTP 認証中止"}));
    WaitUntil([] { return false; }, 100ms);
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_TRUE(enabled);
}

TEST_F(PopBeforeSmtpTest, MissingUserOrServerOnlyAsksForTheSettings)
{
    for (std::string Settings::*field : {&Settings::POP3USER, &Settings::POP3Server}) {
        Settings s = settings;
        (s.*field).clear();
        ui.Clear();
        EXPECT_EQ(PopBeforeSmtp(s, ui, client, sendAborted, options), PopLoginResult::NotConfigured);
        EXPECT_EQ(Shown(), (Events{"beep", "message:POP before SMTPの設定をしてください。"}));
    }
    EXPECT_EQ(peer.Connections(), 0);
}

TEST_F(PopBeforeSmtpTest, EachFailureShowsItsStepThenTheGeneralFailure)
{
    const struct {
        const char* refuse; // as PlayPop3 takes it
        bool beep;
        Events between; // between showing the abort button and the general failure
    } rows[] = {
        {"USER", true, {"beep", "message:ユーザー名が違います。", "abort:hide", "beep"}},
        {"PASS", true, {"beep", "message:パスワードが違います。", "abort:hide", "beep"}},
        {"QUIT", true, {"beep", "message:Err.", "abort:hide", "beep"}},
        {"greeting", false, {"message:POP3接続に失敗しました。", "abort:hide"}},
        // Closed before the greeting: no step text of its own.
        {"close", true, {"abort:hide", "beep"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refuse);
        PlayPop3(peer, row.refuse);
        settings.BeepOnMessage = row.beep;
        ui.Clear();
        EXPECT_EQ(Run(), PopLoginResult::Failed);
        Events expected{kBusy, "abort:show"};
        expected.insert(expected.end(), row.between.begin(), row.between.end());
        expected.insert(expected.end(), {"message:" + kFailed, "status:" + kFailed});
        EXPECT_EQ(Shown(), expected);
        EXPECT_TRUE(row.refuse == std::string("close") || peer.WaitClientClosed());
        EXPECT_FALSE(client.Active());
        EXPECT_FALSE(sendAborted);
    }
}

} // namespace
} // namespace kitemail
