// The POP before SMTP step as the user sees it (status texts, boxes, beeps,
// the prompt and the abort button) against a scripted POP3 peer.

#include "platform/event_loop.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/pop_before_smtp.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using Events = std::vector<std::string>;

TEST(PopBeforeSmtp, EveryEndingShowsItsTextsInOrder)
{
    const std::string busy = "status:POP before SMTP 認証中...", show = "abort:show", hide = "abort:hide",
                      fail = "message:POP before SMTP 認証出来ませんでした。",
                      failed = "status:POP before SMTP 認証出来ませんでした。";
    using enum PopLoginResult;
    using Script = std::vector<std::string>;
    const Script user = {"S: +OK ready", "C: USER alice"}, pass = {"S: +OK", "C: PASS secret"},
                 quit = {"S: +OK", "C: QUIT"};
    const auto join = [](std::initializer_list<Script> parts) {
        Script all;
        for (const Script& p : parts) {
            all.insert(all.end(), p.begin(), p.end());
        }
        return all;
    };
    const Script refused = {"S: -ERR no", "EXPECT_CLOSE"};
    const struct {
        Script server; // empty: nothing connects
        std::string Settings::*cleared;
        bool beep;
        PopLoginResult result;
        Events shown;
    } rows[] = {
        {join({user, refused}), nullptr, true, Failed,
         {busy, show, "beep", "message:ユーザー名が違います。", hide, "beep", fail, failed}},
        // Which refusal says what is the dialogue's business (its transcripts).
        {{"S: -ERR go away", "EXPECT_CLOSE"}, nullptr, false, Failed,
         {busy, show, "message:POP3接続に失敗しました。", hide, fail, failed}},
        // Closed before the greeting: no step text of its own.
        {{"CLOSE"}, nullptr, true, Failed, {busy, show, hide, "beep", fail, failed}},
        {join({user, pass, quit, {"S: +OK bye", "CLOSE"}}), nullptr, true, Succeeded,
         {busy, show, hide, "status:POP before SMTP 認証完了"}},
        // None of these connects.
        {{}, &Settings::POP3PASS, true, Cancelled,
         {busy, "password:パスワードを入力して下さい。", "status:POP before SMTP 認証中止"}},
        {{}, &Settings::POP3USER, true, NotConfigured, {"beep", "message:POP before SMTPの設定をしてください。"}},
        {{}, &Settings::POP3Server, true, NotConfigured, {"beep", "message:POP before SMTPの設定をしてください。"}},
    };
    test::EnsureCoreApplication();
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
        std::optional<test::ScriptedPeer> peer;
        if (!row.server.empty()) {
            peer.emplace(row.server);
        }
        Settings s;
        s.POP3USER = "alice";
        s.POP3PASS = "secret";
        s.POP3Server = "127.0.0.1";
        s.POP3Port = peer ? peer->Port() : test::ClosedLoopbackPort();
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
        EXPECT_TRUE(!peer || peer->Join());
        EXPECT_EQ(peer ? peer->Failures() : Events{}, Events{});
        EXPECT_FALSE(client.Active());
        EXPECT_FALSE(sendAborted);
        EXPECT_TRUE(enabled);
    }
    client.OnRcvReady();
    EXPECT_EQ(mine, 1);
}

} // namespace
} // namespace kitemail
