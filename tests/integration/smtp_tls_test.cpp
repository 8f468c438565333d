// Encrypted submission against real servers on loopback: aiosmtpd wanting
// STARTTLS, and TLS from the connect, each with one user; the test
// certificate for localhost trusted through CAFile. A scripted TLS peer
// plays what real servers do not do on demand.

#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "smtp_sink.h"
#include "test_certs.h"

#include <gtest/gtest.h>

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
        // Only a bound: under the sanitizers on a loaded machine loading the
        // trust store alone can take seconds before a handshake ends.
        mail.ReplyTimeout = 60s;
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

// What real servers do not do on demand: a certificate for another name, an
// expired one. (The dialogue's own refusals are the transcripts' business.)
TEST_F(SmtpTlsTest, ScriptedPeerCertificatesRefused)
{
    const std::string ca = Sj(test::CertFile("ca"));
    const struct {
        const char* name;
        SmtpSecurity security;
        std::vector<std::string> script;
        std::string outcome;
    } rows[] = {
        {"WrongHostName", S::StartTls,
         {"S: 220 mx", "C: EHLO *", "S: 250-mx", "S: 250-STARTTLS", "S: 250 AUTH PLAIN LOGIN", "C: STARTTLS",
          "S: 220 go", "TLS_REFUSED wrongname"},
         "21 host name mismatch; SHA-256 " + test::CertFingerprint("wrongname")},
        {"Expired", S::Tls, {"TLS_REFUSED expired"},
         "21 certificate expired; SHA-256 " + test::CertFingerprint("expired")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedPeer peer(row.script);
        mail.SetSMTP_Server("127.0.0.1"); // the certificates name 127.0.0.1 too
        EXPECT_EQ(Send(peer.Port(), {row.security, A::Best, "taro", "secret", {ca}}), row.outcome);
        EXPECT_TRUE(peer.Join());
        EXPECT_EQ(peer.Failures(), std::vector<std::string>{});
        for (const std::string& line : peer.ClientLines()) {
            EXPECT_FALSE(line.starts_with("AUTH")) << "credentials went out: " << line;
        }
    }
}

} // namespace
} // namespace kitemail
