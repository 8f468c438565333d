// SendMail on real sockets against a scripted peer and a misbehaving
// network, for what only a socket shows (the dialogue itself is tested as
// transcripts): every way a request can end must give the right LastError,
// exactly one OnDone, and leave the event loop responsive.

#include "mail/message_writer.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/event_loop.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QObject>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kitemail {
namespace {

using test::MailRecorder;
using test::ScriptedPeer;
using Lines = std::vector<std::string>;
using std::chrono::milliseconds;
using E = SendMailError;

Lines Join(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Lines kGreeted = {"S: 220 peer ready", "C: HELO *", "S: 250 hello"};
const Lines kToRcpt = Join(kGreeted, {"C: MAIL FROM:<me@example.jp>", "S: 250 ok", "C: RCPT TO:<you@example.jp>"});
const Lines kUpToData = Join(kToRcpt, {"S: 250 ok", "C: DATA", "S: 354 go"});
const Lines kAccepted = Join(kUpToData, {"DATA", "S: 250 accepted", "C: QUIT"});
const char* const kTimedOut = "Connection timed out";
const std::string kUnexpected = "Unexpected response: ";

class SmtpFaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCoreApplication();
        mail.SetSMTP_Server("127.0.0.1");
        mail.FROM_Address = "me@example.jp";
        mail.TO_Address = "you@example.jp";
        mail.MailText = {"hello"};
        mail.ReplyTimeout = milliseconds(1000);
        mail.DataEndTimeout = milliseconds(1500);
    }

    // Starts a request against the peer, or against a port nothing listens on.
    void Start(const ScriptedPeer* peer)
    {
        mail.SMTP_Port = peer != nullptr ? peer->Port() : test::ClosedLoopbackPort();
        mail.SetAction(TMailAction::Send_Mail);
    }

    // The request ends once, with the given error (reported with its text
    // unless there is none), and the loop lives on.
    void ExpectEnd(SendMailError error, const std::string& text = {})
    {
        ASSERT_TRUE(rec.WaitDone(milliseconds(8000))) << "no OnDone";
        EXPECT_EQ(rec.doneCount, 1);
        EXPECT_EQ(mail.LastError(), error);
        EXPECT_EQ(rec.errorAtDone, error);
        EXPECT_FALSE(mail.Sending());
        EXPECT_EQ(rec.errors, (text.empty() ? decltype(rec.errors){} : decltype(rec.errors){{error, text}}));
        EXPECT_TRUE(MailRecorder::LoopResponsive());
    }

    test::TempDir dir;
    SendMail mail;
    MailRecorder rec{mail};
};

struct Ending {
    const char* name;
    Lines script; // empty: nothing listens
    SendMailError error;
    std::string text = {}; // the error text
    std::function<void(SendMail&)> setup = [](SendMail&) {};
    Lines lookup = {};                      // Info_Resolving, then Info_Resolved
    milliseconds minWait = milliseconds(0);  // a time-out must not come early
    milliseconds maxWait = milliseconds(8000);
};

