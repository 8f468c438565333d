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
#include "test_certs.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using namespace std::chrono_literals;

using Texts = std::vector<std::string>;

const std::string kFailed = "POP before SMTP 認証出来ませんでした。";
const std::string kUnreachable = "POP3サーバー接続に失敗しました。";

class PopLoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        settings.POP3USER = "alice";
        settings.POP3PASS = "secret";
        settings.POP3Server = "127.0.0.1";
        settings.BeepOnMessage = true;
        settings.ReplyTimeout = 5;
    }

    PopLoginResult Run() { return PopBeforeSmtp(settings, ui, client, sendAborted, options); }

    Texts Messages() const
    {
        Texts out;
        for (const std::string& m : ui.messages) {
            out.push_back(SjisToUtf8(m));
        }
        return out;
    }

    Settings settings;
    test::ScriptedUserInterface ui;
    TKTcpClient client;
    bool sendAborted = false;
    PopBeforeSmtpOptions options;
};

// One server for all the cases: they are logins in a row on one client, by
// host name, so the lookup is part of each login. (What each refusal shows
// is the scripted tests' business.)
TEST_F(PopLoginTest, AgainstARealServerInTheClearWithStlsOrTlsFromTheConnect)
{
    if (!test::DovecotServer::Available()) {
        GTEST_SKIP() << "dovecot cannot be started here";
    }
    test::DovecotServer dovecot;
    ASSERT_TRUE(dovecot.Start({{"alice", "secret"}, {"bob", "hunter2"}}, true)) << dovecot.Error();
    settings.POP3Server = "localhost";
    const std::string ca = Sj(test::CertFile("ca"));
    const std::string done = "POP before SMTP 認証完了";
    const std::string untrusted = "POP3サーバーと暗号化した接続ができませんでした。\r\n"
                                  "サーバー証明書の発行者が信頼されていません（CAFileで追加できます）。\r\n"
                                  "証明書の SHA-256: " + test::CertFingerprint("server");
    using enum PopLoginResult;
    const struct {
        const char* name;
        const char* user;
        const char* stored; // empty: asked for, and typed is the answer
        std::optional<std::string> typed;
        std::int32_t security;
        bool tlsPort;
        std::string caFile;
        PopLoginResult result;
        Texts messages;
    } rows[] = {
        {"Stored", "alice", "secret", {}, 0, false, "", Succeeded, {}},
        {"Typed", "bob", "", "hunter2", 0, false, "", Succeeded, {}},
        {"WrongPassword", "alice", "wrong", {}, 0, false, "", Failed, {"パスワードが違います。", kFailed}},
        // The same client logs in again after a failure.
        {"AgainAfterAFailure", "alice", "secret", {}, 0, false, "", Succeeded, {}},
        {"Stls", "alice", "secret", {}, 1, false, ca, Succeeded, {}},
        {"TlsFromTheConnect", "alice", "secret", {}, 2, true, ca, Succeeded, {}},
        {"StlsIssuerNotTrusted", "alice", "secret", {}, 1, false, "", Failed, {untrusted, kFailed}},
        {"TlsIssuerNotTrusted", "alice", "secret", {}, 2, true, "", Failed, {untrusted, kFailed}},
    };
    int logins = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings.POP3USER = row.user;
        settings.POP3PASS = row.stored;
        settings.POP3Security = row.security;
        settings.POP3Port = row.tlsPort ? dovecot.TlsPort() : dovecot.Port();
        settings.CAFile = row.caFile;
        ui.Clear();
        if (settings.POP3PASS.empty()) {
            ui.passwordAnswers.push_back(row.typed);
        }
        EXPECT_EQ(Run(), row.result) << dovecot.Log();
        EXPECT_TRUE(ui.passwordAnswers.empty());
        EXPECT_EQ(Messages(), row.messages);
        EXPECT_EQ(ui.beeps, static_cast<int>(row.messages.size()));
        ASSERT_FALSE(ui.statusTexts.empty());
        EXPECT_EQ(SjisToUtf8(ui.statusTexts.back()), row.result == Succeeded ? done : kFailed);
        logins += row.result == Succeeded ? 1 : 0;
        EXPECT_EQ(dovecot.LoginCount(), logins);
        EXPECT_FALSE(client.Active());
    }
    // The encrypted logins: dovecot names them so.
    EXPECT_NE(dovecot.Log().find("TLS"), std::string::npos);
}

TEST_F(PopLoginTest, RefusedPortAndUnknownHostFailAsConnectionFailures)
{
    const std::pair<const char*, std::uint16_t> servers[] = {{"127.0.0.1", test::ClosedLoopbackPort()},
                                                            {"no-such-pop-server.invalid", 110}};
    for (const auto& [server, port] : servers) {
        SCOPED_TRACE(server);
        settings.POP3Server = server;
        settings.POP3Port = port;
        ui.Clear();
        EXPECT_EQ(Run(), PopLoginResult::Failed);
        EXPECT_EQ(Messages(), (Texts{kUnreachable, kFailed}));
    }
}

TEST_F(PopLoginTest, SilentDrippingOrFloodingServerFailsInTimeAndInLittleMemory)
{
    settings.ReplyTimeout = 1;
    const struct {
        const char* name;
        Texts script;
        std::chrono::milliseconds atLeast;
    } rows[] = {
        {"NoGreeting", {"EXPECT_CLOSE"}, 950ms},
        {"NoReplyToPass", {"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "EXPECT_CLOSE"}, 950ms},
        // The deadline counts from the connection, not from the last byte.
        {"GreetingDripped", {"DRIP 300 +OK a very slow greeting", "EXPECT_CLOSE"}, 950ms},
        // A line that never ends is refused at once, not collected.
        {"LineWithoutEnd", {"FLOOD"}, 0ms},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedPeer peer(row.script);
        settings.POP3Port = peer.Port();
        ui.Clear();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(), PopLoginResult::Failed);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, row.atLeast);
        EXPECT_LT(took, 3s);
        EXPECT_EQ(Messages(), (Texts{row.atLeast.count() > 0 ? kUnreachable : "POP3接続に失敗しました。", kFailed}));
        EXPECT_TRUE(peer.Join());
        EXPECT_TRUE(peer.Failures().empty()) << ::testing::PrintToString(peer.Failures());
        // What the network held when the client gave up, not gigabytes.
        EXPECT_LT(peer.FloodBytes(), 64u << 20);
    }
}

TEST_F(PopLoginTest, EachReplyHasTheWholeDeadlineFromItsCommand)
{
    // Each reply takes most of the deadline; all of them together take longer.
    test::ScriptedPeer peer({"SLEEP 600", "S: +OK ready", "C: USER alice", "SLEEP 600", "S: +OK", "C: PASS secret",
                             "SLEEP 600", "S: +OK", "C: QUIT", "S: +OK bye", "CLOSE"});
    settings.POP3Port = peer.Port();
    settings.ReplyTimeout = 1;
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
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(settings.ReplyTimeout));
    EXPECT_TRUE(sendAborted);
    EXPECT_FALSE(client.Active());
    EXPECT_TRUE(peer.Join());
    EXPECT_TRUE(peer.Failures().empty());
}

} // namespace
} // namespace kitemail
