// The POP before SMTP login as transcripts: "S:" is what the server sends in
// one read (a line with its CR LF), "R:" raw bytes in one read, "C:" what
// the client must answer, "!:" the failure it reports,
// "X" the server closing, "E" a network error, "T" the silence limit, "TLS"
// the handshake after STLS done ("TLSFAIL": the certificate refused).

#include "mail/pop_dialogue.h"
#include "net/ktcp_error.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

using Steps = std::vector<std::string>;

void Record(Steps& out, const PopDialogue::Reaction& r)
{
    if (!r.command.empty()) {
        ASSERT_EQ(r.command.substr(r.command.size() - 2), "\r\n");
        out.push_back("C:" + r.command.substr(0, r.command.size() - 2));
    }
    if (r.startTls) {
        out.push_back("C:<starttls>");
    }
    if (!r.failText.empty()) {
        out.push_back("!:" + SjisToUtf8(r.failText));
    }
}

// Plays the server's side of steps and writes down the whole conversation
// as it happened, ending with the final state.
Steps Replay(const Steps& steps, const std::string& user, const std::string& password, bool stls)
{
    PopDialogue dialogue(user, password, stls);
    Steps happened;
    for (const std::string& step : steps) {
        if (step.rfind("C:", 0) == 0 || step.rfind("!:", 0) == 0) {
            continue;
        }
        happened.push_back(step);
        if (step == "X") {
            dialogue.Disconnected();
        } else if (step == "E") {
            Record(happened, dialogue.NetworkError());
        } else if (step == "T") {
            Record(happened, dialogue.Silence());
        } else if (step == "TLS") {
            Record(happened, dialogue.Encrypted());
        } else if (step == "TLSFAIL") {
            Record(happened, dialogue.TlsFailed({{TlsProblem::Expired}, "AB:CD", {}}));
        } else {
            Record(happened, dialogue.Received(step.substr(2) + (step[0] == 'S' ? "\r\n" : "")));
        }
    }
    happened.push_back("state " + std::to_string(dialogue.PopState()));
    return happened;
}

