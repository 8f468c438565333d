// The mail component as transcripts through a socket layer the test plays
// the server of: "S: " lines the server sends ("R: " raw bytes), "C: "
// lines the client must answer with, "X" the server closing, "E n" a
// socket failure, "T" the deadline passing, "TLS" the handshake succeeding
// ("TLSFAIL": the certificate refused), "H" the network holding what it is
// given until "D n" lets n bytes of it go, "P ms" a pause, and the end of
// the request ("done" with LastError and the text of OnMailError).

#include "fake_socket.h"
#include "mail/reply_accumulator.h"
#include "mail/send_mail.h"
#include "mail/smtp_dialogue.h"
#include "mail_recorder.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

Lines Join(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Helo()
{
    char name[256] = {};
    return "C: HELO " + std::string(::gethostname(name, sizeof name - 1) == 0 ? name : "");
}

const Lines kGreeted = {"S: 220 mx ready", Helo(), "S: 250 hello", "C: MAIL FROM:<me@x.jp>", "S: 250 ok",
                        "C: RCPT TO:<you@x.jp>"};
const Lines kUpToData = Join(kGreeted, {"S: 250 ok", "C: DATA", "S: 354 go", "C: <message>"});
const Lines kAccepted = Join(kUpToData, {"S: 250 queued", "C: QUIT"});
// The whole message handed over, none of it taken yet.
const Lines kHeldUpToData = Join(kGreeted, {"S: 250 ok", "C: DATA", "H", "S: 354 go", "C: <message>"});

class SendMailTest : public ::testing::Test {
protected:
    SendMailTest()
    {
        mail.SetSMTP_Server("192.0.2.25");
        mail.FROM_Address = "me@x.jp";
        mail.TO_Address = "you@x.jp";
        mail.MailText = {"hello"};
        mail.ReplyTimeout = 40ms;
        mail.DataEndTimeout = 40ms;
    }

    // Starts a request and plays the server's side of a transcript; gives
    // back the whole exchange as it happened.
    Lines Run(const Lines& transcript, bool waitForTheEnd = true)
    {
        log_.clear();
        taken_ = socket.written.size();
        inMessage_ = afterData_ = closeSeen_ = false;
        const int before = rec.doneCount;
        mail.SetAction(TMailAction::Send_Mail);
        if (socket.Attempting()) {
            socket.Accept(acceptAddress);
        }
        Take();
        for (const std::string& step : transcript) {
            if (step.starts_with("C: ") || step.starts_with("done")) {
                continue;
            }
            log_.push_back(step);
            if (step.starts_with("S: ")) {
                socket.Deliver(step.substr(3) + "\r\n");
            } else if (step.starts_with("R: ")) {
                socket.Deliver(step.substr(3));
            } else if (step == "X") {
                socket.CloseFromServer();
            } else if (step.starts_with("E ")) {
                socket.FailWith(static_cast<std::uint16_t>(std::stoi(step.substr(2))));
            } else if (step == "T") {
                WaitUntil([] { return false; }, 3 * mail.ReplyTimeout);
            } else if (step == "H") {
                socket.Hold();
            } else if (step.starts_with("D ")) {
                socket.Drain(std::stoul(step.substr(2)));
            } else if (step.starts_with("P ")) {
                WaitUntil([] { return false; }, std::chrono::milliseconds(std::stoi(step.substr(2))));
            } else if (step == "TLS") {
                socket.CompleteTls();
            } else if (step == "TLSFAIL") {
                socket.RefuseTls({{TlsProblem::Expired, TlsProblem::NameMismatch}, "AB:CD", {}});
            }
            Take();
        }
        if (!waitForTheEnd) {
            return log_;
        }
        WaitUntil([&] { return rec.doneCount > before; }, 1s);
        WaitUntil([] { return false; }, 20ms); // a second OnDone would show
        for (int i = before; i < rec.doneCount; ++i) {
            const std::string text = rec.errors.empty() ? "" : " " + rec.errors.back().second;
            log_.push_back("done " + std::to_string(static_cast<int>(rec.errorAtDone)) + text);
        }
        return log_;
    }

    // The client's lines since the last look; the message as one line.
    void Take()
    {
        for (;;) {
            if (socket.written.compare(taken_, 5, "<TLS>") == 0) { // the client started TLS here
                log_.push_back("C: <starttls>");
                taken_ += 5;
                continue;
            }
            const std::size_t end = socket.written.find("\r\n", taken_);
            if (end == std::string::npos) {
                break;
            }
            const std::string line = socket.written.substr(taken_, end - taken_);
            taken_ = end + 2;
            if (inMessage_) {
                inMessage_ = line != ".";
            } else if (afterData_) {
                afterData_ = false;
                inMessage_ = line != ".";
                log_.push_back("C: <message>");
            } else {
                afterData_ = line == "DATA";
                log_.push_back("C: " + line);
            }
        }
        if (socket.closedByClient && !closeSeen_) {
            log_.push_back("C: <close>");
        }
        closeSeen_ = socket.closedByClient;
    }

    std::unique_ptr<test::FakeSocket> owned_ = std::make_unique<test::FakeSocket>();
    // The component owns its socket layer; the test plays its server.
    test::FakeSocket& socket = *owned_;
    SendMail mail{std::move(owned_)};
    test::MailRecorder rec{mail};
    std::string acceptAddress = "192.0.2.25";
    Lines log_;
    std::size_t taken_ = 0;
    bool inMessage_ = false, afterData_ = false, closeSeen_ = false;
};

std::string Ehlo()
{
    const std::string helo = Helo();
    return helo.size() > 8 ? "C: EHLO " + helo.substr(8) : "C: EHLO localhost";
}

const Lines kMailedAndDelivered = {"C: MAIL FROM:<me@x.jp>", "S: 250 ok", "C: RCPT TO:<you@x.jp>", "S: 250 ok",
                                   "C: DATA", "S: 354 go", "C: <message>", "S: 250 queued", "C: QUIT", "S: 221 bye",
                                   "C: <close>", "done 0"};

TEST_F(SendMailTest, Transcripts)
{
    using S = SmtpSecurity;
    using A = SmtpAuth;
    const std::string upToStartTls[] = {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250-STARTTLS", "S: 250 AUTH PLAIN LOGIN",
                                        "C: STARTTLS"};
    const Lines startTls(std::begin(upToStartTls), std::end(upToStartTls));
    const Lines encrypted = Join(startTls, {"S: 220 go", "C: <starttls>", "TLS", Ehlo()});
    // The size SIZE is compared with: the message as the plain dialogue
    // writes it, without its final ".".
    Run(kAccepted);
    const std::size_t data = socket.written.find("DATA\r\n") + 6;
    const std::string size = std::to_string(socket.written.find("\r\n.\r\n", data) + 2 - data);
    const std::string unexpected = "done 13 Unexpected response: ";
    const std::string unconfirmed = "done 25 No reply to the end of the message";
    const struct {
        const char* name;
        Lines transcript;
        S security = S::None;
        A auth = A::None;
        const char* address = "192.0.2.25"; // the server's
    } rows[] = {
        {"Delivered",
         {"S: 220-mx.example.jp", "S: 220 ready", Helo(), "S: 250-hello", "S: 250 there", "C: MAIL FROM:<me@x.jp>",
          "S: 250 ok", "C: RCPT TO:<you@x.jp>", "S: 250 ok", "C: DATA", "S: 354 go", "C: <message>",
          "S: 250 queued", "C: QUIT", "S: 221 bye", "C: <close>", "done 0"}},
        // Each step expects its class of reply; anything else ends the request.
        {"GreetingRefused", {"S: 554 no service", "C: <close>", unexpected + "554 no service"}},
        {"GreetingNot220", {"S: 250 hi", "C: <close>", unexpected + "250 hi"}},
        {"HeloRefused", {"S: 220 hi", Helo(), "S: 501 who?", "C: <close>", unexpected + "501 who?"}},
        {"MailFromRefused",
         {"S: 220 hi", Helo(), "S: 250 ok", "C: MAIL FROM:<me@x.jp>", "S: 550 no relay", "C: <close>",
          unexpected + "550 no relay"}},
        {"RecipientAnswered354", Join(kGreeted, {"S: 354 what", "C: <close>", unexpected + "354 what"})},
        {"DataAnswered250", Join(kGreeted, {"S: 250 ok", "C: DATA", "S: 250 ok", "C: <close>", unexpected + "250 ok"})},
        {"EndOfMessageRefused", Join(kUpToData, {"S: 554 spam", "C: <close>", unexpected + "554 spam"})},
        {"EndOfMessageAnswered354", Join(kUpToData, {"S: 354 more please", "C: <close>", unexpected + "354 more please"})},
        {"EndOfMessageAnsweredBlank", Join(kUpToData, {"S: ", "C: <close>", unexpected})},
        {"EndOfMessageAnsweredGarbage", Join(kUpToData, {"S: hello?", "C: <close>", unexpected + "hello?"})},
        // A reply line is three digits and a space, a dash or its end (more
        // shapes in ReplyLines below).
        {"BareCode", {"S: 220", Helo(), "S: 250", "C: MAIL FROM:<me@x.jp>", "X", "done 17 Prematurely Disconnected"}},
        {"MultiLineCodesDiffer",
         {"S: 220 hi", Helo(), "S: 250-first", "S: 251 second", "C: <close>", unexpected + "251 second"}},
        // A line longer than any server sends is never cut into replies.
        {"LineTooLong", {"R: 220-" + std::string(5000, 'x'), "C: <close>", unexpected + "220-" + std::string(508, 'x')}},
        // The server's line is shown without its control bytes.
        {"ControlBytesLeftOut",
         {"S: 554 no\x1b[2J\aservice", "C: <close>", unexpected + "554 no[2Jservice"}},
        // Accepted means delivered, whatever follows.
        {"AcceptedThenQuitRefused", Join(kAccepted, {"S: 500 what?", "C: <close>", "done 0"})},
        {"AcceptedThenClosed", Join(kAccepted, {"X", "done 0"})},
        {"AcceptedThenReset", Join(kAccepted, {"E 10054", "done 0"})},
        {"AcceptedThenSilent", Join(kAccepted, {"T", "C: <close>", "done 0"})},
        // Before the server has the "." an end is a failure.
        {"ClosedBeforeTheData", Join(kGreeted, {"S: 250 ok", "C: DATA", "X", "done 17 Prematurely Disconnected"})},
        {"ClosedWithTheEndUnsent", Join(kHeldUpToData, {"X", "done 17 Prematurely Disconnected"})},
        {"StoppedTakingTheMessage", Join(kHeldUpToData, {"D 10", "T", "C: <close>", "done 8 Data block timed out"})},
        {"NoGreeting", {"T", "C: <close>", "done 8 Connection timed out"}},
        // After it, silence, a close or a reset leaves the mail unconfirmed.
        {"NoReplyToTheEnd", Join(kUpToData, {"T", "C: <close>", unconfirmed})},
        {"ClosedAfterTheEnd", Join(kUpToData, {"X", unconfirmed})},
        {"ResetAfterTheEnd", Join(kUpToData, {"E 10054", unconfirmed})},
        // Each bit the server takes restarts the data-block time-out (40 ms
        // here, as the end's): 200 ms of slow reading is never given up on.
        {"SlowButSteadyReader",
         Join(kHeldUpToData, {"D 10", "P 25", "D 10", "P 25", "D 10", "P 25", "D 10", "P 25", "D 10", "P 25", "D 10",
                              "P 25", "D 10", "P 25", "D 10", "P 25", "D 100000", "S: 250 queued", "C: QUIT",
                              "S: 221 bye", "C: <close>", "done 0"})},
        // A refused recipient is skipped; when all are, no DATA goes out.
        {"EveryRecipientRefused", Join(kGreeted, {"S: 550 unknown", "C: <close>", unexpected + "550 unknown"})},
        // Submission: from MAIL FROM on, a session is the plain dialogue.
        {"StartTlsThenPlain",
         Join(Join(encrypted, {"S: 250-mx", "S: 250-AUTH PLAIN LOGIN", "S: 250 SIZE 1000000",
                               "C: AUTH PLAIN AHRhcm8Ac2VjcmV0", "S: 235 2.7.0 ok"}),
              kMailedAndDelivered), S::StartTls, A::Best},
        {"LoginAfterTlsFromTheConnect",
         Join({"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 auth=login", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
               "C: dGFybw==", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0", "S: 235 ok"},
              kMailedAndDelivered), S::Tls, A::Login},
        {"StartTlsWithoutLogin",
         Join(Join(encrypted, {"S: 250 mx"}), kMailedAndDelivered), S::StartTls, A::None},
        // A password goes in the clear only to this machine.
        {"PlainLoginOnLoopback",
         Join({"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 AUTH PLAIN", "C: AUTH PLAIN AHRhcm8Ac2VjcmV0",
               "S: 235 ok"},
              kMailedAndDelivered), S::None, A::Plain, "127.0.0.1"},
        {"PlainLoginElsewhere",
         {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 AUTH PLAIN", "C: <close>",
          "done 24 no password is sent over an unencrypted connection"}, S::None, A::Best},
        // Never a silent fall back to the clear.
        {"NoStartTlsOffered",
         {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 AUTH PLAIN", "C: <close>",
          "done 21 the server does not offer STARTTLS"}, S::StartTls, A::None},
        {"StartTlsRefused",
         Join(startTls, {"S: 454 4.7.0 TLS not available", "C: <close>",
                         "done 21 the server refused STARTTLS: 454 4.7.0 TLS not available"}), S::StartTls, A::None},
        // Lines after the agreement were sent in the clear by anyone.
        {"SentMoreAfterTheAgreement",
         Join(startTls, {"R: 220 go\r\n250 injected\r\n", "C: <close>",
                         "done 21 the server sent more after agreeing to STARTTLS"}), S::StartTls, A::None},
        {"CertificateRefused",
         Join(startTls, {"S: 220 go", "C: <starttls>", "TLSFAIL",
                         "done 21 certificate expired, host name mismatch; SHA-256 AB:CD"}), S::StartTls, A::Best},
        // What the server said before the handshake counts for nothing.
        {"AuthOfferedOnlyBeforeStartTls",
         Join(encrypted, {"S: 250 mx", "C: <close>", "done 22 the server offers AUTH only before STARTTLS"}),
         S::StartTls, A::Best},
        {"MechanismNotOffered",
         {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 AUTH PLAIN CRAM-MD5", "C: <close>",
          "done 22 the server does not offer AUTH LOGIN"}, S::Tls, A::Login},
        {"PasswordRefused",
         {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 AUTH PLAIN", "C: AUTH PLAIN AHRhcm8Ac2VjcmV0",
          "S: 535 5.7.8 bad credentials", "C: <close>", "done 22 authentication failed: 535 5.7.8 bad credentials"},
         S::Tls, A::Plain},
        {"EhloRefused",
         {"S: 220 mx", Ehlo(), "S: 502 what", "C: <close>", "done 13 Unexpected response: 502 what"}, S::Tls, A::None},
        {"EhloLinesOfTwoCodes",
         {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 251 SIZE", "C: <close>", "done 13 Unexpected response: 251 SIZE"},
         S::Tls, A::None},
        // Refused before DATA, without a byte of the message.
        {"SizeTooSmall",
         {"S: 220 mx", Ehlo(), "S: 250-mx", "S: 250 SIZE 100", "C: <close>",
          "done 23 message of " + size + " bytes, the server accepts 100 (SIZE)"}, S::Tls, A::None},
    };
    std::vector<std::string> shown;
    std::map<std::string, std::vector<SendMailInfo>> steps; // the status line's, by row
    const char* current = "";
    rec.onInfo = [&shown](SendMailInfo info, const std::string& text) {
        if (info == SendMailInfo::Info_Sending) {
            shown.push_back(text);
        }
    };
    mail.OnSessionInfo = [&](SendMail&, SendMailInfo info) { steps[current].push_back(info); };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        current = row.name;
        mail.Submission = {row.security, row.auth, "taro", "secret", {}};
        acceptAddress = row.address;
        mail.TO_Address = "you@x.jp";
        mail.ListTo.clear(); // a delivered request leaves its recipients
        socket.Release();
        rec.errors.clear();
        shown.clear();
        EXPECT_EQ(Run(row.transcript), row.transcript);
        EXPECT_FALSE(mail.Sending());
        for (const std::string& text : shown) {
            EXPECT_EQ(text.find("c2VjcmV0"), std::string::npos) << "a password shown in progress: " << text;
        }
    }
    // The user is told both numbers.
    EXPECT_EQ(mail.LastFailure().detail,
              Sj("メールの大きさ ") + size + Sj(" Byte が、サーバーの受け付ける上限 100 Byte を超えています。"));
    using I = SendMailInfo;
    EXPECT_EQ(steps["StartTlsThenPlain"], (std::vector<I>{I::Info_TlsStarting, I::Info_TlsEstablished,
                                                          I::Info_Authenticating, I::Info_Authenticated}));
    // TLS from the connect, refused at SIZE.
    EXPECT_EQ(steps["SizeTooSmall"], (std::vector<I>{I::Info_TlsStarting, I::Info_TlsEstablished}));
    // One error shape: our code, our text and the server's own line apart.
    mail.Submission = {};
    mail.TO_Address = "you@x.jp";
    Run({"S: 421 4.3.2 busy\r"});
    EXPECT_EQ(mail.LastFailure().code, SendMailError::Unexpected_Response);
    EXPECT_EQ(mail.LastFailure().text, "Unexpected response: 421 4.3.2 busy");
    EXPECT_EQ(mail.LastFailure().serverLine, "421 4.3.2 busy\r"); // a CR inside the line stays in it
    // A cancel once the "." has gone cannot take the mail back.
    mail.TO_Address = "you@x.jp";
    mail.DataEndTimeout = 10s;
    Run(kUpToData, false);
    const int before = rec.doneCount;
    mail.SetAction(TMailAction::Cancel_SendMail);
    WaitUntil([&] { return rec.doneCount > before; }, 1s);
    EXPECT_EQ(mail.LastError(), SendMailError::Delivery_Unconfirmed);
}

TEST_F(SendMailTest, WithEverythingOffTheWireIsThePlainHeloDialogueByteForByte)
{
    mail.Subject = "Hi";
    mail.Headers = {"X-Mailer: Kitemail Pro Version 0.50"};
    Run(kAccepted);
    const std::string host = Helo().substr(8);
    EXPECT_EQ(socket.written, "HELO " + host + "\r\nMAIL FROM:<me@x.jp>\r\nRCPT TO:<you@x.jp>\r\nDATA\r\n"
                                  "From:  <me@x.jp>\r\nTo:  <you@x.jp>\r\nSubject: Hi  \r\nMime-Version: 1.0\r\n"
                                  "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n"
                                  "Content-Transfer-Encoding: 7bit\r\nX-Mailer: Kitemail Pro Version 0.50  \r\n\r\n"
                                  "hello\r\n\r\n.\r\nQUIT\r\n");
}

TEST_F(SendMailTest, RecipientRunsOverEveryListAndARefusalIsSkipped)
{
    const struct {
        std::string to;
        Lines listTo, cc, bcc;
        Lines rcpts;
    } runs[] = {
        {"", {}, {"c1@x", "c2@x|Two"}, {}, {"c1@x", "c2@x"}},
        {"", {}, {}, {"b1@x", "b2@x", "b3@x"}, {"b1@x", "b2@x", "b3@x"}},
        {"t1@x", {"t2@x"}, {"c1@x", "c2@x"}, {"b1@x"}, {"t1@x", "t2@x", "c1@x", "c2@x", "b1@x"}},
    };
    for (const auto& r : runs) {
        mail.TO_Address = r.to;
        mail.ListTo = r.listTo;
        mail.Listcc = r.cc;
        mail.ListBcc = r.bcc;
        Lines transcript = {"S: 220 hi", Helo(), "S: 250 ok", "C: MAIL FROM:<me@x.jp>", "S: 250 ok"};
        for (std::size_t i = 0; i < r.rcpts.size(); ++i) {
            // The second recipient is refused; the others still get the mail.
            transcript.insert(transcript.end(), {"C: RCPT TO:<" + r.rcpts[i] + ">", i == 1 ? "S: 550 no such user" : "S: 250 ok"});
        }
        transcript.insert(transcript.end(), {"C: DATA", "S: 354 go", "C: <message>", "S: 250 ok", "C: QUIT", "X",
                                             "done 0"});
        EXPECT_EQ(Run(transcript), transcript);
    }
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientRefused), (Lines{"c2@x", "b2@x", "t2@x"}));
    // The headers list cc but never Bcc.
    EXPECT_NE(socket.written.find("cc: Two <c2@x>"), std::string::npos);
    EXPECT_EQ(socket.written.find("b1@x>\r\nTo"), std::string::npos);
    EXPECT_EQ(socket.written.find("\r\nBcc"), std::string::npos);
    // An entry splits at its first bar only; the name is capped.
    EXPECT_EQ(SplitRecipient("a@x.jp|Taro|Jr").name, "Taro|Jr");
    EXPECT_EQ(SplitRecipient("a@x.jp|" + std::string(1500, 'n')).name.size(), 999u);
}

