// The dialogues with a server as transcripts (tests/data/transcripts/, the
// format in support/transcript.h), one test per file: the mail component
// through the fake socket layer, the POP3 login and the loopback SMTP test
// without I/O.

#include "file_bytes.h"
#include "mail/pop_dialogue.h"
#include "mail/smtp_test_dialogue.h"
#include "smtp_player.h"
#include "transcript.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using test::Expected;
using test::Replay;
using test::Steps;
using test::Transcript;
using Files = ::testing::TestWithParam<std::filesystem::path>;

std::string TranscriptRowName(const ::testing::TestParamInfo<std::filesystem::path>& row)
{
    return test::TranscriptName(row.param);
}

// The size SIZE is compared with: the message as the plain dialogue writes
// it, without its final ".".
std::string PlainMessageSize()
{
    test::SmtpPlayer player;
    player.Run(test::SmtpPlayer::Opening("smtp-accepted"));
    const std::string& written = player.socket.written;
    const std::size_t data = written.find("DATA\r\n") + 6;
    return std::to_string(written.find("\r\n.\r\n", data) + 2 - data);
}

std::string SessionSteps(const std::vector<SendMailInfo>& infos)
{
    std::string names;
    for (const SendMailInfo info : infos) {
        const char* name = info == SendMailInfo::Info_TlsStarting      ? "TlsStarting"
                           : info == SendMailInfo::Info_TlsEstablished ? "TlsEstablished"
                           : info == SendMailInfo::Info_Authenticating ? "Authenticating"
                           : info == SendMailInfo::Info_Authenticated  ? "Authenticated"
                                                                       : "?";
        names += (names.empty() ? "" : " ") + std::string(name);
    }
    return names;
}

// Headers: security (none, starttls, tls), auth (none, best, plain, login),
// server (the address connected to), connect (fails: the steps tell how),
// reply-timeout and data-end-timeout (ms), from, to, subject; checked at the end: progress
// (the session's steps), detail and server-line (of LastFailure()),
// connects (how many were tried).
using SmtpTranscript = Files;

