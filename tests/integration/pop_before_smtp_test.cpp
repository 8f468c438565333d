// POP before SMTP against a real POP3 server (dovecot, started here on a
// free loopback port) and, for the faults a real server will not produce on
// demand, against a scripted peer.

#include "dovecot_server.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "scripted_ui.h"
#include "send/pop_before_smtp.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

using namespace std::chrono_literals;

const std::string kFailed = "POP before SMTP 認証出来ませんでした。";

class PopLoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        settings.POP3USER = "alice";
        settings.POP3PASS = "secret";
        settings.POP3Server = "127.0.0.1";
        settings.BeepOnMessage = true;
        options.silenceLimit = 5s;
    }

    void StartDovecot()
    {
        if (!test::DovecotServer::Available()) {
            GTEST_SKIP() << "dovecot cannot be started here";
        }
        ASSERT_TRUE(dovecot.Start({{"alice", "secret"}, {"bob", "hunter2"}})) << dovecot.Error();
        settings.POP3Port = dovecot.Port();
    }

    PopLoginResult Run() { return PopBeforeSmtp(settings, ui, client, sendAborted, options); }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> out;
        for (const std::string& m : ui.messages) {
            out.push_back(SjisToUtf8(m));
        }
        return out;
    }
    std::string LastStatus() const { return ui.statusTexts.empty() ? "" : SjisToUtf8(ui.statusTexts.back()); }

    test::DovecotServer dovecot;
    Settings settings;
    test::ScriptedUserInterface ui;
    TKTcpClient client;
    bool sendAborted = false;
    PopBeforeSmtpOptions options;
};

TEST_F(PopLoginTest, RightPasswordLogsIn)
{
    StartDovecot();
    EXPECT_EQ(Run(), PopLoginResult::Succeeded) << dovecot.Log();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(LastStatus(), "POP before SMTP 認証完了");
    EXPECT_EQ(dovecot.LoginCount(), 1);
    EXPECT_FALSE(client.Active());
}

TEST_F(PopLoginTest, TypedPasswordLogsInWhenNoneIsStored)
{
    // By host name this time, so the lookup is part of the login.
    StartDovecot();
    settings.POP3Server = "localhost";
    settings.POP3USER = "bob";
    settings.POP3PASS.clear();
    ui.passwordAnswers.push_back(std::string("hunter2"));
    EXPECT_EQ(Run(), PopLoginResult::Succeeded) << dovecot.Log();
    EXPECT_EQ(SjisToUtf8(ui.events.at(1)), "password:パスワードを入力して下さい。");
    EXPECT_TRUE(settings.POP3PASS.empty());
    EXPECT_EQ(dovecot.LoginCount(), 1);
}

TEST_F(PopLoginTest, WrongPasswordFailsAtThePasswordStep)
{
    StartDovecot();
    settings.POP3PASS = "wrong";
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"パスワードが違います。", kFailed}));
    EXPECT_EQ(ui.beeps, 2);
    EXPECT_EQ(LastStatus(), kFailed);
    EXPECT_EQ(dovecot.LoginCount(), 0);
}

TEST_F(PopLoginTest, WrongUserFails)
{
    // This server does not tell at USER whether the name exists, so the
    // refusal comes with the password.
    StartDovecot();
    settings.POP3USER = "carol";
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"パスワードが違います。", kFailed}));
    EXPECT_EQ(dovecot.LoginCount(), 0);
}

TEST_F(PopLoginTest, CancelledPromptDoesNotLogIn)
{
    StartDovecot();
    settings.POP3PASS.clear();
    ui.passwordAnswers.push_back(std::nullopt);
    EXPECT_EQ(Run(), PopLoginResult::Cancelled);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(LastStatus(), "POP before SMTP 認証中止");
    EXPECT_FALSE(sendAborted);
    EXPECT_EQ(dovecot.LoginCount(), 0);
}

TEST_F(PopLoginTest, LoginsInARowOnOneClient)
{
    StartDovecot();
    EXPECT_EQ(Run(), PopLoginResult::Succeeded);
    settings.POP3PASS = "wrong";
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    settings.POP3PASS = "secret";
    ui.Clear();
    EXPECT_EQ(Run(), PopLoginResult::Succeeded);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(dovecot.LoginCount(), 2);
}

TEST_F(PopLoginTest, RefusedPortFailsAsAConnectionFailure)
{
    settings.POP3Port = test::ClosedLoopbackPort();
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"POP3サーバー接続に失敗しました。", kFailed}));
}

TEST_F(PopLoginTest, UnknownHostFailsAsAConnectionFailure)
{
    settings.POP3Server = "no-such-pop-server.invalid";
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"POP3サーバー接続に失敗しました。", kFailed}));
}

struct SilentCase {
    const char* name;
    std::vector<std::string> script;
};

void PrintTo(const SilentCase& c, std::ostream* os)
{
    *os << c.name;
}

class SilentServerTest : public PopLoginTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(SilentServerTest, EndsAsAFailedLoginAfterTheSilenceLimit)
{
    test::ScriptedPeer peer(GetParam().script);
    settings.POP3Port = peer.Port();
    options.silenceLimit = 300ms;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 3s);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"POP3サーバー接続に失敗しました。", kFailed}));
    EXPECT_TRUE(peer.Join());
    EXPECT_TRUE(peer.Failures().empty()) << ::testing::PrintToString(peer.Failures());
}

INSTANTIATE_TEST_SUITE_P(
    Pop, SilentServerTest,
    ::testing::Values(SilentCase{"NoGreeting", {"EXPECT_CLOSE"}},
                      SilentCase{"NoAnswerToPass",
                                 {"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "EXPECT_CLOSE"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PopLoginTest, SilenceLimitCountsFromTheLastReply)
{
    // Each reply comes after most of the limit: slow, but never silent for
    // the whole limit.
    test::ScriptedPeer peer({"SLEEP 200", "S: +OK ready", "C: USER alice", "SLEEP 200", "S: +OK", "C: PASS secret",
                             "SLEEP 200", "S: +OK", "C: QUIT", "S: +OK bye", "CLOSE"});
    settings.POP3Port = peer.Port();
    options.silenceLimit = 400ms;
    EXPECT_EQ(Run(), PopLoginResult::Succeeded) << ::testing::PrintToString(Messages());
    EXPECT_TRUE(peer.Join());
}

TEST_F(PopLoginTest, AbortDuringTheWaitStopsTheSend)
{
    test::ScriptedPeer peer({"EXPECT_CLOSE"});
    settings.POP3Port = peer.Port();
    LoopTimer press;
    press.Start(100ms, true, [this] { sendAborted = true; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(), PopLoginResult::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, options.silenceLimit);
    EXPECT_TRUE(sendAborted);
    EXPECT_FALSE(client.Active());
    EXPECT_TRUE(peer.Join());
    EXPECT_TRUE(peer.Failures().empty());
}

} // namespace
} // namespace kitemail