// An envelope address is one mailbox, nothing more; the dots of the local
// part are not held to the RFC, as Japanese carriers once gave out such
// addresses.
TEST(EnvelopeAddress, OneMailboxAndNothingElse)
{
    const struct {
        const char* address;
        bool safe;
    } rows[] = {
        {"taro@example.jp", true},
        {"a.b+c_d-e!#$%&'*/=?^`{|}~@x.jp", true},
        {"taro..hanako.@docomo.ne.jp", true},
        {"\"a b,c@d\"@x.jp", true},
        {"u@[192.0.2.1]", true},
        {"u@localhost", true},
        {"a@x.jp,b@y.jp", false},
        {"a@b@x.jp", false},
        {"a@x.jp b@y.jp", false},
        {"<a@x.jp>", false},
        {"a@x.jp>", false},
        {"a@x.jp\r\nRCPT TO:<b@y.jp>", false},
        {"a\t@x.jp", false},
        {"@x.jp", false},
        {"a@", false},
        {"ax.jp", false},
        {"", false},
        {"a@x..jp", false},
        {"a@-x.jp", false},
        {"a@x_y.jp", false},
        {"a@[1.2.3.4", false},
        {"\"a\"b\"@x.jp", false},
        {"\x91\xbe\x98\x59@x.jp", false}, // 太郎 in Shift_JIS
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsSafeEnvelopeAddress(row.address), row.safe) << row.address;
    }
    EXPECT_TRUE(HasControlByte("a\tb"));
    EXPECT_FALSE(HasControlByte("a\tb", true));
    EXPECT_TRUE(HasControlByte("a\x7f"));
    EXPECT_FALSE(HasControlByte("\x82\xa0")); // あ
}

