// Encrypted submission against real servers on loopback: aiosmtpd wanting
// STARTTLS, and TLS from the connect, each with one user; the test
// certificate for localhost trusted through CAFile. A scripted TLS peer
// plays what real servers do not do on demand.

#include "send/message_composer.h"
#include "file_bytes.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "scripted_ui.h"
#include "send/send_workflow.h"
#include "settings/settings.h"
#include "smtp_sink.h"
#include "test_certs.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <string>

namespace kitemail {
namespace {

using namespace std::chrono_literals;
using S = SmtpSecurity;
using A = SmtpAuth;

class SmtpTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::EnsureCoreApplication();
        startTls_ = std::make_unique<test::SmtpSink>();
        ASSERT_TRUE(startTls_->Start("127.0.0.1", {"starttls", "taro", "secret"})) << startTls_->Error();
        tls_ = std::make_unique<test::SmtpSink>();
        ASSERT_TRUE(tls_->Start("127.0.0.1", {"tls", "taro", "secret"})) << tls_->Error();
    }
    static void TearDownTestSuite()
    {
        startTls_.reset();
        tls_.reset();
    }

    SmtpTlsTest()
    {
        // By name: the certificate is checked against it.
        mail.SetSMTP_Server("localhost");
        mail.FROM_Address = "me@example.jp";
        mail.MailText = {"hello"};
        mail.ReplyTimeout = 10s;
    }

    // One request; its outcome as "code text".
    std::string Send(std::uint16_t port, SubmissionOptions submission)
    {
        mail.TO_Address = "you@example.jp";
        mail.SMTP_Port = port;
        mail.Submission = std::move(submission);
        rec.errors.clear();
        mail.SetAction(TMailAction::Send_Mail);
        EXPECT_TRUE(rec.WaitDone(60s)); // the connect deadline, handshake included
        return std::to_string(static_cast<int>(mail.LastError())) + " " + mail.LastFailure().text;
    }

    static inline std::unique_ptr<test::SmtpSink> startTls_;
    static inline std::unique_ptr<test::SmtpSink> tls_;
    SendMail mail;
    test::MailRecorder rec{mail};
};

