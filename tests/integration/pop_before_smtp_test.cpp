// POP before SMTP against a real POP3 server (dovecot, started here on a
// free loopback port) and, for the faults a real server will not produce on
// demand and for what the user sees of each ending, against a scripted peer.

#include "dovecot_server.h"
#include "golden.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "scripted_ui.h"
#include "send/pop_before_smtp.h"
#include "settings/settings.h"
#include "test_certs.h"
#include "transcript.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using Texts = std::vector<std::string>;

const std::string kFailed = "POP before SMTP 認証出来ませんでした。";

class PopLoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        settings.BeepOnMessage = true;
        settings.ReplyTimeout = 5;
    }

    PopLoginResult Run() { return PopBeforeSmtp(settings, ui, client, sendAborted, options); }

    static std::string Name(PopLoginResult result)
    {
        const char* const names[] = {"NotConfigured", "Cancelled", "Succeeded", "Failed"};
        return names[static_cast<int>(result)];
    }
    // Texts shown, separated by " | ".
    static std::string Joined(const Texts& texts)
    {
        std::string out;
        for (const std::string& text : texts) {
            out += (out.empty() ? "" : " | ") + text;
        }
        return out;
    }

    Settings settings;
    test::ScriptedUserInterface ui;
    TKTcpClient client;
    bool sendAborted = false;
    PopBeforeSmtpOptions options;
};

// The transcripts of tests/data/transcripts/pop_login/, played by a scripted
// peer (its steps in scripted_peer.h; none: nothing listens). Headers: user,
// password and server (instead of alice, secret and the peer; {none}: empty), beep (no:
// none), reply-timeout (s), abort-after (ms: the abort button then),
// min-wait and max-wait (ms), result, and shown: what the user sees, in
// order, separated by " | " (status texts, boxes, beeps, the prompt and the
// abort button).
class PopLoginTranscript : public PopLoginTest, public ::testing::WithParamInterface<std::filesystem::path> {};

TEST_P(PopLoginTranscript, ShowsItsTextsInOrderAndEndsInTime)
{
    const test::Transcript t = test::ReadTranscript(GetParam(), {{"none", ""}});
    std::optional<test::ScriptedPeer> peer;
    if (!t.steps.empty()) {
        peer.emplace(t.steps);
    }
    settings.POP3Port = peer ? peer->Port() : test::ClosedLoopbackPort();
    settings.POP3USER = t.Header("user", "alice");
    settings.POP3PASS = t.Header("password", "secret");
    settings.POP3Server = t.Header("server", "127.0.0.1");
    settings.BeepOnMessage = t.Header("beep") != "no";
    settings.ReplyTimeout = std::stoi(t.Header("reply-timeout", "5"));
    ui.passwordAnswers = {std::nullopt};
    const auto mine = [] {}; // the caller's handler, put back afterwards
    client.OnRcvReady = mine;
    bool enabled = true;
    options.enableCommand = [&](bool on) { enabled = on; };
    options.showAbortButton = [&](bool visible) { ui.events.push_back(visible ? "abort:show" : "abort:hide"); };
    LoopTimer press;
    if (t.Has("abort-after")) {
        const std::chrono::milliseconds after(std::stoi(t.Header("abort-after")));
        press.Start(after, true, [this] { sendAborted = true; });
    }
    const auto start = std::chrono::steady_clock::now();
    const PopLoginResult result = Run();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(Name(result), t.Header("result"));
    EXPECT_EQ(SjisToUtf8(Joined(ui.events)), SjisToUtf8(t.Header("shown")));
    EXPECT_GE(took, std::chrono::milliseconds(std::stoi(t.Header("min-wait", "0"))));
    EXPECT_LE(took, std::chrono::milliseconds(std::stoi(t.Header("max-wait", "8000"))));
    EXPECT_TRUE(!peer || peer->Join());
    EXPECT_EQ(peer ? peer->Failures() : Texts{}, Texts{});
    // What the network held when the client gave up, not gigabytes.
    EXPECT_LT(peer ? peer->FloodBytes() : 0, 64u << 20);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(sendAborted, t.Has("abort-after"));
    EXPECT_TRUE(enabled);
    EXPECT_NE(client.OnRcvReady.target<decltype(mine)>(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, PopLoginTranscript, ::testing::ValuesIn(test::TranscriptFiles("pop_login")),
                         [](const auto& row) { return test::TranscriptName(row.param); });

// One server for all the steps of tests/data/tables/pop_login_dovecot.tsv:
// logins in a row on one client. (What each refusal shows is the scripted
// tests' business.)
TEST_F(PopLoginTest, AgainstARealServerInTheClearWithStlsOrTlsFromTheConnect)
{
    if (!test::DovecotServer::Available()) {
        GTEST_SKIP() << "dovecot cannot be started here";
    }
    test::DovecotServer dovecot;
    ASSERT_TRUE(dovecot.Start({{"alice", "secret"}, {"bob", "hunter2"}}, true)) << dovecot.Error();
    settings.POP3Server = "localhost";
    const std::map<std::string, Pop3Security> security = {
        {"None", Pop3Security::None}, {"Stls", Pop3Security::Stls}, {"Tls", Pop3Security::Tls}};
    int logins = 0;
    for (const test::TableRow& row : test::ReadTable("pop_login_dovecot")) {
        SCOPED_TRACE(row.name);
        settings.POP3USER = row[0];
        settings.POP3PASS = row[1];
        settings.POP3Security = security.at(row[3]);
        settings.POP3Port = row[4] == "tls" ? dovecot.TlsPort() : dovecot.Port();
        settings.CAFile = row[5] == "<ca>" ? Sj(test::CertFile("ca")) : "";
        ui.Clear();
        if (settings.POP3PASS.empty()) {
            ui.passwordAnswers.push_back(row[2]);
        }
        const PopLoginResult result = Run();
        EXPECT_EQ(Name(result), row[6]) << dovecot.Log();
        EXPECT_TRUE(ui.passwordAnswers.empty());
        std::string messages = row[7];
        if (const std::size_t at = messages.find("<fingerprint>"); at != std::string::npos) {
            messages.replace(at, 13, test::CertFingerprint("server"));
        }
        EXPECT_EQ(SjisToUtf8(Joined(ui.messages)), messages);
        EXPECT_EQ(ui.beeps, static_cast<int>(ui.messages.size()));
        ASSERT_FALSE(ui.statusTexts.empty());
        const bool succeeded = result == PopLoginResult::Succeeded;
        EXPECT_EQ(SjisToUtf8(ui.statusTexts.back()), succeeded ? "POP before SMTP 認証完了" : kFailed);
        logins += succeeded ? 1 : 0;
        EXPECT_EQ(dovecot.LoginCount(), logins);
        EXPECT_FALSE(client.Active());
    }
    // The encrypted logins: dovecot names them so.
    EXPECT_NE(dovecot.Log().find("TLS"), std::string::npos);
}

} // namespace
} // namespace kitemail