TEST_F(SendMailTest, ConnectingLooksUpAndEveryFailureHasItsCode)
{
    mail.SetSMTP_Server("mx.example.jp");
    mail.TimeoutConnect = 20s;
    EXPECT_EQ(Run(Join(kAccepted, {"X", "done 0"})), Join(kAccepted, {"X", "done 0"}));
    EXPECT_EQ(socket.host, "mx.example.jp");
    EXPECT_EQ(socket.port, 25);
    EXPECT_EQ(socket.deadline, 20s);
    EXPECT_EQ(Join(rec.Infos(SendMailInfo::Info_Resolving), rec.Infos(SendMailInfo::Info_Resolved)),
              (Lines{"mx.example.jp", "192.0.2.25"}));
    const struct {
        std::uint16_t wsa; // 0: the connect deadline passes
        SendMailError error;
        const char* text;
    } failures[] = {
        {11001, SendMailError::Address_Resolution, "Address resolution error"},
        {10061, SendMailError::Connection_Refused, "Connection Refused"},
        {10065, SendMailError::Host_Unreachable, "Host Unreachable"},
        {10051, SendMailError::Network_Unreachable, "Network unreachable"},
        {10060, SendMailError::Connection_Timeout, "timeout"},
        {10000, SendMailError::Other_WinsockError, "Unknown Error"},
        {0, SendMailError::Connection_Timeout, "Connection timed out"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.wsa);
        rec.errors.clear();
        mail.TO_Address = "you@x.jp";
        const int before = rec.doneCount;
        mail.SetAction(TMailAction::Send_Mail);
        f.wsa == 0 ? socket.ConnectDeadlinePassed() : socket.FailWith(f.wsa);
        ASSERT_TRUE(rec.WaitDone(1s, 20ms));
        EXPECT_EQ(rec.doneCount, before + 1);
        EXPECT_EQ(rec.errors, (decltype(rec.errors){{f.error, f.text}}));
        EXPECT_TRUE(mail.TO_Address.empty() && mail.ListTo.empty()); // a failure clears the recipients
        EXPECT_EQ(mail.MailText, Lines{"hello"});
    }
    // Refused before anything connects.
    const struct {
        const char* name;
        std::string SendMail::*field;
        std::string value;
        SendMailError error;
        const char* text;
    } refusals[] = {
        {"NoRecipient", &SendMail::TO_Address, "", SendMailError::No_Destination, "Mail Destination Error"},
        {"ParameterInAddress", &SendMail::TO_Address, "a@b.jp> NOTIFY=NEVER", SendMailError::Invalid_Address,
         "Invalid address specified"},
        {"CrLfInSender", &SendMail::FROM_Address, "me@x.jp>\r\nRCPT TO:<v@x.jp", SendMailError::Invalid_Address,
         "Invalid address specified"},
        {"TwoMailboxesInOne", &SendMail::TO_Address, "a@x.jp,b@y.jp", SendMailError::Invalid_Address,
         "Invalid address specified"},
        {"HeaderInSubject", &SendMail::Subject, "hi\r\nBcc: all@x.jp", SendMailError::Invalid_Address,
         "Invalid header value"},
    };
    const int connects = socket.connects;
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        rec.errors.clear();
        mail.TO_Address = "you@x.jp";
        const std::string kept = mail.*r.field;
        mail.*r.field = r.value;
        mail.SetAction(TMailAction::Send_Mail);
        ASSERT_TRUE(rec.WaitDone(1s, 20ms));
        EXPECT_EQ(rec.errors, (decltype(rec.errors){{r.error, r.text}}));
        mail.*r.field = kept;
    }
    EXPECT_EQ(socket.connects, connects);
}