TEST_F(SmtpTlsTest, RealServersWithStartTlsOrTlsFromTheConnectAndOneUser)
{
    const std::string ca = Sj(test::CertFile("ca")); // a path as the settings hold it
    const std::string refused = "22 authentication failed: 535 5.7.8 Authentication credentials invalid";
    const struct {
        const char* name;
        test::SmtpSink* server;
        SubmissionOptions submission;
        std::string outcome;
    } rows[] = {
        {"StartTlsBestOffered", startTls_.get(), {S::StartTls, A::Best, "taro", "secret", {ca}}, "0 "},
        {"StartTlsLogin", startTls_.get(), {S::StartTls, A::Login, "taro", "secret", {ca}}, "0 "},
        {"TlsPlain", tls_.get(), {S::Tls, A::Plain, "taro", "secret", {ca}}, "0 "},
        {"TlsLoginWrongPassword", tls_.get(), {S::Tls, A::Login, "taro", "wrong", {ca}}, refused},
        {"StartTlsPlainWrongUser", startTls_.get(), {S::StartTls, A::Plain, "jiro", "secret", {ca}}, refused},
        // Without CAFile the test authority is nobody the system knows.
        {"IssuerNotTrusted", tls_.get(), {S::Tls, A::Best, "taro", "secret", {}},
         "21 unknown issuer; SHA-256 " + test::CertFingerprint("server")},
        {"CaFileUnreadable", startTls_.get(), {S::StartTls, A::Best, "taro", "secret", {"/nonexistent/ca.pem"}},
         "21 CAFile holds no readable certificate: /nonexistent/ca.pem"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const int before = row.server->WaitForMessages(0, 0ms);
        const std::string outcome = Send(row.server->Port(), row.submission);
        EXPECT_EQ(outcome, row.outcome);
        const int stored = row.server->WaitForMessages(before + 1, outcome == "0 " ? 5s : 200ms);
        EXPECT_EQ(stored, before + (outcome == "0 " ? 1 : 0));
    }
    // A server that talks in the clear, taken for one that encrypts from
    // the connect: refused, never read as plain.
    const std::string clear = Send(startTls_->Port(), {S::Tls, A::Best, "taro", "secret", {ca}});
    EXPECT_TRUE(clear.starts_with("21 ")) << clear;
}

TEST_F(SmtpTlsTest, ScriptedPeerFaults)
{
    const std::string ca = Sj(test::CertFile("ca"));
    const std::vector<std::string> startTls = {"S: 220 mx", "C: EHLO *", "S: 250-mx", "S: 250-STARTTLS",
                                               "S: 250 AUTH PLAIN LOGIN", "C: STARTTLS"};
    const auto then = [&startTls](std::initializer_list<std::string> rest) {
        std::vector<std::string> script = startTls;
        script.insert(script.end(), rest);
        return script;
    };
    const struct {
        const char* name;
        SmtpSecurity security;
        SmtpAuth auth;
        std::vector<std::string> script;
        std::string outcome;
    } rows[] = {
        {"WrongHostName", S::StartTls, A::Best, then({"S: 220 go", "TLS_REFUSED wrongname"}),
         "21 host name mismatch; SHA-256 " + test::CertFingerprint("wrongname")},
        {"Expired", S::Tls, A::Best, {"TLS_REFUSED expired"},
         "21 certificate expired; SHA-256 " + test::CertFingerprint("expired")},
        {"AuthOfferedOnlyBeforeStartTls", S::StartTls, A::Best,
         then({"S: 220 go", "TLS server", "C: EHLO *", "S: 250 mx", "EXPECT_CLOSE"}),
         "22 the server offers AUTH only before STARTTLS"},
        {"StartTlsRefused", S::StartTls, A::Best, then({"S: 454 4.7.0 TLS not available", "EXPECT_CLOSE"}),
         "21 the server refused STARTTLS: 454 4.7.0 TLS not available"},
        {"SizeTooSmall", S::Tls, A::None, {"TLS server", "S: 220 mx", "C: EHLO *", "S: 250-mx", "S: 250 SIZE 10", "EXPECT_CLOSE"},
         "23 message of "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedPeer peer(row.script);
        mail.SetSMTP_Server("127.0.0.1"); // the certificates name 127.0.0.1 too
        const std::string outcome = Send(peer.Port(), {row.security, row.auth, "taro", "secret", {ca}});
        if (row.outcome.ends_with(" of ")) {
            EXPECT_TRUE(outcome.starts_with(row.outcome)) << outcome;
        } else {
            EXPECT_EQ(outcome, row.outcome);
        }
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
        for (const std::string& line : peer.ClientLines()) {
            EXPECT_FALSE(line.starts_with("AUTH")) << "credentials went out: " << line;
        }
    }
}

// The road through the send command: the password asked for, the status
// line during the slow steps, and a failure's words in the history record.
class SilentView : public SendView {
public:
    void SetMainPanelEnabled(bool) override {}
    void SetAbortButtonVisible(bool) override {}
    bool ReviewSplit(const std::string&, const std::vector<std::string>&) override { return true; }
    std::string SenderBoxText() const override { return "me@example.jp"; }
};

TEST_F(SmtpTlsTest, SendCommandAsksThePasswordShowsTheStepsAndRecordsWhatFailed)
{
    QTemporaryDir dir;
    const std::filesystem::path history = std::filesystem::path(dir.path().toStdString()) / "mail";
    Settings settings;
    settings.Server = "localhost";
    settings.Port = startTls_->Port();
    settings.SenderList = {"me@example.jp"};
    settings.SenderAddress = "me@example.jp";
    settings.CheckBeforeSend = false;
    settings.ShowSendCompleteMessage = false;
    settings.Security = 1;
    settings.AuthMethod = 1;
    settings.AuthUser = "taro";
    settings.CAFile = Sj(test::CertFile("ca"));
    test::ScriptedUserInterface ui;
    SilentView view;
    MessageComposer composer(settings, ui);
    composer.ApplyTerminalType(0);
    composer.SetDirectAddress({"you@example.jp", {}});
    composer.SetBody({"hello", {}});
    SendWorkflow workflow(settings, composer, ui, view, history);

    ui.passwordAnswers = {"secret"}; // none stored: asked once per command
    workflow.Send();
    EXPECT_EQ(workflow.FailedMailsThisCommand, 0);
    std::vector<std::string> steps;
    for (const std::string& s : ui.statusTexts) {
        if (s == Sj("TLS接続中...") || s == Sj("認証中...") || s == Sj("you@example.jpへ1/1を送信中...")) {
            steps.push_back(SjisToUtf8(s));
        }
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"you@example.jpへ1/1を送信中...", "TLS接続中...",
                                               "you@example.jpへ1/1を送信中...", "認証中...",
                                               "you@example.jpへ1/1を送信中..."}));

    // Without the authority: the box and the record say what is wrong.
    settings.CAFile.clear();
    ui.Clear();
    ui.passwordAnswers = {"secret"};
    workflow.Send();
    EXPECT_EQ(workflow.FailedMailsThisCommand, 1);
    const std::string fingerprint = test::CertFingerprint("server");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(SjisToUtf8(ui.messages[0]), "SMTPサーバーと暗号化した接続ができませんでした。\r\n"
                                          "サーバー証明書の発行者が信頼されていません（CAFileで追加できます）。\r\n"
                                          "証明書の SHA-256: " + fingerprint);
    std::vector<std::filesystem::path> files(std::filesystem::directory_iterator(history), {});
    ASSERT_EQ(files.size(), 2u);
    std::ranges::sort(files);
    const std::string record = test::ReadBytes(files.back());
    EXPECT_NE(record.find("X-ktml-Result: TLS Error: unknown issuer; SHA-256 " + fingerprint + "\r\n"),
              std::string::npos)
        << record;

    // A cancelled prompt sends nothing.
    ui.Clear();
    ui.passwordAnswers = {std::nullopt};
    workflow.Send();
    EXPECT_TRUE(workflow.RefusedOrAborted);
    EXPECT_EQ(SjisToUtf8(ui.statusTexts.back()), "送信中止：SMTP認証のパスワードが入力されませんでした。");
}

} // namespace
} // namespace kitemail
