// The SMTP dialogue as transcripts: "S: " lines the server sends, "C: "
// lines the client answers with, and what it reports on the way.

#include "mail/mail_types.h"
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

struct TranscriptSink : SmtpDialogueSink {
    Lines log;
    bool finished = false;
    bool cancelOnCommand = false;

    void SendCommand(const std::string& line) override
    {
        log.push_back("C: " + line);
        finished = finished || cancelOnCommand;
    }
    void WriteMessage() override { log.push_back("C: <message>"); }
    void Info(SendMailInfo info, const std::string&) override
    {
        if (info == SendMailInfo::Info_MailAccepted) {
            log.push_back("accepted");
        }
    }
    void Fail(SendMailError error, const std::string& text) override
    {
        log.push_back("error " + std::to_string(static_cast<int>(error)) + " " + text);
        finished = true;
    }
    void AcceptedKeepOpen() override { log.push_back("done, kept open"); }
    [[nodiscard]] bool Finished() const override { return finished; }
};

struct Recipients {
    std::string first = "first@x.jp";
    Lines to{"first@x.jp|"}, cc{}, bcc{};
    int skipTo = 1, skipCc = 0, skipBcc = 0;
};

struct Session {
    explicit Session(Recipients recipients = {}) : r(std::move(recipients)) {}

    // Starts a request and feeds it the server lines; the whole exchange.
    Lines Run(const Lines& server, std::int32_t step = SmtpDialogue::AwaitGreeting, bool keepOpen = false)
    {
        d.Begin({"pc", "me@x.jp", r.first, &r.to, &r.cc, &r.bcc, r.skipTo, r.skipCc, r.skipBcc, keepOpen}, step);
        Lines out;
        for (const std::string& s : server) {
            sink.log.clear();
            d.HandleReply(s);
            out.push_back("S: " + s);
            out.insert(out.end(), sink.log.begin(), sink.log.end());
            if (sink.finished) {
                break;
            }
        }
        return out;
    }

    Recipients r;
    TranscriptSink sink;
    SmtpDialogue d{sink};
};

TEST(SmtpDialogue, EveryStepWaitsForTheLastLineOfItsReply)
{
    EXPECT_EQ(Session().Run({"220-welcome", "220 hi", "250-hello", "250 there", "250 ok", "250 ok", "354 go",
                             "250 queued", "221 bye"}),
              (Lines{"S: 220-welcome", "S: 220 hi", "C: HELO pc", "S: 250-hello", "S: 250 there",
                     "C: MAIL FROM:<me@x.jp>", "S: 250 ok", "C: RCPT TO:<first@x.jp>", "S: 250 ok", "C: DATA",
                     "S: 354 go", "C: <message>", "S: 250 queued", "accepted", "C: QUIT", "S: 221 bye"}));
}

TEST(SmtpDialogue, NegativeRepliesOutsideRecipientsEndTheRequest)
{
    const struct {
        const char* what;
        Lines server;
    } cases[] = {
        {"HELO refused", {"220 hi", "501 who?"}},
        {"MAIL FROM refused", {"220 hi", "250", "550 no relay"}},
        {"a reply beginning with a dash", {"220 hi", "-what"}},
        {"message refused", {"220", "250", "250", "250", "354", "554 spam"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Session().Run(c.server).back(), "error 13 Unexpected response: " + c.server.back()) << c.what;
    }
}

TEST(SmtpDialogue, RecipientRunOverAllListsWithSkipCounts)
{
    const struct {
        const char* what;
        Recipients r;
        Lines rcpts;
    } cases[] = {
        {"cc only", {.first = "c1@x.jp", .to = {}, .cc = {"c1@x.jp", "c2@x.jp|Two"}, .skipTo = 0, .skipCc = 1},
         {"c1@x.jp", "c2@x.jp"}},
        {"Bcc only", {.first = "b1@x.jp", .to = {}, .bcc = {"b1@x.jp", "b2@x.jp", "b3@x.jp"}, .skipTo = 0, .skipBcc = 1},
         {"b1@x.jp", "b2@x.jp", "b3@x.jp"}},
        {"every list, the first To entry being the first recipient",
         {.first = "t1@x.jp", .to = {"t1@x.jp", "t2@x.jp"}, .cc = {"c1@x.jp", "c2@x.jp"}, .bcc = {"b1@x.jp"}},
         {"t1@x.jp", "t2@x.jp", "c1@x.jp", "c2@x.jp", "b1@x.jp"}},
    };
    for (const auto& c : cases) {
        Lines server = {"220", "250", "250"}, want, got;
        server.insert(server.end(), c.rcpts.size(), "250");
        for (const std::string& a : c.rcpts) {
            want.push_back("C: RCPT TO:<" + a + ">");
        }
        want.push_back("C: DATA");
        for (const std::string& l : Session(c.r).Run(server)) {
            if (l.rfind("C: RCPT", 0) == 0 || l == "C: DATA") {
                got.push_back(l);
            }
        }
        EXPECT_EQ(got, want) << c.what;
    }
}

TEST(SmtpDialogue, KeptConnectionResumesWithMailFrom)
{
    Session s;
    EXPECT_EQ(s.Run({"220", "250", "250", "250", "354", "250 ok"}, SmtpDialogue::AwaitGreeting, true).back(),
              "done, kept open");
    EXPECT_EQ(s.d.DialogueStep(), SmtpDialogue::AwaitEndOfMessage);
    EXPECT_EQ(s.Run({" ", "250", "250", "354", "250 again"}, SmtpDialogue::AwaitHelo, true),
              (Lines{"S:  ", "C: MAIL FROM:<me@x.jp>", "S: 250", "C: RCPT TO:<first@x.jp>", "S: 250", "C: DATA",
                     "S: 354", "C: <message>", "S: 250 again", "accepted", "done, kept open"}));
}

TEST(SmtpDialogue, CancelDuringACommandStopsTheStep)
{
    Session s;
    s.sink.cancelOnCommand = true;
    s.Run({"220 hi"});
    EXPECT_EQ(s.d.DialogueStep(), SmtpDialogue::AwaitGreeting);
}

TEST(SplitRecipient, FirstBarSplitsAndNameIsCapped)
{
    EXPECT_EQ(SplitRecipient("a@x.jp").address, "a@x.jp");
    EXPECT_EQ(SplitRecipient("a@x.jp").name, "");
    EXPECT_EQ(SplitRecipient("a@x.jp|Taro|Jr").name, "Taro|Jr");
    EXPECT_EQ(SplitRecipient("a@x.jp|" + std::string(1500, 'n')).name.size(), 999u);
}

TEST(ReplyAccumulator, LinesAcrossPacketsAndOddEndings)
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
}

TEST(SocketErrors, LinuxErrorsReachTheRightTexts)
{
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
        const MappedSocketError m = MapSocketError(code);
        EXPECT_EQ(m.error, error) << err;
        EXPECT_EQ(m.text, text) << err;
    }
    for (const std::uint16_t lookup : std::initializer_list<std::uint16_t>{11001, 11002, 11003, 11004}) {
        EXPECT_EQ(MapSocketError(lookup).error, E::Address_Resolution);
    }
    EXPECT_EQ(MapSocketError(10093).text, "Winsock not initialized");
}

} // namespace
} // namespace kitemail