TEST_F(SendMailTest, KeptConnectionCarriesTheNextMessageAndABusyRequestIsOnlyReported)
{
    mail.KeepConnectionOpen = true;
    const Lines first = Join(kUpToData, {"S: 250 queued", "done 0"});
    EXPECT_EQ(Run(first), first);
    EXPECT_TRUE(mail.Connected());
    mail.TO_Address = "second@x.jp";
    mail.ListTo.clear();
    const Lines second = {"C: MAIL FROM:<me@x.jp>", "S: 250 ok", "C: RCPT TO:<second@x.jp>", "S: 250 ok",
                          "C: DATA", "S: 354 go", "C: <message>", "S: 250 queued", "done 0"};
    EXPECT_EQ(Run(second), second);
    EXPECT_EQ(socket.connects, 1);
    // Writing Send_Mail while a request runs only reports it.
    mail.TO_Address = "third@x.jp";
    mail.ListTo.clear();
    mail.SetAction(TMailAction::Send_Mail);
    mail.SetAction(TMailAction::Send_Mail);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Busy).size(), 1u);
    for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n"}) {
        socket.Deliver(reply);
    }
    ASSERT_TRUE(rec.WaitDone(1s, 20ms));
    // The server drops the idle connection: reported, but no request ends.
    const int done = rec.doneCount;
    socket.CloseFromServer();
    WaitUntil([] { return false; }, 50ms);
    EXPECT_EQ(rec.doneCount, done);
    EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
    // A cancel while idle ends "a request" once; another changes nothing more.
    mail.SetAction(TMailAction::Cancel_SendMail);
    mail.SetAction(TMailAction::Cancel_SendMail);
    WaitUntil([] { return false; }, 50ms);
    EXPECT_EQ(rec.doneCount, done + 1);
    EXPECT_EQ(mail.LastError(), SendMailError::Transaction_Canceled);
}

