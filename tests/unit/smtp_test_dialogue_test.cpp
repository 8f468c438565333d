// The developer tool bar's SMTP test as transcripts: "S:" a server line in
// one read, "R:" raw bytes in one read, "C:" the client's bytes (CR LF
// shown as "|"), "!:" the failure it reports, "X" the server closing, "E" a
// network error, "T" the reply deadline, "A" "中止". The last line is the
// final SmtpTestState.

#include "mail/smtp_test_dialogue.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

using Steps = std::vector<std::string>;

std::string Shown(std::string bytes)
{
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at)) {
        bytes.replace(at, 2, "|");
    }
    return bytes;
}

Steps Replay(const Steps& steps, const SmtpTestMessage& message)
{
    SmtpTestDialogue dialogue(message);
    Steps happened;
    const auto record = [&](const SmtpTestDialogue::Reaction& r) {
        if (!r.send.empty()) {
            happened.push_back("C:" + SjisToUtf8(Shown(r.send)));
        }
        if (!r.failText.empty()) {
            happened.push_back("!:" + SjisToUtf8(r.failText));
        }
    };
    for (const std::string& step : steps) {
        if (step.starts_with("C:") || step.starts_with("!:")) {
            continue;
        }
        happened.push_back(step);
        if (step == "X") {
            dialogue.Disconnected();
        } else if (step == "A") {
            dialogue.Abort();
        } else if (step == "E") {
            record(dialogue.NetworkError());
        } else if (step == "T") {
            record(dialogue.Silence());
        } else {
            record(dialogue.Received(step.substr(2) + (step[0] == 'S' ? "\r\n" : "")));
        }
    }
    happened.push_back("state " + std::to_string(dialogue.State()));
    return happened;
}

TEST(SmtpTestDialogue, Transcripts)
{
    const SmtpTestMessage plain{"me@example.jp", "you@example.jp", Sj("件名"), Sj("本文") + "\r\n.dot\r\n."};
    const Steps upToData{"S:220 hi",  "C:HELO 127.0.0.1|", "S:250 ok", "C:MAIL FROM: me@example.jp|",
                         "S:250 ok",  "C:RCPT TO:you@example.jp|", "S:250 ok", "C:DATA|"};
    const auto after = [](Steps head, const Steps& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    // No MIME, no blank line before the body; a leading dot is doubled.
    const std::string block = "C:From: me@example.jp|Subject: 件名|本文|..dot|..|.|";
    const struct {
        const char* name;
        Steps steps;
        std::int32_t finalState;
        SmtpTestMessage message;
    } rows[] = {
        {"Delivered", after(upToData, {"S:354 go", block, "S:250 queued", "C:QUIT|", "S:221 bye"}), -7, plain},
        {"GreetingRefused", {"S:554 no", "!:接続 に失敗しました。"}, -1, plain},
        {"HeloRefused", {"S:220 hi", "C:HELO 127.0.0.1|", "S:500 what", "!:HELO に失敗しました。"}, -1, plain},
        {"SenderRefused", {"S:220 hi", "C:HELO 127.0.0.1|", "S:250 ok", "C:MAIL FROM: me@example.jp|", "S:550 no",
                           "!:MAIL FROM: に失敗しました。"}, -2, plain},
        {"RecipientRefused", {"S:220 hi", "C:HELO 127.0.0.1|", "S:250 ok", "C:MAIL FROM: me@example.jp|",
                              "S:250 ok", "C:RCPT TO:you@example.jp|", "S:550 unknown", "!:RCPT TO: に失敗しました。"},
         -3, plain},
        {"DataRefused", after(upToData, {"S:451 later", "!:DATA に失敗しました。"}), -4, plain},
        {"MessageRefused", after(upToData, {"S:354 go", block, "S:552 too big", "!:Data送信 に失敗しました。"}), -5,
         plain},
        {"QuitAnsweredOddly", after(upToData, {"S:354 go", block, "S:250 ok", "C:QUIT|", "S:250 ok",
                                               "!:QUIT に失敗しました。"}), -6, plain},
        // A reply is judged by its last line, however it arrives.
        {"MultiLineReply", {"S:220-hello", "S:220-more", "S:220 ready", "C:HELO 127.0.0.1|"}, 1, plain},
        {"SplitAcrossReads", {"R:22", "R:0 hi\r", "R:\n", "C:HELO 127.0.0.1|"}, 1, plain},
        {"MalformedReply", {"S:22O hi", "!:接続 に失敗しました。"}, -1, plain},
        {"LineTooLong", {"R:220-" + std::string(5000, 'x'), "!:接続 に失敗しました。"}, -1, plain},
        // Ends without a message of its own, or with the client's texts.
        {"CloseBeforeGreeting", {"X"}, -1, plain},
        {"CloseAfterHelo", {"S:220 hi", "C:HELO 127.0.0.1|", "X"}, -1, plain},
        {"NoServer", {"E", "!:smtp connection error."}, -1, plain},
        {"SilentServer", {"S:220 hi", "C:HELO 127.0.0.1|", "T", "!:smtp server did not answer in time."}, -1, plain},
        {"AbortButton", {"S:220 hi", "C:HELO 127.0.0.1|", "A"}, -1, plain},
        {"EventsAfterTheEnd", {"S:554 no", "!:接続 に失敗しました。", "E", "T", "X", "S:220 hi"}, -1, plain},
        // A line break in a box would smuggle in a command of its own.
        {"AddressWithLineBreak",
         {"S:220 hi", "C:HELO 127.0.0.1|", "S:250 ok", "C:MAIL FROM: me@example.jp|", "S:250 ok",
          "!:RCPT TO: に失敗しました。"},
         -3,
         {"me@example.jp", "you@example.jp\r\nRSET", "", ""}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Steps expected = row.steps;
        expected.push_back("state " + std::to_string(row.finalState));
        EXPECT_EQ(Replay(row.steps, row.message), expected);
    }
}

} // namespace
} // namespace kitemail
