// The POP before SMTP login as transcripts: "S:" is what the server sends in
// one read (a line with its CR LF), "R:" raw bytes in one read, "C:" what
// the client must answer, "!:" the failure it reports,
// "X" the server closing, "E" a network error, "T" the silence limit.

#include "platform/text_codec.h"
#include "send/pop_dialogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

struct Transcript {
    const char* name;
    std::vector<std::string> steps;
    std::int32_t finalState;
    const char* user = "alice";
    const char* password = "secret";
};

void PrintTo(const Transcript& t, std::ostream* os)
{
    *os << t.name;
}

void Record(std::vector<std::string>& out, const PopDialogue::Reaction& r)
{
    if (!r.command.empty()) {
        ASSERT_EQ(r.command.substr(r.command.size() - 2), "\r\n");
        out.push_back("C:" + r.command.substr(0, r.command.size() - 2));
    }
    if (!r.failText.empty()) {
        out.push_back("!:" + SjisToUtf8(r.failText));
    }
}

// Replays the server's side of the steps and writes down the whole
// conversation as it happened, for comparison with the expected one.
std::vector<std::string> Replay(const Transcript& t)
{
    PopDialogue dialogue(t.user, t.password);
    std::vector<std::string> happened;
    for (const std::string& step : t.steps) {
        if (step.rfind("S:", 0) == 0) {
            happened.push_back(step);
            Record(happened, dialogue.Received(step.substr(2) + "\r\n"));
        } else if (step.rfind("R:", 0) == 0) {
            happened.push_back(step);
            Record(happened, dialogue.Received(step.substr(2)));
        } else if (step == "X") {
            happened.push_back(step);
            dialogue.Disconnected();
        } else if (step == "E") {
            happened.push_back(step);
            Record(happened, dialogue.NetworkError());
        } else if (step == "T") {
            happened.push_back(step);
            Record(happened, dialogue.Silence());
        }
    }
    happened.push_back("state " + std::to_string(dialogue.PopState()));
    return happened;
}

class PopTranscript : public ::testing::TestWithParam<Transcript> {};

TEST_P(PopTranscript, Plays)
{
    const Transcript& t = GetParam();
    std::vector<std::string> expected = t.steps;
    expected.push_back("state " + std::to_string(t.finalState));
    EXPECT_EQ(Replay(t), expected);
}

const Transcript kTranscripts[] = {
    {"Success",
     {"S:+OK ready", "C:USER alice", "S:+OK", "C:PASS secret", "S:+OK Logged in.", "C:QUIT", "S:+OK bye", "X"},
     PopDialogue::kSucceeded},
    {"NegativeGreeting", {"S:-ERR busy", "!:POP3接続に失敗しました。"}, -1},
    {"GreetingWithoutStatus", {"S:hello", "!:POP3接続に失敗しました。"}, -1},
    {"UserRefused", {"S:+OK ready", "C:USER alice", "S:-ERR no such user", "!:ユーザー名が違います。"}, -1},
    {"PasswordRefused",
     {"S:+OK ready", "C:USER alice", "S:+OK", "C:PASS secret", "S:-ERR [AUTH] Authentication failed.",
      "!:パスワードが違います。"},
     -2},
    {"QuitRefused",
     {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "S:+OK", "C:QUIT", "S:-ERR what", "!:Err."},
     -3},
    // A close in any state but after QUIT's reply is a failure with no text
    // of its own.
    {"CloseBeforeGreeting", {"X"}, -1},
    {"CloseAfterUser", {"S:+OK", "C:USER alice", "X"}, -1},
    {"CloseAfterPass", {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "X"}, -2},
    {"CloseAfterQuitBeforeReply", {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "S:+OK", "C:QUIT", "X"}, -3},
    {"NetworkErrorAtOnce", {"E", "!:POP3サーバー接続に失敗しました。"}, -1},
    {"NetworkErrorAfterPass",
     {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "E", "!:POP3サーバー接続に失敗しました。"},
     -2},
    {"SilentServer", {"T", "!:POP3サーバー接続に失敗しました。"}, -1},
    {"SilentAfterPass", {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "T", "!:POP3サーバー接続に失敗しました。"},
     -2},
    // Logged in and QUIT acknowledged: a server that never closes has still
    // let us in.
    {"SilentAfterQuitReply",
     {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "S:+OK", "C:QUIT", "S:+OK", "T"},
     PopDialogue::kSucceeded},
    // Greeting and a second reply in one read count as one reply.
    {"TwoRepliesInOneRead",
     {"S:+OK ready\r\n+OK", "C:USER alice", "S:+OK", "C:PASS secret", "S:+OK", "C:QUIT", "S:+OK", "X"},
     PopDialogue::kSucceeded},
    // A reply is complete at its line end, however the network cut it.
    {"ReplySplitAcrossReads",
     {"R:+OK Dov", "R:ecot ready\r", "R:\n", "C:USER alice", "R:-", "R:ERR no\r\n", "!:ユーザー名が違います。"},
     -1},
    {"BareLineFeedEndsAReply", {"R:+OK ready\n", "C:USER alice"}, PopDialogue::kUserSent},
    {"BarePlusIsPositive", {"S:+", "C:USER alice"}, PopDialogue::kUserSent},
    // Once ended, nothing moves it: no second failure, no sign flip back.
    {"EventsAfterTheEndAreIgnored",
     {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "S:-ERR", "!:パスワードが違います。", "E", "X", "S:+OK",
      "T"},
     -2},
    {"RepliesAfterQuitAcknowledgedAreIgnored",
     {"S:+OK", "C:USER alice", "S:+OK", "C:PASS secret", "S:+OK", "C:QUIT", "S:+OK", "S:-ERR", "X"},
     PopDialogue::kSucceeded},
    // A line break inside the name or password would smuggle in a command.
    {"UserWithLineBreakNeverSent", {"S:+OK", "!:ユーザー名が違います。"}, -1, "alice\r\nDELE 1", "secret"},
    {"PasswordWithLineBreakNeverSent",
     {"S:+OK", "C:USER alice", "S:+OK", "!:パスワードが違います。"},
     -1,
     "alice",
     "secret\nDELE 1"},
    {"EmptyPasswordIsSent", {"S:+OK", "C:USER alice", "S:+OK", "C:PASS "}, PopDialogue::kPassSent, "alice", ""},
};

INSTANTIATE_TEST_SUITE_P(Pop, PopTranscript, ::testing::ValuesIn(kTranscripts),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PopDialogue, SendsNameAndPasswordBytesUnchanged)
{
    const std::string user = Sj("山田");
    PopDialogue d(user, "p\xe9ss");
    EXPECT_EQ(d.Received("+OK\r\n").command, "USER " + user + "\r\n");
    EXPECT_EQ(d.Received("+OK\r\n").command, "PASS p\xe9ss\r\n");
}

} // namespace
} // namespace kitemail