TEST_P(SmtpTranscript, Plays)
{
    test::Variables names = test::SmtpPlayer::Names();
    if (test::ReadBytes(GetParam()).find("{size}") != std::string::npos) {
        names["size"] = PlainMessageSize();
    }
    const Transcript t = test::ReadTranscript(GetParam(), names);
    test::SmtpPlayer player;
    const std::map<std::string, SmtpSecurity> securities = {
        {"none", SmtpSecurity::None}, {"starttls", SmtpSecurity::StartTls}, {"tls", SmtpSecurity::Tls}};
    const std::map<std::string, SmtpAuth> auths = {
        {"none", SmtpAuth::None}, {"best", SmtpAuth::Best}, {"plain", SmtpAuth::Plain}, {"login", SmtpAuth::Login}};
    player.mail.Submission = {securities.at(t.Header("security", "none")), auths.at(t.Header("auth", "none")), "taro",
                              "secret", {}};
    player.acceptAddress = t.Header("server", player.acceptAddress);
    player.acceptConnection = t.Header("connect") != "fails";
    player.mail.FROM_Address = t.Header("from", player.mail.FROM_Address);
    player.mail.TO_Address = t.Header("to", player.mail.TO_Address);
    player.mail.Subject = t.Header("subject", player.mail.Subject);
    for (auto [header, timeout] : {std::pair{"reply-timeout", &SendMail::ReplyTimeout},
                                   std::pair{"data-end-timeout", &SendMail::DataEndTimeout}}) {
        if (t.Has(header)) {
            player.mail.*timeout = std::chrono::milliseconds(std::stoi(t.Header(header)));
        }
    }
    std::vector<std::string> shown;
    player.rec.onInfo = [&shown](SendMailInfo info, const std::string& text) {
        if (info == SendMailInfo::Info_Sending) {
            shown.push_back(text);
        }
    };
    std::vector<SendMailInfo> session;
    player.mail.OnSessionInfo = [&session](SendMail&, SendMailInfo info) { session.push_back(info); };

    EXPECT_EQ(player.Run(t.steps), Expected(t));
    EXPECT_FALSE(player.mail.Sending());
    if (t.Header("end") != "done 0") {
        // A failure clears the recipients, and only those.
        EXPECT_TRUE(player.mail.TO_Address.empty() && player.mail.ListTo.empty());
        EXPECT_EQ(player.mail.MailText, std::vector<std::string>{"hello"});
    }
    for (const std::string& text : shown) {
        EXPECT_EQ(text.find("c2VjcmV0"), std::string::npos) << "a password shown in progress: " << text;
    }
    const std::pair<const char*, std::string> checked[] = {{"progress", SessionSteps(session)},
                                                            {"detail", player.mail.LastFailure().detail},
                                                            {"connects", std::to_string(player.socket.connects)},
                                                            {"server-line", player.mail.LastFailure().serverLine}};
    for (const auto& [header, actual] : checked) {
        if (t.Has(header)) {
            EXPECT_EQ(actual, t.Header(header)) << header;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SmtpTranscript, ::testing::ValuesIn(test::TranscriptFiles("smtp")), TranscriptRowName);

// What a dialogue without I/O did in answer: the bytes it sends, line by
// line, the handshake it starts, the failure it reports.
Steps Shown(const std::string& sent, bool startTls, const std::string& failText)
{
    Steps lines;
    for (std::size_t at = 0; at < sent.size();) {
        const std::size_t end = sent.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "no line end: " << sent;
        lines.push_back("C: " + sent.substr(at, end - at));
        at = end == std::string::npos ? sent.size() : end + 2;
    }
    if (startTls) {
        lines.push_back("C: <starttls>");
    }
    if (!failText.empty()) {
        lines.push_back("!: " + failText);
    }
    return lines;
}

Steps Shown(const PopDialogue::Reaction& r)
{
    return Shown(r.command, r.startTls, r.failText);
}

Steps Shown(const SmtpTestDialogue::Reaction& r)
{
    return Shown(r.send, false, r.failText);
}

// The steps both know: "X", "E", "T", "S: " and "R: "; others go to more.
template <class Dialogue>
Steps PlayWithoutIo(Dialogue& dialogue, const std::string& step, const std::function<Steps()>& more)
{
    if (step == "X") {
        dialogue.Disconnected();
        return {};
    }
    if (step == "E" || step == "T") {
        return Shown(step == "E" ? dialogue.NetworkError() : dialogue.Silence());
    }
    if (step.starts_with("S: ") || step.starts_with("R: ")) {
        return Shown(dialogue.Received(step.substr(3) + (step.starts_with("S: ") ? "\r\n" : "")));
    }
    return more();
}

// Headers: user, password (alice, secret unless given), stls; the end is
// the final PopState().
using PopTranscript = Files;

TEST_P(PopTranscript, Plays)
{
    const Transcript t = test::ReadTranscript(GetParam());
    PopDialogue dialogue(t.Header("user", "alice"), t.Header("password", "secret"), t.Has("stls"));
    Steps happened = Replay(t.steps, [&](const std::string& step) {
        return PlayWithoutIo(dialogue, step, [&] {
            return Shown(step == "TLS" ? dialogue.Encrypted() : dialogue.TlsFailed({{TlsProblem::Expired}, "AB:CD", {}}));
        });
    });
    happened.push_back("state " + std::to_string(dialogue.PopState()));
    EXPECT_EQ(happened, Expected(t));
}

INSTANTIATE_TEST_SUITE_P(Files, PopTranscript, ::testing::ValuesIn(test::TranscriptFiles("pop3")), TranscriptRowName);

// Headers: from, to, subject, body (the boxes; a plain message unless
// given); the step "A" is the abort button; the end is the final State().
using LoopbackTranscript = Files;

TEST_P(LoopbackTranscript, Plays)
{
    const Transcript t = test::ReadTranscript(GetParam());
    const auto box = [&t](const char* name, const char* fallback) {
        return t.Header(name, test::ExpandTranscriptText(fallback, {}));
    };
    SmtpTestDialogue dialogue(
        {box("from", "me@example.jp"), box("to", "you@example.jp"), box("subject", "件名"), box("body", "本文\\r\\n.dot\\r\\n.")});
    Steps happened = Replay(t.steps, [&](const std::string& step) {
        return PlayWithoutIo(dialogue, step, [&] {
            EXPECT_EQ(step, "A");
            dialogue.Abort();
            return Steps{};
        });
    });
    happened.push_back("state " + std::to_string(dialogue.State()));
    EXPECT_EQ(happened, Expected(t));
}

INSTANTIATE_TEST_SUITE_P(Files, LoopbackTranscript, ::testing::ValuesIn(test::TranscriptFiles("loopback")),
                         TranscriptRowName);

} // namespace
} // namespace kitemail
