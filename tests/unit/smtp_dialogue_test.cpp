// The SMTP dialogue as transcripts: "S: " lines the server sends, "C: "
// lines the client answers with, and what it reports on the way.

#include "mail/reply_accumulator.h"
#include "mail/smtp_dialogue.h"
#include "mail/winsock_errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

struct Recipients {
    std::string first = "first@x.jp";
    Lines to{"first@x.jp|"}, cc{}, bcc{};
    int skipTo = 1, skipCc = 0, skipBcc = 0;
};

// A request fed the server's lines; Run gives the whole exchange as a
// transcript of what was heard, answered and reported.
struct Session : SmtpDialogueSink {
    explicit Session(Recipients recipients = {}) : r(std::move(recipients)) {}

    Lines Run(const Lines& server, std::int32_t step = SmtpDialogue::AwaitGreeting, bool keepOpen = false)
    {
        d.Begin({"pc", "me@x.jp", r.first, &r.to, &r.cc, &r.bcc, r.skipTo, r.skipCc, r.skipBcc, keepOpen}, step);
        log.clear();
        for (auto line = server.begin(); line != server.end() && !finished; ++line) {
            log.push_back("S: " + *line);
            d.HandleReply(*line);
        }
        return log;
    }

    void SendCommand(const std::string& line) override
    {
        log.push_back("C: " + line);
        finished = finished || cancelOnCommand;
    }
    void WriteMessage() override { log.push_back("C: <message>"); }
    void Info(SendMailInfo info, const std::string&) override
    {
        log.insert(log.end(), info == SendMailInfo::Info_MailAccepted ? 1 : 0, "accepted");
    }
    void Fail(SendMailError error, const std::string& text) override
    {
        log.push_back("error " + std::to_string(static_cast<int>(error)) + " " + text);
        finished = true;
    }
    void AcceptedKeepOpen() override { log.push_back("done, kept open"); }
    [[nodiscard]] bool Finished() const override { return finished; }

    Recipients r;
    SmtpDialogue d{*this};
    Lines log;
    bool finished = false, cancelOnCommand = false;
};

TEST(SmtpDialogue, Transcripts)
{
    // Every step waits for the last line of its reply.
    EXPECT_EQ(Session().Run({"220-welcome", "220 hi", "250-hello", "250 there", "250 ok", "250 ok", "354 go",
                             "250 queued", "221 bye"}),
              (Lines{"S: 220-welcome", "S: 220 hi", "C: HELO pc", "S: 250-hello", "S: 250 there",
                     "C: MAIL FROM:<me@x.jp>", "S: 250 ok", "C: RCPT TO:<first@x.jp>", "S: 250 ok", "C: DATA",
                     "S: 354 go", "C: <message>", "S: 250 queued", "accepted", "C: QUIT", "S: 221 bye"}));
    // Negative replies outside the recipients end the request: HELO refused,
    // MAIL FROM refused, a reply beginning with a dash, the message refused.
    for (const Lines& server : {Lines{"220 hi", "501 who?"}, Lines{"220 hi", "250", "550 no relay"},
                                Lines{"220 hi", "-what"}, Lines{"220", "250", "250", "250", "354", "554 spam"}}) {
        EXPECT_EQ(Session().Run(server).back(), "error 13 Unexpected response: " + server.back());
    }
    // A kept connection resumes with MAIL FROM.
    Session kept;
    EXPECT_EQ(kept.Run({"220", "250", "250", "250", "354", "250 ok"}, SmtpDialogue::AwaitGreeting, true).back(),
              "done, kept open");
    EXPECT_EQ(kept.Run({" ", "250", "250", "354", "250 again"}, SmtpDialogue::AwaitHelo, true),
              (Lines{"S:  ", "C: MAIL FROM:<me@x.jp>", "S: 250", "C: RCPT TO:<first@x.jp>", "S: 250", "C: DATA",
                     "S: 354", "C: <message>", "S: 250 again", "accepted", "done, kept open"}));
    // A cancel during a command stops the step.
    Session cancelled;
    cancelled.cancelOnCommand = true;
    cancelled.Run({"220 hi"});
    EXPECT_EQ(cancelled.d.DialogueStep(), SmtpDialogue::AwaitGreeting);
    // The recipient run goes over every list, leaving out the first recipient's entry.
    const std::pair<Recipients, Lines> runs[] = {
        {{.first = "c1@x", .to = {}, .cc = {"c1@x", "c2@x|Two"}, .skipTo = 0, .skipCc = 1}, {"c1@x", "c2@x"}},
        {{.first = "b1@x", .to = {}, .bcc = {"b1@x", "b2@x", "b3@x"}, .skipTo = 0, .skipBcc = 1}, {"b1@x", "b2@x", "b3@x"}},
        {{.first = "t1@x", .to = {"t1@x", "t2@x"}, .cc = {"c1@x", "c2@x"}, .bcc = {"b1@x"}},
         {"t1@x", "t2@x", "c1@x", "c2@x", "b1@x"}},
    };
    for (const auto& [r, rcpts] : runs) {
        Lines server(rcpts.size() + 3, "250"), want = {"S: 220", "C: HELO pc", "S: 250", "C: MAIL FROM:<me@x.jp>"};
        server[0] = "220";
        for (const std::string& a : rcpts) {
            want.insert(want.end(), {"S: 250", "C: RCPT TO:<" + a + ">"});
        }
        want.insert(want.end(), {"S: 250", "C: DATA"});
        EXPECT_EQ(Session(r).Run(server), want);
    }
    // An entry splits at its first bar only; the name is capped.
    EXPECT_EQ(SplitRecipient("a@x.jp|Taro|Jr").name, "Taro|Jr");
    EXPECT_EQ(SplitRecipient("a@x.jp|" + std::string(1500, 'n')).name.size(), 999u);
}