TEST_F(SendMailTest, TheMessageFlowsAsTheNetworkTakesItAndStopsOnACancelOrAnUnreadableFile)
{
    test::TempDir dir;
    const std::string big = dir.Write("big.bin", std::string(8 << 20, 'k')).string();
    mail.AddAttachment({{}, kEncodingBase64, {}, {}, {}, big});
    mail.ReplyTimeout = 10s;
    socket.Hold();
    Run(kUpToData, false);
    // Only a little of the message waits in the socket layer at a time, and
    // more comes only as the network takes it.
    const std::size_t first = socket.written.size();
    EXPECT_LT(first, 512u * 1024);
    for (int i = 0; i < 20; ++i) {
        socket.Drain(SendMail::kWritePieceBytes);
        EXPECT_LT(socket.QueuedBytes(), 256u * 1024);
    }
    EXPECT_GT(socket.written.size(), first + 1000000);
    EXPECT_LT(socket.written.size(), 4u << 20);
    // The abort button between two pieces: nothing more, no ".", one OnDone.
    const std::size_t atCancel = socket.written.size();
    mail.SetAction(TMailAction::Cancel_SendMail);
    socket.Drain(SendMail::kWritePieceBytes);
    ASSERT_TRUE(rec.WaitDone(1s, 20ms));
    EXPECT_EQ(rec.doneCount, 1);
    EXPECT_EQ(mail.LastError(), SendMailError::Transaction_Canceled);
    EXPECT_EQ(socket.written.size(), atCancel);
    EXPECT_TRUE(socket.closedByClient);

    // A file gone (or unreadable) when its part comes fails the mail: no
    // ".", so the server keeps nothing, and the error names the file.
    const std::string gone = (dir.path() / "gone.jpg").string();
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {gone, fifo}) {
        SCOPED_TRACE(path);
        socket.Release();
        mail.ClearAttachments();
        mail.AddAttachment({{}, kEncodingBase64, {}, {}, {}, path});
        mail.TO_Address = "you@x.jp";
        rec.errors.clear();
        const Lines happened = Run(kUpToData);
        ASSERT_GE(happened.size(), 2u);
        EXPECT_EQ(happened[happened.size() - 2], "C: <close>");
        ASSERT_EQ(rec.errors.size(), 1u);
        EXPECT_EQ(rec.errors[0].first, SendMailError::Attachment_Unreadable);
        EXPECT_TRUE(rec.errors[0].second.starts_with("Attachment could not be read: " + path + ": "))
            << rec.errors[0].second;
        EXPECT_EQ(socket.written.find("\r\n.\r\n"), std::string::npos);
        EXPECT_TRUE(socket.closedByClient);
        EXPECT_EQ(rec.Infos(SendMailInfo::Info_AttachmentFailed).back(), path);
    }
}