TEST(PopDialogue, Transcripts)
{
    const std::string yamada = Sj("山田");
    const Steps login{"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret"};
    const auto after = [](Steps head, const Steps& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const struct {
        const char* name;
        Steps steps;
        std::int32_t finalState;
        std::string user = "alice";
        std::string password = "secret";
        bool stls = false;
    } rows[] = {
        {"Success", after(login, {"S:+OK Logged in.", "C:QUIT", "S:+OK bye", "X"}), PopDialogue::kSucceeded},
        {"NegativeGreeting", {"S:-ERR busy", "!:POP3接続に失敗しました。"}, -1},
        {"GreetingWithoutStatus", {"S:hello", "!:POP3接続に失敗しました。"}, -1},
        {"UserRefused", {"S:+OK ready", "C:USER alice", "S:-ERR no such user", "!:ユーザー名が違います。"}, -1},
        {"PasswordRefused", after(login, {"S:-ERR [AUTH] Authentication failed.", "!:パスワードが違います。"}), -2},
        {"QuitRefused", after(login, {"S:+OK", "C:QUIT", "S:-ERR what", "!:Err."}), -3},
        // A close in any state but after QUIT's reply is a failure with no
        // text of its own.
        {"CloseBeforeGreeting", {"X"}, -1},
        {"CloseAfterPass", after(login, {"X"}), -2},
        {"CloseAfterQuitBeforeReply", after(login, {"S:+OK", "C:QUIT", "X"}), -3},
        {"NetworkErrorAfterPass", after(login, {"E", "!:POP3サーバー接続に失敗しました。"}), -2},
        {"SilentServer", {"T", "!:POP3サーバー接続に失敗しました。"}, -1},
        // QUIT acknowledged: logged in, whatever the server does after.
        {"AfterQuitsReply", after(login, {"S:+OK", "C:QUIT", "S:+OK", "S:-ERR", "T"}), PopDialogue::kSucceeded},
        // A reply is complete at its line end, however the network cut it,
        // and two replies in one read count as one.
        {"TwoRepliesInOneRead",
         {"S:+OK ready\r\n+OK", "C:USER alice", "S:+OK", "C:PASS secret"},
         PopDialogue::kPassSent},
        {"ReplySplitAcrossReads",
         {"R:+OK Dov", "R:ecot ready\r", "R:\n", "C:USER alice", "R:-", "R:ERR no\r\n", "!:ユーザー名が違います。"},
         -1},
        {"BareLineFeed", {"R:+OK\n", "C:USER alice"}, PopDialogue::kUserSent},
        // A status is "+OK" or "-ERR" and then a space or the line's end.
        {"PlusAlone", {"S:+", "!:POP3接続に失敗しました。"}, -1},
        {"OkRunOn", {"S:+OK", "C:USER alice", "S:+OKAY", "!:ユーザー名が違います。"}, -1},
        // A line that never ends is refused at the cap, not collected.
        {"LineTooLong", {"R:+OK " + std::string(5000, 'x'), "!:POP3接続に失敗しました。"}, -1},
        // Once ended, nothing moves it: no second failure, no sign flip back.
        {"EventsAfterTheEnd", after(login, {"S:-ERR", "!:パスワードが違います。", "E", "X", "S:+OK", "T"}), -2},
        // A line break inside the name or password would smuggle in a command.
        {"UserWithLineBreak", {"S:+OK", "!:ユーザー名が違います。"}, -1, "alice\r\nDELE 1"},
        {"PasswordWithLineBreak", {"S:+OK", "C:USER alice", "S:+OK", "!:パスワードが違います。"}, -1, "alice", "x\nDELE 1"},
        {"BytesUnchanged",
         {"S:+OK", "C:USER " + yamada, "S:+OK", "C:PASS p\xe9ss"},
         PopDialogue::kPassSent,
         yamada,
         "p\xe9ss"},
        {"EmptyPassword", {"S:+OK", "C:USER alice", "S:+OK", "C:PASS "}, PopDialogue::kPassSent, "alice", ""},
        // STLS first when asked; the login only once encrypted.
        {"StlsThenLogin",
         {"S:+OK", "C:STLS", "S:+OK Begin TLS", "C:<starttls>", "TLS", "C:USER alice", "S:+OK", "C:PASS secret"},
         PopDialogue::kPassSent, "alice", "secret", true},
        {"StlsRefused",
         {"S:+OK", "C:STLS", "S:-ERR no TLS", "!:POP3サーバーがSTLSを受け付けませんでした。"}, -PopDialogue::kStlsSent,
         "alice", "secret", true},
        // What came with the agreement was sent in the clear by anyone.
        {"MoreAfterTheAgreement",
         {"S:+OK", "C:STLS", "R:+OK go\r\n+OK injected\r\n", "!:POP3サーバーがSTLSの応答の後に余分なデータを送りました。"},
         -PopDialogue::kStlsSent, "alice", "secret", true},
        {"CertificateRefused",
         {"S:+OK", "C:STLS", "S:+OK", "C:<starttls>", "TLSFAIL",
          "!:POP3サーバーと暗号化した接続ができませんでした。\r\nサーバー証明書の有効期限が切れています。\r\n証明書の SHA-256: AB:CD"},
         -PopDialogue::kTlsStarting, "alice", "secret", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Steps expected = row.steps;
        expected.push_back("state " + std::to_string(row.finalState));
        EXPECT_EQ(Replay(row.steps, row.user, row.password, row.stls), expected);
    }
}

TEST(TKWinSockError, TextsOfTheTableAndCodesOutsideIt)
{
    // The table's first and last rows, a gap between rows, and codes outside it.
    const std::pair<std::int32_t, const char*> rows[] = {
        {10004, "WSAEINTR 中止命令により中断しました"}, {11004, "WSANO_DATA 見つかりません"},
        {10061, "WSAECONNREFUSED 接続が拒否されました"}, {10072, "エラーコード: 10072"},
        {12345, "エラーコード: 12345"}, {-1, "エラーコード: -1"}};
    for (const auto& [code, text] : rows) {
        EXPECT_EQ(SjisToUtf8(TKWinSockError(code).Message), text) << code;
        EXPECT_EQ(TKWinSockError(code).Code, code);
    }
}

} // namespace
} // namespace kitemail