TEST(SocketInput, ReplyLinesAcrossPacketsAndErrorTexts)
{
    ReplyAccumulator acc;
    EXPECT_TRUE(acc.Feed("250-fir").empty());
    EXPECT_EQ(acc.Feed("st\r\n250 sec"), Lines{"250-first"});
    EXPECT_EQ(acc.Feed("ond\r"), Lines{});
    EXPECT_EQ(acc.Feed("\n"), Lines{"250 second"});
    EXPECT_EQ(acc.Feed("220 bare lf\n"), Lines{"220 bare lf"});
    EXPECT_EQ(acc.Feed(std::string("2\0" "50 z\r\n", 8)), Lines{"250 z"});
    // A line that never ends cannot grow the buffer without bound.
    EXPECT_EQ(acc.Feed(std::string(ReplyAccumulator::kMaxPendingBytes * 2 + 10, 'x')).size(), 2u);
    EXPECT_EQ(acc.Pending().size(), 10u);
    // Socket errors reach the right numbers and texts.
    using E = SendMailError;
    const std::tuple<int, std::uint16_t, SendMailError, const char*> cases[] = {
        {ECONNREFUSED, 10061, E::Connection_Refused, "Connection Refused"},
        {EHOSTUNREACH, 10065, E::Host_Unreachable, "Host Unreachable"},
        {ENETUNREACH, 10051, E::Network_Unreachable, "Network unreachable"},
        {ECONNRESET, 10054, E::Connection_Reset, "Connection reset by remote side"},
        {EPIPE, 10054, E::Connection_Reset, "Connection reset by remote side"},
        {ECONNABORTED, 10053, E::Connection_Aborted, "Connection aborted due to timeout or other failure"},
        {ETIMEDOUT, 10060, E::Connection_Timeout, "timeout"},
        {ENETDOWN, 10050, E::Network_Down, "Network down"},
        {EACCES, 10013, E::Invalid_Address, "Invalid address specified"},
        {EMFILE, 10024, E::Out_Of_Sockets, "Out of sockets"},
        {EADDRNOTAVAIL, 10049, E::Address_NotAvailable, "Address not available"},
        {ENOBUFS, 10055, E::General_WinsockError, "General Winsock Error"},
        {EINVAL, 10022, E::Internal_Error, "Unexpected internal error in component"},
        {EIO, 10000, E::Other_WinsockError, "Unknown Error"},
    };
    for (const auto& [err, code, error, text] : cases) {
        EXPECT_EQ(wsa::FromErrno(err), code) << err;
        EXPECT_EQ(MapSocketError(code).error, error) << err;
        EXPECT_EQ(MapSocketError(code).text, text) << err;
    }
    for (const std::uint16_t lookup : std::initializer_list<std::uint16_t>{11001, 11002, 11003, 11004}) {
        EXPECT_EQ(MapSocketError(lookup).error, E::Address_Resolution);
    }
    EXPECT_EQ(MapSocketError(10093).text, "Winsock not initialized");
}

} // namespace
} // namespace kitemail
