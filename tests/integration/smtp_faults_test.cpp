// SendMail against a scripted peer and a misbehaving network: every way a
// request can end must give the right LastError, exactly one OnDone, and
// leave the event loop responsive.

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
    Lines lookup = {};                     // Info_Resolving, then Info_Resolved
    milliseconds minWait = milliseconds(0); // a time-out must not come early
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
    EXPECT_EQ(Join(rec.Infos(SendMailInfo::Info_Resolving), rec.Infos(SendMailInfo::Info_Resolved)), c.lookup);
    EXPECT_EQ(rec.Has(SendMailInfo::Info_MailAccepted), c.error == E::No_Error);
    EXPECT_EQ(rec.Has(SendMailInfo::Info_Connected), peer != nullptr);
    EXPECT_TRUE(peer != nullptr || !mail.HasSocket());
    // A failed request empties the recipient fields and lists, and only those.
    EXPECT_TRUE(c.error == E::No_Error || (mail.TO_Address.empty() && mail.ListTo.empty()));
    EXPECT_EQ(mail.MailText, Lines{"hello"});
    ASSERT_TRUE(peer == nullptr || peer->Join());
    EXPECT_EQ(peer ? peer->Failures() : Lines{}, Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    All, SmtpEndingTest,
    ::testing::Values(
        Ending{"RefusedGreeting", {"S: 421 busy", "EXPECT_CLOSE"}, E::Unexpected_Response, "Unexpected response: 421 busy"},
        Ending{"EveryRecipientRefused", Join(kToRcpt, {"S: 550 unknown", "C: DATA", "S: 554 nobody", "EXPECT_CLOSE"}),
               E::Unexpected_Response, "Unexpected response: 554 nobody"},
        Ending{"CloseWithTheMessageUnanswered", Join(kUpToData, {"DATA", "CLOSE"}), E::Premature_Disconnect, "Prematurely Disconnected"},
        Ending{.name = "NoGreeting", .script = {"SLEEP 1300"}, .error = E::Connection_Timeout, .text = kTimedOut,
               .minWait = milliseconds(950)},
        Ending{.name = "NoReplyToTheEndOfTheMessage", .script = Join(kUpToData, {"DATA", "SLEEP 1800"}),
               .error = E::Connection_Timeout, .text = kTimedOut, .minWait = milliseconds(1450)},
        Ending{"AcceptedButNoCloseAfterQuit", Join(kAccepted, {"SLEEP 1300"}), E::No_Error},
        Ending{"RefusedQuitAfterAcceptance", Join(kAccepted, {"S: 500 what?", "CLOSE"}), E::No_Error},
        Ending{"HostNameIsLookedUpThenConnected", Join(kAccepted, {"CLOSE"}), E::No_Error, {},
               [](SendMail& m) { m.SetSMTP_Server("localhost"); }, {"localhost", "127.0.0.1"}},
        Ending{"RefusedConnection", {}, E::Connection_Refused, "Connection Refused"},
        Ending{"UnresolvableHostName", {}, E::Address_Resolution, "Address resolution error",
               [](SendMail& m) { m.SetSMTP_Server("no-such-host.invalid"); }, {"no-such-host.invalid"}},
        // Refused before connecting.
        Ending{"NoRecipientAnywhere", {}, E::No_Destination, "Mail Destination Error", [](auto& m) { m.TO_Address = {}; }},
        Ending{"CrLfInTheSenderAddress", {}, E::Invalid_Address, "Invalid address specified",
               [](SendMail& m) { m.FROM_Address = "me@example.jp>\r\nRCPT TO:<victim@example.jp"; }},
        Ending{"HeaderInjectionThroughTheSubject", {}, E::Invalid_Address, "Invalid header value",
               [](SendMail& m) { m.Subject = "hi\r\nBcc: everyone@example.jp"; }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SmtpFaultsTest, MultiLineGreetingOneOfThreeRecipientsRefusedAndABusyRequest)
{
    mail.ListTo = {"b@example.jp"};
    mail.Listcc = {"c@example.jp"};
    ScriptedPeer peer(Join(Join({"S: 220-first line", "S: 220-second line"}, kToRcpt),
                           {"S: 250 ok", "C: RCPT TO:<b@example.jp>", "S: 550 no such user", "C: RCPT TO:<c@example.jp>",
                            "S: 250 ok", "C: DATA", "S: 354 go", "DATA", "S: 250 accepted", "C: QUIT", "CLOSE"}));
    Start(&peer);
    mail.SetAction(TMailAction::Send_Mail); // while a request runs: only reported
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Busy).size(), 1u);
    ExpectEnd(E::No_Error);
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientRefused), Lines{"b@example.jp"});
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientSent), (Lines{"you@example.jp", "b@example.jp", "c@example.jp"}));
    // The direct recipient comes first in the headers, the listed ones after it.
    EXPECT_LT(peer.Data().find("To:  <you@example.jp>"), peer.Data().find("To: b@example.jp"));
}

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
    mail.TimeoutConnect = 1;
    mail.ReplyTimeout = milliseconds(5000);
    mail.SetAction(TMailAction::Send_Mail);
    ExpectEnd(E::Connection_Timeout, kTimedOut);
    for (const int f : fds) {
        ::close(f);
    }
}

TEST_F(SmtpFaultsTest, IdleCancelAndAKeptConnectionClosedLaterByTheServer)
{
    // On a new component a cancel still ends "a request" once; a second one
    // after that changes only LastError.
    mail.SetAction(TMailAction::Cancel_SendMail);
    ExpectEnd(E::Transaction_Canceled);
    mail.SetAction(TMailAction::Cancel_SendMail);
    WaitUntil([] { return false; }, milliseconds(100));
    EXPECT_EQ(std::exchange(rec.doneCount, 0), 1);
    mail.TO_Address = "you@example.jp";
    mail.KeepConnectionOpen = true;
    ScriptedPeer peer(Join(Join(kUpToData, {"DATA", "S: 250 accepted", "SLEEP 300", "CLOSE", "ACCEPT"}),
                           Join(kUpToData, {"DATA", "S: 250 accepted", "CLOSE"})));
    Start(&peer);
    ExpectEnd(E::No_Error);
    EXPECT_TRUE(mail.Connected());
    // The server drops the idle connection: reported, but no request ended.
    ASSERT_TRUE(WaitUntil([this] { return !mail.Connected(); }, milliseconds(3000)));
    WaitUntil([] { return false; }, milliseconds(100));
    EXPECT_EQ(mail.LastError(), E::No_Error);
    // The next message opens a new connection.
    mail.ListTo.clear();
    EXPECT_EQ(std::exchange(rec.doneCount, 0), 1);
    mail.SetAction(TMailAction::Send_Mail);
    ExpectEnd(E::No_Error);
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
}

} // namespace
} // namespace kitemail
