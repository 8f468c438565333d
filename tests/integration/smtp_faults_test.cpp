// SendMail against a scripted peer and a misbehaving network: every way a
// request can end must give the right LastError, exactly one OnDone, and
// leave the event loop responsive.

#include "mail/message_writer.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/event_loop.h"
#include "qt_app.h"
#include "scripted_peer.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using test::MailRecorder;
using test::ScriptedPeer;
using Lines = std::vector<std::string>;
using std::chrono::milliseconds;

const Lines kUpToData = {"S: 220 peer ready", "C: HELO *", "S: 250 hello", "C: MAIL FROM:<me@example.jp>",
                         "S: 250 ok", "C: RCPT TO:<you@example.jp>", "S: 250 ok", "C: DATA"};

Lines Join(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

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

    void Start(ScriptedPeer& peer)
    {
        mail.SMTP_Port = peer.Port();
        mail.SetAction(TMailAction::Send_Mail);
    }

    // The request ends once, with the given error, and the loop lives on.
    void ExpectEnd(SendMailError error)
    {
        ASSERT_TRUE(rec.WaitDone(milliseconds(8000))) << "no OnDone";
        EXPECT_EQ(rec.doneCount, 1);
        EXPECT_EQ(mail.LastError(), error);
        EXPECT_EQ(rec.errorAtDone, error);
        EXPECT_FALSE(mail.Sending());
        if (error == SendMailError::No_Error || error == SendMailError::Transaction_Canceled) {
            EXPECT_TRUE(rec.errors.empty());
        } else {
            ASSERT_EQ(rec.errors.size(), 1u);
            EXPECT_EQ(rec.errors[0].first, error);
        }
        EXPECT_TRUE(MailRecorder::LoopResponsive());
    }

    std::string File(const std::string& name, std::size_t size)
    {
        const std::string path = dir.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary) << std::string(size, 'k');
        return path;
    }

    QTemporaryDir dir;
    SendMail mail;
    MailRecorder rec{mail};
};

TEST_F(SmtpFaultsTest, MultiLineGreetingAndAcceptedMessage)
{
    ScriptedPeer peer({"S: 220-first line", "S: 220-second line", "S: 220 last line", "C: HELO *", "S: 250 hi",
                       "C: MAIL FROM:<me@example.jp>", "S: 250 ok", "C: RCPT TO:<you@example.jp>", "S: 250 ok",
                       "C: DATA", "S: 354 go", "DATA", "S: 250 accepted", "C: QUIT", "S: 221 bye", "CLOSE"});
    Start(peer);
    ExpectEnd(SendMailError::No_Error);
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
    EXPECT_NE(peer.Data().find("\r\n\r\nhello\r\n"), std::string::npos);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Disconnected).size(), 1u);
}

TEST_F(SmtpFaultsTest, RefusedGreeting)
{
    ScriptedPeer peer({"S: 421 too busy", "EXPECT_CLOSE"});
    Start(peer);
    ExpectEnd(SendMailError::Unexpected_Response);
    EXPECT_EQ(rec.errors[0].second, "Unexpected response: 421 too busy");
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
    // A failed request empties the recipient fields and lists.
    EXPECT_TRUE(mail.TO_Address.empty());
    EXPECT_TRUE(mail.ListTo.empty());
    EXPECT_EQ(mail.MailText, Lines{"hello"});
}

TEST_F(SmtpFaultsTest, OneOfThreeRecipientsRefused)
{
    mail.ListTo = {"b@example.jp"};
    mail.Listcc = {"c@example.jp"};
    ScriptedPeer peer({"S: 220 ok", "C: HELO *", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                       "C: RCPT TO:<you@example.jp>", "S: 250 ok", "C: RCPT TO:<b@example.jp>",
                       "S: 550 no such user", "C: RCPT TO:<c@example.jp>", "S: 250 ok", "C: DATA", "S: 354 go",
                       "DATA", "S: 250 accepted", "C: QUIT", "CLOSE"});
    Start(peer);
    ExpectEnd(SendMailError::No_Error);
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientRefused), Lines{"b@example.jp"});
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientSent),
              (Lines{"you@example.jp", "b@example.jp", "c@example.jp"}));
    // Every listed recipient is still in the headers, the direct one first.
    const std::string data = peer.Data();
    EXPECT_LT(data.find("To:  <you@example.jp>"), data.find("To: b@example.jp"));
    EXPECT_NE(data.find("cc: c@example.jp"), std::string::npos);
}