TEST(ReplyLines, PiecesAcrossReadsAndLinesTooLong)
{
    ReplyAccumulator acc;
    EXPECT_TRUE(acc.Feed("250-fir").empty());
    EXPECT_EQ(acc.Feed("st\r\n250 sec"), Lines{"250-first"});
    EXPECT_EQ(acc.Feed("ond\r"), Lines{});
    EXPECT_EQ(acc.Feed("\n"), Lines{"250 second"});
    EXPECT_EQ(acc.Feed("220 bare lf\n"), Lines{"220 bare lf"});
    // Bytes stay bytes: a zero byte is part of the line, for the parser to refuse.
    EXPECT_EQ(acc.Feed(std::string("2\0" "50 z\r\n", 8)), Lines{std::string("2\0" "50 z", 6)});
    // A line that never ends stops the reading at the cap, lines before it kept.
    EXPECT_EQ(acc.Feed("250 ok\r\n" + std::string(ReplyAccumulator::kMaxLineBytes * 3, 'x')), Lines{"250 ok"});
    EXPECT_TRUE(acc.Overflowed());
    EXPECT_EQ(acc.Pending().size(), ReplyAccumulator::kMaxLineBytes);
    EXPECT_EQ(acc.Feed("\r\n"), Lines{});
    acc.Clear();
    EXPECT_EQ(acc.Feed(std::string(ReplyAccumulator::kMaxLineBytes, 'y') + "\n").front().size(),
              ReplyAccumulator::kMaxLineBytes);

    const std::pair<const char*, std::optional<std::pair<int, bool>>> lines[] = {
        {"250 ok", {{250, true}}}, {"250-more", {{250, false}}}, {"354", {{354, true}}}, {"220 ", {{220, true}}},
        {"", std::nullopt},         {"25", std::nullopt},        {"250x", std::nullopt}, {"2500", std::nullopt},
        {" 250", std::nullopt},     {"-250", std::nullopt},      {"abc def", std::nullopt},
    };
    for (const auto& [line, want] : lines) {
        const auto got = ParseReplyLine(line);
        EXPECT_EQ(got ? std::optional(std::pair(got->code, got->last)) : std::nullopt, want) << line;
    }
}

} // namespace
} // namespace kitemail