class SmtpEndingTest : public SmtpFaultsTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(SmtpEndingTest, EndsOnceWithItsOutcome)
{
    const Ending& c = GetParam();
    const auto peer = c.script.empty() ? nullptr : std::make_unique<ScriptedPeer>(c.script);
    c.setup(mail);
    const auto start = std::chrono::steady_clock::now();
    Start(peer.get());
    ExpectEnd(c.error, c.text);
    EXPECT_GE(std::chrono::steady_clock::now() - start, c.minWait);
    EXPECT_LE(std::chrono::steady_clock::now() - start, c.maxWait);
    EXPECT_EQ(Join(rec.Infos(SendMailInfo::Info_Resolving), rec.Infos(SendMailInfo::Info_Resolved)), c.lookup);
    EXPECT_EQ(rec.Has(SendMailInfo::Info_MailAccepted), c.error == E::No_Error);
    EXPECT_EQ(rec.Has(SendMailInfo::Info_Connected), peer != nullptr);
    EXPECT_FALSE(mail.Connected());
    // A failed request empties the recipient fields and lists, and only those.
    EXPECT_TRUE(c.error == E::No_Error || (mail.TO_Address.empty() && mail.ListTo.empty()));
    EXPECT_EQ(mail.MailText, Lines{"hello"});
    ASSERT_TRUE(peer == nullptr || peer->Join());
    EXPECT_EQ(peer ? peer->Failures() : Lines{}, Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    All, SmtpEndingTest,
    ::testing::Values(
        // Accepted means delivered, however the server goes away after. The
        // replies themselves are the transcripts' business; a socket adds its
        // close, its reset and a line spread over many reads.
        Ending{"AcceptedAndClosedAtOnce", Join(kUpToData, {"DATA", "S: 250 accepted", "CLOSE"}), E::No_Error},
        Ending{"AcceptedThenResetOnQuit", Join(kAccepted, {"RESET"}), E::No_Error},
        // A reply line longer than any server sends ends the request.
        Ending{"MegabyteLine", {"W: 220 " + std::string(1 << 20, 'x')}, E::Unexpected_Response,
               kUnexpected + "220 " + std::string(508, 'x')},
        // A deadline counts from the command, not from the last byte.
        Ending{.name = "GreetingDrippedAByteASecond", .script = {"DRIP 1000 220 very slow greeting"},
               .error = E::Connection_Timeout, .text = kTimedOut,
               .setup = [](SendMail& m) { m.ReplyTimeout = milliseconds(2000); }, .minWait = milliseconds(1900),
               .maxWait = milliseconds(4000)},
        Ending{"CloseWithTheMessageUnanswered", Join(kUpToData, {"DATA", "CLOSE"}), E::Premature_Disconnect,
               "Prematurely Disconnected"},
        Ending{"HostNameIsLookedUpThenConnected", Join(kAccepted, {"CLOSE"}), E::No_Error, {},
               [](SendMail& m) { m.SetSMTP_Server("localhost"); }, {"localhost", "127.0.0.1"}},
        Ending{"RefusedConnection", {}, E::Connection_Refused, "Connection Refused"},
        Ending{"UnresolvableHostName", {}, E::Address_Resolution, "Address resolution error",
               [](SendMail& m) { m.SetSMTP_Server("no-such-host.invalid"); }, {"no-such-host.invalid"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SmtpFaultsTest, LargeAttachmentCancelledOrCutOffMidway)
{
    mail.AddAttachment({{}, kEncodingBase64, {}, {}, {}, dir.Write("a", std::string(8 << 20, 'k')).string()});
    // The abort button: a call the loop runs while the message is written.
    QObject context;
    bool cancelPosted = false;
    rec.onInfo = [&](SendMailInfo info, const std::string& text) {
        if (info == SendMailInfo::Info_AttachmentProgress && !cancelPosted && std::stoul(text) > 200000) {
            cancelPosted = true;
            PostCall(&context, [this] { mail.SetAction(TMailAction::Cancel_SendMail); });
        }
    };
    ScriptedPeer peer(Join(kUpToData, {"DRAIN"}));
    Start(&peer);
    ExpectEnd(E::Transaction_Canceled);
    ASSERT_TRUE(peer.Join());
    const std::string data = peer.Data();
    EXPECT_GT(data.size(), 200000u);
    EXPECT_LT(data.size(), 8u << 20);
    EXPECT_EQ(data.find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(data.find("QUIT"), std::string::npos);
    // The peer goes away midway: the write fails with a reset, or the close is seen first.
    mail.TO_Address = "you@example.jp";
    ScriptedPeer gone(Join(kUpToData, {"C: From:  <me@example.jp>", "CLOSE"}));
    Start(&gone);
    ASSERT_TRUE(rec.WaitDone(milliseconds(8000)));
    EXPECT_EQ(rec.doneCount, 2);
    EXPECT_TRUE(mail.LastError() == E::Connection_Reset || mail.LastError() == E::Premature_Disconnect);
    EXPECT_EQ(rec.errors.size(), 1u);
    EXPECT_TRUE(MailRecorder::LoopResponsive());
}

TEST_F(SmtpFaultsTest, ConnectTimeoutOfTheSocketLayer)
{
    // A listener whose queue is full drops further connection attempts, so
    // the connect stays pending until the countdown ends.
    sockaddr_in addr{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    socklen_t len = sizeof addr;
    std::vector<int> fds{::socket(AF_INET, SOCK_STREAM, 0)};
    ASSERT_EQ(::bind(fds[0], reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(::listen(fds[0], 0), 0);
    ::getsockname(fds[0], reinterpret_cast<sockaddr*>(&addr), &len);
    for (int i = 0; i < 3; ++i) {
        fds.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        (void)::connect(fds.back(), reinterpret_cast<sockaddr*>(&addr), len);
    }
    mail.SMTP_Port = ntohs(addr.sin_port);
    mail.TimeoutConnect = milliseconds(1000);
    mail.ReplyTimeout = milliseconds(5000);
    mail.SetAction(TMailAction::Send_Mail);
    ExpectEnd(E::Connection_Timeout, kTimedOut);
    for (const int f : fds) {
        ::close(f);
    }
}

} // namespace
} // namespace kitemail
