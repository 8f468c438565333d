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
using Events = std::vector<std::string>;

TEST(PopBeforeSmtp, EveryEndingShowsItsTextsInOrder)
{
    const std::string busy = "status:POP before SMTP 認証中...", show = "abort:show", hide = "abort:hide",
                      fail = "message:POP before SMTP 認証出来ませんでした。",
                      failed = "status:POP before SMTP 認証出来ませんでした。";
    using enum PopLoginResult;
    const struct {
        const char* refuse;
        std::string Settings::*cleared;
        bool beep;
        PopLoginResult result;
        Events shown;
    } rows[] = {
        {"USER", nullptr, true, Failed, {busy, show, "beep", "message:ユーザー名が違います。", hide, "beep", fail, failed}},
        {"PASS", nullptr, true, Failed, {busy, show, "beep", "message:パスワードが違います。", hide, "beep", fail, failed}},
        {"QUIT", nullptr, true, Failed, {busy, show, "beep", "message:Err.", hide, "beep", fail, failed}},
        {"greeting", nullptr, false, Failed, {busy, show, "message:POP3接続に失敗しました。", hide, fail, failed}},
        // Closed before the greeting: no step text of its own.
        {"close", nullptr, true, Failed, {busy, show, hide, "beep", fail, failed}},
        // The last to connect, so its lines are what the peer holds at the end.
        {"", nullptr, true, Succeeded, {busy, show, hide, "status:POP before SMTP 認証完了"}},
        // None of these connects.
        {"", &Settings::POP3PASS, true, Cancelled,
         {busy, "password:パスワードを入力して下さい。", "status:POP before SMTP 認証中止"}},
        {"", &Settings::POP3USER, true, NotConfigured, {"beep", "message:POP before SMTPの設定をしてください。"}},
        {"", &Settings::POP3Server, true, NotConfigured, {"beep", "message:POP before SMTPの設定をしてください。"}},
    };
    // The peer answers like a POP3 server: "+OK" to everything but "-ERR" to
    // the command named in refuse ("greeting": to the connection; "close":
    // closes instead of greeting), and closes after QUIT.
    test::LoopbackPeer peer;
    std::string refuse;
    peer.onConnected = [&](test::LoopbackPeer& p) {
        refuse == "close" ? p.CloseConnection() : p.Send(refuse == "greeting" ? "-ERR go away\r\n" : "+OK ready\r\n");
    };
    peer.onLine = [&](test::LoopbackPeer& p, const std::string& line) {
        const std::string verb = line.substr(0, line.find(' '));
        p.Send(verb == refuse ? "-ERR no\r\n" : verb == "QUIT" ? "+OK bye\r\n" : "+OK\r\n");
        if (verb == "QUIT" && verb != refuse) {
            p.CloseConnection();
        }
    };
    test::ScriptedUserInterface ui;
    TKTcpClient client;
    int mine = 0; // the caller's handler is put back every time
    client.OnRcvReady = [&] { ++mine; };
    bool sendAborted = false, enabled = true;
    PopBeforeSmtpOptions options;
    options.enableCommand = [&](bool on) { enabled = on; };
    options.showAbortButton = [&](bool visible) { ui.events.push_back(visible ? "abort:show" : "abort:hide"); };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.shown));
        refuse = row.refuse;
        Settings s;
        s.POP3USER = "alice";
        s.POP3PASS = "secret";
        s.POP3Server = "127.0.0.1";
        s.POP3Port = peer.Port();
        s.BeepOnMessage = row.beep;
        if (row.cleared != nullptr) {
            (s.*row.cleared).clear();
        }
        ui.Clear();
        ui.passwordAnswers = {std::nullopt};
        EXPECT_EQ(PopBeforeSmtp(s, ui, client, sendAborted, options), row.result);
        Events shown;
        for (const std::string& e : ui.events) {
            shown.push_back(SjisToUtf8(e));
        }
        EXPECT_EQ(shown, row.shown);
        EXPECT_TRUE(row.result != Failed || refuse == "close" || peer.WaitClientClosed());
        EXPECT_FALSE(client.Active());
        EXPECT_FALSE(sendAborted);
        EXPECT_TRUE(enabled);
    }
    WaitUntil([] { return false; }, 100ms);
    EXPECT_EQ(peer.Connections(), 6);
    EXPECT_EQ(peer.Lines(), (Events{"USER alice", "PASS secret", "QUIT"}));
    client.OnRcvReady();
    EXPECT_EQ(mine, 1);
}

} // namespace
} // namespace kitemail