TEST_F(SmtpFaultsTest, EveryRecipientRefused)
{
    ScriptedPeer peer({"S: 220 ok", "C: HELO *", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                       "C: RCPT TO:<you@example.jp>", "S: 550 unknown", "C: DATA", "S: 554 no valid recipients",
                       "EXPECT_CLOSE"});
    Start(peer);
    ExpectEnd(SendMailError::Unexpected_Response);
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientRefused), Lines{"you@example.jp"});
}

TEST_F(SmtpFaultsTest, CloseBeforeAcceptance)
{
    struct Case {
        const char* what;
        Lines script;
    };
    const Case cases[] = {
        {"after the greeting", {"S: 220 ok", "C: HELO *", "CLOSE"}},
        {"without a greeting", {"CLOSE"}},
        {"mid-DATA, message read but never answered", Join(kUpToData, {"S: 354 go", "DATA", "CLOSE"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SendMail m;
        MailRecorder r(m);
        m.SetSMTP_Server("127.0.0.1");
        m.FROM_Address = "me@example.jp";
        m.TO_Address = "you@example.jp";
        m.MailText = {"hello"};
        ScriptedPeer peer(c.script);
        m.SMTP_Port = peer.Port();
        m.SetAction(TMailAction::Send_Mail);
        ASSERT_TRUE(r.WaitDone(milliseconds(8000)));
        EXPECT_EQ(r.doneCount, 1);
        EXPECT_EQ(m.LastError(), SendMailError::Premature_Disconnect);
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_EQ(r.errors[0].second, "Prematurely Disconnected");
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(peer.Failures(), Lines{});
    }
}

TEST_F(SmtpFaultsTest, PeerGoneWhileALargeAttachmentIsWritten)
{
    AttachmentRecord r;
    r.fileName = File("big.bin", 8 * 1024 * 1024);
    r.AttachmentEncoding = kEncodingBase64;
    mail.AddAttachment(r);
    ScriptedPeer peer(Join(kUpToData, {"S: 354 go", "C: From:  <me@example.jp>", "CLOSE"}));
    Start(peer);
    ASSERT_TRUE(rec.WaitDone(milliseconds(8000)));
    EXPECT_EQ(rec.doneCount, 1);
    // The write fails with a reset, or the close is seen first.
    EXPECT_TRUE(mail.LastError() == SendMailError::Connection_Reset ||
                mail.LastError() == SendMailError::Premature_Disconnect)
        << static_cast<int>(mail.LastError());
    EXPECT_EQ(rec.errors.size(), 1u);
    EXPECT_TRUE(MailRecorder::LoopResponsive());
}

TEST_F(SmtpFaultsTest, CancelMidAttachmentSendsNoTerminator)
{
    AttachmentRecord r;
    r.fileName = File("big.bin", 4 * 1024 * 1024);
    r.AttachmentEncoding = kEncodingBase64;
    mail.AddAttachment(r);
    // The abort button: a call the loop runs while the message is written.
    QObject context;
    bool cancelPosted = false;
    rec.onInfo = [&](SendMailInfo info, const std::string& text) {
        if (info == SendMailInfo::Info_AttachmentProgress && !cancelPosted && std::stoul(text) > 200000) {
            cancelPosted = true;
            PostCall(&context, [this] { mail.SetAction(TMailAction::Cancel_SendMail); });
        }
    };
    ScriptedPeer peer(Join(kUpToData, {"S: 354 go", "DRAIN"}));
    Start(peer);
    ExpectEnd(SendMailError::Transaction_Canceled);
    ASSERT_TRUE(peer.Join());
    const std::string data = peer.Data();
    EXPECT_GT(data.size(), 200000u);
    EXPECT_LT(data.size(), 4u * 1024 * 1024);
    EXPECT_EQ(data.find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(data.find("QUIT"), std::string::npos);
}

TEST_F(SmtpFaultsTest, SilentServerTimesOut)
{
    struct Case {
        const char* what;
        Lines script;
    };
    const Case cases[] = {
        {"no greeting", {"SLEEP 1300"}},
        {"no reply to MAIL FROM", {"S: 220 ok", "C: HELO *", "S: 250 ok", "C: MAIL FROM:*", "SLEEP 1300"}},
        {"no reply to the end of the message", Join(kUpToData, {"S: 354 go", "DATA", "SLEEP 1300"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SendMail m;
        MailRecorder r(m);
        m.SetSMTP_Server("127.0.0.1");
        m.FROM_Address = "me@example.jp";
        m.TO_Address = "you@example.jp";
        m.ReplyTimeout = milliseconds(600);
        m.DataEndTimeout = milliseconds(900);
        ScriptedPeer peer(c.script);
        m.SMTP_Port = peer.Port();
        const auto start = std::chrono::steady_clock::now();
        m.SetAction(TMailAction::Send_Mail);
        ASSERT_TRUE(r.WaitDone(milliseconds(5000)));
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, milliseconds(550));
        EXPECT_EQ(r.doneCount, 1);
        EXPECT_EQ(m.LastError(), SendMailError::Connection_Timeout);
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_EQ(r.errors[0].second, "Connection timed out");
        EXPECT_EQ(peer.Failures(), Lines{});
    }
}

TEST_F(SmtpFaultsTest, AcceptedButNoCloseAfterQuitStillSucceeds)
{
    ScriptedPeer peer(Join(kUpToData, {"S: 354 go", "DATA", "S: 250 accepted", "C: QUIT", "SLEEP 1300"}));
    Start(peer);
    ExpectEnd(SendMailError::No_Error);
    EXPECT_TRUE(rec.Has(SendMailInfo::Info_MailAccepted));
}

TEST_F(SmtpFaultsTest, RefusedQuitAfterAcceptanceIsNotAFailure)
{
    ScriptedPeer peer(Join(kUpToData, {"S: 354 go", "DATA", "S: 250 accepted", "C: QUIT", "S: 500 what?", "CLOSE"}));
    Start(peer);
    ExpectEnd(SendMailError::No_Error);
}

TEST_F(SmtpFaultsTest, RefusedConnection)
{
    mail.SMTP_Port = test::ClosedLoopbackPort();
    mail.SetAction(TMailAction::Send_Mail);
    ExpectEnd(SendMailError::Connection_Refused);
    EXPECT_EQ(rec.errors[0].second, "Connection Refused");
    EXPECT_FALSE(rec.Has(SendMailInfo::Info_Resolving));
}

TEST_F(SmtpFaultsTest, UnresolvableHostName)
{
    mail.SetSMTP_Server("no-such-host.invalid");
    mail.SMTP_Port = test::ClosedLoopbackPort();
    mail.SetAction(TMailAction::Send_Mail);
    ExpectEnd(SendMailError::Address_Resolution);
    EXPECT_EQ(rec.errors[0].second, "Address resolution error");
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Resolving), Lines{"no-such-host.invalid"});
}

TEST_F(SmtpFaultsTest, HostNameIsLookedUpThenConnected)
{
    ScriptedPeer peer(Join(kUpToData, {"S: 354 go", "DATA", "S: 250 accepted", "C: QUIT", "CLOSE"}));
    mail.SetSMTP_Server("localhost");
    Start(peer);
    ExpectEnd(SendMailError::No_Error);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Resolved), Lines{"127.0.0.1"});
}

TEST_F(SmtpFaultsTest, ConnectTimeoutOfTheSocketLayer)
{
    // A listener whose queue is full drops further connection attempts, so
    // the connect stays pending until the countdown ends.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        (void)::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(c);
    }
    mail.SMTP_Port = ntohs(addr.sin_port);
    mail.TimeoutConnect = 1;
    mail.ReplyTimeout = milliseconds(5000);
    mail.SetAction(TMailAction::Send_Mail);
    ExpectEnd(SendMailError::Connection_Timeout);
    EXPECT_EQ(rec.errors[0].second, "Connection timed out");
    for (int c : fillers) {
        ::close(c);
    }
    ::close(fd);
}

TEST_F(SmtpFaultsTest, KeptConnectionClosedLaterByTheServer)
{
    mail.KeepConnectionOpen = true;
    ScriptedPeer peer(Join(kUpToData, {"S: 354 go", "DATA", "S: 250 accepted", "SLEEP 300", "CLOSE", "ACCEPT",
                                       "S: 220 again", "C: HELO *", "S: 250 ok", "C: MAIL FROM:<me@example.jp>",
                                       "S: 250 ok", "C: RCPT TO:<next@example.jp>", "S: 250 ok", "C: DATA",
                                       "S: 354 go", "DATA", "S: 250 accepted", "CLOSE"}));
    Start(peer);
    ExpectEnd(SendMailError::No_Error);
    EXPECT_TRUE(mail.Connected());
    // The server drops the idle connection: reported, but no request ended.
    ASSERT_TRUE(WaitUntil([this] { return !mail.Connected(); }, milliseconds(3000)));
    WaitUntil([] { return false; }, milliseconds(100));
    EXPECT_EQ(rec.doneCount, 1);
    EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
    // The next message opens a new connection.
    mail.TO_Address = "next@example.jp";
    mail.ListTo.clear();
    mail.SetAction(TMailAction::Send_Mail);
    ASSERT_TRUE(rec.WaitDone(milliseconds(8000)));
    EXPECT_EQ(rec.doneCount, 2);
    EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
    ASSERT_TRUE(peer.Join());
    EXPECT_EQ(peer.Failures(), Lines{});
}

TEST_F(SmtpFaultsTest, RequestsRefusedBeforeConnecting)
{
    struct Case {
        const char* what;
        std::function<void(SendMail&)> setup;
        SendMailError error;
    };
    const Case cases[] = {
        {"no recipient anywhere", [](SendMail& m) { m.TO_Address.clear(); }, SendMailError::No_Destination},
        {"CR LF in the sender address",
         [](SendMail& m) { m.FROM_Address = "me@example.jp>\r\nRCPT TO:<victim@example.jp"; },
         SendMailError::Invalid_Address},
        {"LF in a listed recipient", [](SendMail& m) { m.Listcc = {"c@example.jp\nDATA"}; },
         SendMailError::Invalid_Address},
        {"header injection through the subject",
         [](SendMail& m) { m.Subject = "hi\r\nBcc: everyone@example.jp"; }, SendMailError::Invalid_Address},
        {"control byte in an extra header", [](SendMail& m) { m.Headers = {"X-A: b\rc"}; },
         SendMailError::Invalid_Address},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SendMail m;
        MailRecorder r(m);
        m.SetSMTP_Server("127.0.0.1");
        m.SMTP_Port = test::ClosedLoopbackPort();
        m.FROM_Address = "me@example.jp";
        m.TO_Address = "you@example.jp";
        c.setup(m);
        m.SetAction(TMailAction::Send_Mail);
        ASSERT_TRUE(r.WaitDone(milliseconds(3000)));
        EXPECT_EQ(r.doneCount, 1);
        EXPECT_EQ(m.LastError(), c.error);
        EXPECT_EQ(r.errors.size(), 1u);
        EXPECT_FALSE(r.Has(SendMailInfo::Info_Connected));
        EXPECT_FALSE(m.HasSocket());
    }
}

TEST_F(SmtpFaultsTest, CancelWhileIdleAndBusyRequests)
{
    // On a new component a cancel still ends "a request" once.
    mail.SetAction(TMailAction::Cancel_SendMail);
    ExpectEnd(SendMailError::Transaction_Canceled);
    // A second cancel after that changes only LastError.
    mail.SetAction(TMailAction::Cancel_SendMail);
    WaitUntil([] { return false; }, milliseconds(100));
    EXPECT_EQ(rec.doneCount, 1);
    // Send_Mail while a request runs is only reported.
    ScriptedPeer peer({"S: 220 ok", "C: HELO *", "S: 250 ok", "C: MAIL FROM:*", "S: 250 ok", "C: RCPT TO:*",
                       "S: 250 ok", "C: DATA", "S: 354 go", "DATA", "S: 250 ok", "C: QUIT", "CLOSE"});
    mail.TO_Address = "you@example.jp";
    mail.SMTP_Port = peer.Port();
    mail.SetAction(TMailAction::Send_Mail);
    mail.SetAction(TMailAction::Send_Mail);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Busy).size(), 1u);
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.doneCount, 2);
    EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
}

} // namespace
} // namespace kitemail
