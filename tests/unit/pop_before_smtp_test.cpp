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

// Answers like a POP3 server: "+OK" to everything, or "-ERR" to the
// command named in refuse; closes after QUIT.
void PlayPop3(LoopbackPeer& peer, const std::string& refuse = {})
{
    peer.onConnected = [](LoopbackPeer& p) { p.Send("+OK ready\r\n"); };
    peer.onLine = [refuse](LoopbackPeer& p, const std::string& line) {
        const std::string verb = line.substr(0, line.find(' '));
        if (verb == refuse) {
            p.Send("-ERR no\r\n");
        } else if (verb == "QUIT") {
            p.Send("+OK bye\r\n");
            p.CloseConnection();
        } else {
            p.Send("+OK\r\n");
        }
    };
}

std::string U(const std::string& sjis)
{
    return SjisToUtf8(sjis);
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
    std::vector<std::string> Events() const
    {
        std::vector<std::string> out;
        for (const std::string& e : ui.events) {
            out.push_back(U(e));
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

TEST_F(PopBeforeSmtpTest, StoredPasswordLogsInWithoutAsking)
{
    PlayPop3(peer);
    EXPECT_EQ(Run(), PopLoginResult::Succeeded);
    EXPECT_EQ(peer.Lines(), (std::vector<std::string>{"USER alice", "PASS secret", "QUIT"}));
    EXPECT_EQ(Events(), (std::vector<std::string>{"status:POP before SMTP 認証中...", "abort:show", "abort:hide",
                                                  "status:POP before SMTP 認証完了"}));
    EXPECT_FALSE(client.Active());
    EXPECT_FALSE(sendAborted);
}

TEST_F(PopBeforeSmtpTest, CancelledPromptConnectsNowhere)
{
    PlayPop3(peer);
    settings.POP3PASS.clear();
    bool enabled = true;
    options.enableCommand = [&](bool on) { enabled = on; };
    ui.passwordAnswers.push_back(std::nullopt);
    EXPECT_EQ(Run(), PopLoginResult::Cancelled);
    EXPECT_EQ(Events(), (std::vector<std::string>{"status:POP before SMTP 認証中...",
                                                  "password:パスワードを入力して下さい。",
                                                  "status:POP before SMTP 認証中止"}));
    WaitUntil([] { return false; }, 100ms);
    EXPECT_EQ(peer.Connections(), 0);
    EXPECT_TRUE(enabled);
}

TEST_F(PopBeforeSmtpTest, MissingUserOrServerOnlyAsksForTheSettings)
{
    for (int which = 0; which < 2; ++which) {
        Settings s = settings;
        (which == 0 ? s.POP3USER : s.POP3Server).clear();
        ui.Clear();
        EXPECT_EQ(PopBeforeSmtp(s, ui, client, sendAborted, options), PopLoginResult::NotConfigured);
        EXPECT_EQ(Events(), (std::vector<std::string>{"beep", "message:POP before SMTPの設定をしてください。"}));
    }
    EXPECT_EQ(peer.Connections(), 0);
}

struct Refusal {
    const char* name;
    const char* refuse;   // the command the server refuses
    const char* stepText; // the box of that step
};

void PrintTo(const Refusal& r, std::ostream* os)
{
    *os << r.name;
}

class PopRefusalTest : public PopBeforeSmtpTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PopRefusalTest, ShowsTheStepThenTheGeneralFailure)
{
    PlayPop3(peer, GetParam().refuse);
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    const std::vector<std::string> expected{"status:POP before SMTP 認証中...",
                                            "abort:show",
                                            "beep",
                                            std::string("message:") + GetParam().stepText,
                                            "abort:hide",
                                            "beep",
                                            "message:POP before SMTP 認証出来ませんでした。",
                                            "status:POP before SMTP 認証出来ませんでした。"};
    EXPECT_EQ(Events(), expected);
    EXPECT_TRUE(peer.WaitClientClosed());
    EXPECT_FALSE(sendAborted);
}

INSTANTIATE_TEST_SUITE_P(Steps, PopRefusalTest,
                         ::testing::Values(Refusal{"User", "USER", "ユーザー名が違います。"},
                                           Refusal{"Pass", "PASS", "パスワードが違います。"},
                                           Refusal{"Quit", "QUIT", "Err."}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(PopBeforeSmtpTest, NegativeGreetingWithoutBeepWhenBeepsAreOff)
{
    settings.BeepOnMessage = false;
    peer.onConnected = [](LoopbackPeer& p) { p.Send("-ERR go away\r\n"); };
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(Events().at(2), "message:POP3接続に失敗しました。");
}

TEST_F(PopBeforeSmtpTest, CloseBeforeTheGreetingFailsWithoutAStepText)
{
    peer.onConnected = [](LoopbackPeer& p) { p.CloseConnection(); };
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(U(ui.messages.at(0)), "POP before SMTP 認証出来ませんでした。");
}

TEST_F(PopBeforeSmtpTest, TheClientsOwnEventsAreBackAfterTheLogin)
{
    PlayPop3(peer);
    int mine = 0;
    client.OnRcvReady = [&] { ++mine; };
    EXPECT_EQ(Run(), PopLoginResult::Succeeded);
    EXPECT_EQ(mine, 0);
    ASSERT_TRUE(client.OnRcvReady);
    client.OnRcvReady();
    EXPECT_EQ(mine, 1);
}

} // namespace
} // namespace kitemail
