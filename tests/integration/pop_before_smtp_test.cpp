// POP before SMTP against a real POP3 server (dovecot, started here on a
// free loopback port) and, for the faults a real server will not produce on
// demand and for what the user sees of each ending, against a scripted peer.

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

    static Texts Utf8(const Texts& texts)
    {
        Texts out;
        for (const std::string& t : texts) {
            out.push_back(SjisToUtf8(t));
        }
        return out;
    }

    Settings settings;
    test::ScriptedUserInterface ui;
    TKTcpClient client;
    bool sendAborted = false;
    PopBeforeSmtpOptions options;
};

// What the user sees of each ending, in order: status texts, boxes, beeps,
// the prompt and the abort button.
TEST_F(PopLoginTest, EveryEndingShowsItsTextsInOrder)
{
    const std::string busy = "status:POP before SMTP 認証中...", show = "abort:show", hide = "abort:hide",
                      fail = "message:" + kFailed, failed = "status:" + kFailed;
    using enum PopLoginResult;
    const Texts user = {"S: +OK ready", "C: USER alice"}, pass = {"S: +OK", "C: PASS secret"},
                quit = {"S: +OK", "C: QUIT"};
    const auto join = [](std::initializer_list<Texts> parts) {
        Texts all;
        for (const Texts& p : parts) {
            all.insert(all.end(), p.begin(), p.end());
        }
        return all;
    };
    const struct {
        Texts server; // empty: nothing listens
        std::string Settings::*field;
        const char* value; // for the field
        bool beep;
        PopLoginResult result;
        Texts shown;
    } rows[] = {
        {join({user, {"S: -ERR no", "EXPECT_CLOSE"}}), nullptr, "", true, Failed,
         {busy, show, "beep", "message:ユーザー名が違います。", hide, "beep", fail, failed}},
        // Which refusal says what is the dialogue's business (its transcripts).
        {{"S: -ERR go away", "EXPECT_CLOSE"}, nullptr, "", false, Failed,
         {busy, show, "message:POP3接続に失敗しました。", hide, fail, failed}},
        // Closed before the greeting: no step text of its own.
        {{"CLOSE"}, nullptr, "", true, Failed, {busy, show, hide, "beep", fail, failed}},
        {join({user, pass, quit, {"S: +OK bye", "CLOSE"}}), nullptr, "", true, Succeeded,
         {busy, show, hide, "status:POP before SMTP 認証完了"}},
        // A refused port and an unknown host fail as connection failures.
        {{}, nullptr, "", false, Failed, {busy, show, "message:" + kUnreachable, hide, fail, failed}},
        {{}, &Settings::POP3Server, "no-such-pop-server.invalid", false, Failed,
         {busy, show, "message:" + kUnreachable, hide, fail, failed}},
        // None of these connects.
        {{}, &Settings::POP3PASS, "", true, Cancelled,
         {busy, "password:パスワードを入力して下さい。", "status:POP before SMTP 認証中止"}},
        {{}, &Settings::POP3USER, "", true, NotConfigured, {"beep", "message:POP before SMTPの設定をしてください。"}},
        {{}, &Settings::POP3Server, "", true, NotConfigured, {"beep", "message:POP before SMTPの設定をしてください。"}},
    };
    int mine = 0; // the caller's handler is put back every time
    client.OnRcvReady = [&] { ++mine; };
    bool enabled = true;
    options.enableCommand = [&](bool on) { enabled = on; };
    options.showAbortButton = [&](bool visible) { ui.events.push_back(visible ? "abort:show" : "abort:hide"); };
    const Settings configured = settings;
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.shown));
        std::optional<test::ScriptedPeer> peer;
        if (!row.server.empty()) {
            peer.emplace(row.server);
        }
        settings = configured;
        settings.POP3Port = peer ? peer->Port() : test::ClosedLoopbackPort();
        settings.BeepOnMessage = row.beep;
        if (row.field != nullptr) {
            settings.*row.field = row.value;
        }
        ui.Clear();
        ui.passwordAnswers = {std::nullopt};
        EXPECT_EQ(Run(), row.result);
        EXPECT_EQ(Utf8(ui.events), row.shown);
        EXPECT_TRUE(!peer || peer->Join());
        EXPECT_EQ(peer ? peer->Failures() : Texts{}, Texts{});
        EXPECT_FALSE(client.Active());
        EXPECT_FALSE(sendAborted);
        EXPECT_TRUE(enabled);
    }
    client.OnRcvReady();
    EXPECT_EQ(mine, 1);
}

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
        Pop3Security security;
        bool tlsPort;
        std::string caFile;
        PopLoginResult result;
        Texts messages;
    } rows[] = {
        {"Stored", "alice", "secret", {}, Pop3Security::None, false, "", Succeeded, {}},
        {"Typed", "bob", "", "hunter2", Pop3Security::None, false, "", Succeeded, {}},
        {"WrongPassword", "alice", "wrong", {}, Pop3Security::None, false, "", Failed, {"パスワードが違います。", kFailed}},
        // The same client logs in again after a failure.
        {"AgainAfterAFailure", "alice", "secret", {}, Pop3Security::None, false, "", Succeeded, {}},
        {"Stls", "alice", "secret", {}, Pop3Security::Stls, false, ca, Succeeded, {}},
        {"TlsFromTheConnect", "alice", "secret", {}, Pop3Security::Tls, true, ca, Succeeded, {}},
        {"StlsIssuerNotTrusted", "alice", "secret", {}, Pop3Security::Stls, false, "", Failed, {untrusted, kFailed}},
        {"TlsIssuerNotTrusted", "alice", "secret", {}, Pop3Security::Tls, true, "", Failed, {untrusted, kFailed}},
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
        EXPECT_EQ(Utf8(ui.messages), row.messages);
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
        EXPECT_EQ(Utf8(ui.messages),
                  (Texts{row.atLeast.count() > 0 ? kUnreachable : "POP3接続に失敗しました。", kFailed}));
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
    EXPECT_EQ(Run(), PopLoginResult::Succeeded) << ::testing::PrintToString(Utf8(ui.messages));
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
