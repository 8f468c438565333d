// The SMTP dialogue as transcripts: "S: " lines the server sends, "C: "
// lines the client answers with, and what it reports on the way.

#include "mail/mail_types.h"
#include "mail/reply_accumulator.h"
#include "mail/smtp_dialogue.h"
#include "mail/winsock_errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace kitemail {
namespace {

struct TranscriptSink : SmtpDialogueSink {
    std::vector<std::string> log;
    bool finished = false;
    bool cancelOnCommand = false;

    void SendCommand(const std::string& line) override
    {
        log.push_back("C: " + line);
        if (cancelOnCommand) {
            finished = true;
        }
    }
    void WriteMessage() override { log.push_back("C: <message>"); }
    void Info(SendMailInfo info, const std::string& text) override
    {
        switch (info) {
        case SendMailInfo::Info_Received: break;
        case SendMailInfo::Info_RecipientRefused: log.push_back("refused " + text); break;
        case SendMailInfo::Info_MailAccepted: log.push_back("accepted"); break;
        default: break;
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

struct Transcript {
    std::vector<std::string> to;
    std::vector<std::string> cc;
    std::vector<std::string> bcc;
    std::string first = "first@x.jp";
    int skipTo = 1;
    int skipCc = 0;
    int skipBcc = 0;
    bool keepOpen = false;
};

// Feeds the server lines and returns the whole exchange.
std::vector<std::string> Play(TranscriptSink& sink, SmtpDialogue& d, const std::vector<std::string>& server)
{
    std::vector<std::string> out;
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

std::vector<std::string> RunTranscript(const Transcript& t, const std::vector<std::string>& server,
                             TranscriptSink* sinkOut = nullptr)
{
    TranscriptSink local;
    TranscriptSink& sink = sinkOut != nullptr ? *sinkOut : local;
    SmtpDialogue d(sink);
    SmtpDialogue::Envelope env;
    env.helloName = "pc";
    env.fromAddress = "me@x.jp";
    env.firstRecipient = t.first;
    env.listTo = &t.to;
    env.listCc = &t.cc;
    env.listBcc = &t.bcc;
    env.skipTo = t.skipTo;
    env.skipCc = t.skipCc;
    env.skipBcc = t.skipBcc;
    env.keepConnectionOpen = t.keepOpen;
    d.Begin(env, SmtpDialogue::AwaitGreeting);
    return Play(sink, d, server);
}

using Lines = std::vector<std::string>;

TEST(SmtpDialogue, OneRecipientAcceptedByEveryStep)
{
    Transcript t;
    t.to = {"first@x.jp|"};
    EXPECT_EQ(RunTranscript(t, {"220 hi", "250 hello", "250 ok", "250 ok", "354 go", "250 queued", "221 bye"}),
              (Lines{"S: 220 hi", "C: HELO pc", "S: 250 hello", "C: MAIL FROM:<me@x.jp>", "S: 250 ok",
                     "C: RCPT TO:<first@x.jp>", "S: 250 ok", "C: DATA", "S: 354 go", "C: <message>",
                     "S: 250 queued", "accepted", "C: QUIT", "S: 221 bye"}));
}

TEST(SmtpDialogue, MultiLineRepliesWaitForTheirLastLine)
{
    Transcript t;
    t.to = {"first@x.jp|"};
    EXPECT_EQ(RunTranscript(t, {"220-welcome", "220-to the", "220 server", "250-hello", "250 there"}),
              (Lines{"S: 220-welcome", "S: 220-to the", "S: 220 server", "C: HELO pc", "S: 250-hello",
                     "S: 250 there", "C: MAIL FROM:<me@x.jp>"}));
}

TEST(SmtpDialogue, NegativeRepliesOutsideRecipientsEndTheRequest)
{
    struct Case {
        const char* what;
        Lines server;
        std::string lastLine;
    };
    const Case cases[] = {
        {"421 greeting", {"421 busy"}, "error 13 Unexpected response: 421 busy"},
        {"HELO refused", {"220 hi", "501 who?"}, "error 13 Unexpected response: 501 who?"},
        {"MAIL FROM refused", {"220 hi", "250 ok", "550 no relay"}, "error 13 Unexpected response: 550 no relay"},
        {"a reply beginning with a dash", {"220 hi", "-what"}, "error 13 Unexpected response: -what"},
        {"message refused", {"220 hi", "250", "250", "250", "354", "554 spam"},
         "error 13 Unexpected response: 554 spam"},
    };
    for (const Case& c : cases) {
        Transcript t;
        t.to = {"first@x.jp|"};
        EXPECT_EQ(RunTranscript(t, c.server).back(), c.lastLine) << c.what;
    }
}

TEST(SmtpDialogue, RefusedRecipientIsSkippedAndTheRunGoesOn)
{
    Transcript t;
    t.first = "a@x.jp";
    t.to = {"a@x.jp|", "b@x.jp|B"};
    t.cc = {"c@x.jp"};
    EXPECT_EQ(RunTranscript(t, {"220", "250", "250", "250", "550 no such user", "250", "354"}),
              (Lines{"S: 220", "C: HELO pc", "S: 250", "C: MAIL FROM:<me@x.jp>", "S: 250", "C: RCPT TO:<a@x.jp>",
                     "S: 250", "C: RCPT TO:<b@x.jp>", "S: 550 no such user", "refused b@x.jp",
                     "C: RCPT TO:<c@x.jp>", "S: 250", "C: DATA", "S: 354", "C: <message>"}));
}

TEST(SmtpDialogue, EveryRecipientRefusedEndsWhenDataIsRefused)
{
    Transcript t;
    t.to = {"first@x.jp|", "b@x.jp"};
    EXPECT_EQ(RunTranscript(t, {"220", "250", "250", "550 a", "550 b", "503 no valid recipients"}),
              (Lines{"S: 220", "C: HELO pc", "S: 250", "C: MAIL FROM:<me@x.jp>", "S: 250",
                     "C: RCPT TO:<first@x.jp>", "S: 550 a", "refused first@x.jp", "C: RCPT TO:<b@x.jp>",
                     "S: 550 b", "refused b@x.jp", "C: DATA", "S: 503 no valid recipients",
                     "error 13 Unexpected response: 503 no valid recipients"}));
}

TEST(SmtpDialogue, RecipientRunOverAllListsWithSkipCounts)
{
    struct Case {
        const char* what;
        Transcript t;
        Lines rcpts;
    };
    Transcript ccOnly;
    ccOnly.first = "c1@x.jp";
    ccOnly.skipTo = 0;
    ccOnly.skipCc = 1;
    ccOnly.cc = {"c1@x.jp", "c2@x.jp|Two"};
    Transcript direct;
    direct.first = "d@x.jp";
    direct.to = {"d@x.jp|", "t@x.jp"};
    direct.bcc = {"hidden@x.jp"};
    Transcript bccOnly;
    bccOnly.first = "b1@x.jp";
    bccOnly.skipTo = 0;
    bccOnly.skipBcc = 1;
    bccOnly.bcc = {"b1@x.jp", "b2@x.jp", "b3@x.jp"};
    Transcript everyList;
    everyList.first = "t1@x.jp";
    everyList.to = {"t1@x.jp", "t2@x.jp"};
    everyList.cc = {"c1@x.jp", "c2@x.jp"};
    everyList.bcc = {"b1@x.jp"};
    const Case cases[] = {
        {"cc only", ccOnly, {"C: RCPT TO:<c1@x.jp>", "C: RCPT TO:<c2@x.jp>"}},
        {"direct address and one To entry, Bcc", direct,
         {"C: RCPT TO:<d@x.jp>", "C: RCPT TO:<t@x.jp>", "C: RCPT TO:<hidden@x.jp>"}},
        {"Bcc only", bccOnly, {"C: RCPT TO:<b1@x.jp>", "C: RCPT TO:<b2@x.jp>", "C: RCPT TO:<b3@x.jp>"}},
        {"every list", everyList,
         {"C: RCPT TO:<t1@x.jp>", "C: RCPT TO:<t2@x.jp>", "C: RCPT TO:<c1@x.jp>", "C: RCPT TO:<c2@x.jp>",
          "C: RCPT TO:<b1@x.jp>"}},
    };
    for (const Case& c : cases) {
        Lines server = {"220", "250", "250"};
        server.insert(server.end(), c.rcpts.size(), "250");
        Lines got;
        for (const std::string& l : RunTranscript(c.t, server)) {
            if (l.rfind("C: RCPT", 0) == 0 || l == "C: DATA") {
                got.push_back(l);
            }
        }
        Lines want = c.rcpts;
        want.push_back("C: DATA");
        EXPECT_EQ(got, want) << c.what;
    }
}

TEST(SmtpDialogue, AfterAcceptanceNothingTheServerSaysIsAFailure)
{
    Transcript t;
    t.to = {"first@x.jp|"};
    TranscriptSink sink;
    const Lines got = RunTranscript(t, {"220", "250", "250", "250", "354", "250 ok", "500 QUIT? never heard of it"}, &sink);
    EXPECT_EQ(got.back(), "S: 500 QUIT? never heard of it");
    EXPECT_FALSE(sink.finished);
}

TEST(SmtpDialogue, KeptConnectionResumesWithMailFrom)
{
    TranscriptSink sink;
    SmtpDialogue d(sink);
    std::vector<std::string> to = {"a@x.jp|"};
    std::vector<std::string> none;
    SmtpDialogue::Envelope env;
    env.fromAddress = "me@x.jp";
    env.firstRecipient = "a@x.jp";
    env.listTo = &to;
    env.listCc = &none;
    env.listBcc = &none;
    env.skipTo = 1;
    env.keepConnectionOpen = true;
    d.Begin(env, SmtpDialogue::AwaitGreeting);
    EXPECT_EQ(Play(sink, d, {"220", "250", "250", "250", "354", "250 ok"}).back(), "done, kept open");
    EXPECT_EQ(d.DialogueStep(), SmtpDialogue::AwaitEndOfMessage);
    d.Begin(env, SmtpDialogue::AwaitHelo);
    EXPECT_EQ(Play(sink, d, {" ", "250", "250", "354", "250 again"}),
              (Lines{"S:  ", "C: MAIL FROM:<me@x.jp>", "S: 250", "C: RCPT TO:<a@x.jp>", "S: 250", "C: DATA",
                     "S: 354", "C: <message>", "S: 250 again", "accepted", "done, kept open"}));
}

TEST(SmtpDialogue, CancelDuringACommandStopsTheStep)
{
    Transcript t;
    t.to = {"first@x.jp|"};
    TranscriptSink sink;
    sink.cancelOnCommand = true;
    SmtpDialogue d(sink);
    SmtpDialogue::Envelope env;
    env.firstRecipient = "first@x.jp";
    env.listTo = &t.to;
    env.listCc = &t.cc;
    env.listBcc = &t.bcc;
    d.Begin(env, SmtpDialogue::AwaitGreeting);
    d.HandleReply("220 hi");
    EXPECT_EQ(d.DialogueStep(), SmtpDialogue::AwaitGreeting);
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
    const auto lines = acc.Feed(std::string(ReplyAccumulator::kMaxPendingBytes * 2 + 10, 'x'));
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(acc.Pending().size(), 10u);
}

TEST(SocketErrors, LinuxErrorsReachTheRightTexts)
{
    struct Case {
        int err;
        std::uint16_t wsa;
        SendMailError error;
        const char* text;
    };
    const Case cases[] = {
        {ECONNREFUSED, 10061, SendMailError::Connection_Refused, "Connection Refused"},
        {EHOSTUNREACH, 10065, SendMailError::Host_Unreachable, "Host Unreachable"},
        {ENETUNREACH, 10051, SendMailError::Network_Unreachable, "Network unreachable"},
        {ECONNRESET, 10054, SendMailError::Connection_Reset, "Connection reset by remote side"},
        {EPIPE, 10054, SendMailError::Connection_Reset, "Connection reset by remote side"},
        {ECONNABORTED, 10053, SendMailError::Connection_Aborted, "Connection aborted due to timeout or other failure"},
        {ETIMEDOUT, 10060, SendMailError::Connection_Timeout, "timeout"},
        {ENETDOWN, 10050, SendMailError::Network_Down, "Network down"},
        {EACCES, 10013, SendMailError::Invalid_Address, "Invalid address specified"},
        {EMFILE, 10024, SendMailError::Out_Of_Sockets, "Out of sockets"},
        {EADDRNOTAVAIL, 10049, SendMailError::Address_NotAvailable, "Address not available"},
        {ENOBUFS, 10055, SendMailError::General_WinsockError, "General Winsock Error"},
        {EINVAL, 10022, SendMailError::Internal_Error, "Unexpected internal error in component"},
        {EIO, 10000, SendMailError::Other_WinsockError, "Unknown Error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wsa::FromErrno(c.err), c.wsa) << c.err;
        const MappedSocketError m = MapSocketError(wsa::FromErrno(c.err));
        EXPECT_EQ(m.error, c.error) << c.err;
        EXPECT_EQ(m.text, c.text) << c.err;
    }
    for (const int lookup : {11001, 11002, 11003, 11004}) {
        EXPECT_EQ(MapSocketError(static_cast<std::uint16_t>(lookup)).error, SendMailError::Address_Resolution);
    }
    EXPECT_EQ(MapSocketError(10093).text, "Winsock not initialized");
}

} // namespace
} // namespace kitemail
