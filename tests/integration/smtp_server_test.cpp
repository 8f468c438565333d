// SendMail on real sockets. Against real SMTP servers on loopback
// (aiosmtpd: in the clear, wanting STARTTLS, or TLS from the connect, each
// with one user; the test certificate for localhost trusted through CAFile):
// what the server stores, read back with Python's email package, must be
// what was sent. Against scripted peers and a misbehaving network, for what
// only a socket shows and real servers do not do on demand: every way a
// request can end must give the right LastError, exactly one OnDone, and
// leave the event loop responsive. (The dialogue itself is tested as
// transcripts; Japanese headers and body go the whole road in the send
// workflow's tests.)

#include "mail/message_writer.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "scripted_peer.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "golden.h"
#include "test_certs.h"
#include "transcript.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using namespace std::chrono_literals;
using test::MailRecorder;
using test::ScriptedPeer;
using Lines = std::vector<std::string>;
using std::chrono::milliseconds;
using E = SendMailError;
using S = SmtpSecurity;
using A = SmtpAuth;

// A request from me to you, against a server on loopback.
class SocketTest : public ::testing::Test {
protected:
    SocketTest()
    {
        test::EnsureCoreApplication();
        mail.SetSMTP_Server("127.0.0.1");
        mail.FROM_Address = "me@example.jp";
        mail.TO_Address = "you@example.jp";
        mail.MailText = {"hello"};
    }

    test::TempDir dir;
    SendMail mail;
    MailRecorder rec{mail};
};

// Real servers, each for the whole suite: one in the clear, one wanting
// STARTTLS and one TLS from the connect, both with one user.
class SmtpServerTest : public SocketTest {
protected:
    static void SetUpTestSuite()
    {
        test::EnsureCoreApplication();
        const std::pair<std::unique_ptr<test::SmtpSink>*, test::SmtpSinkOptions> servers[] = {
            {&plain_, {}}, {&startTls_, {"starttls", "taro", "secret"}}, {&tls_, {"tls", "taro", "secret"}}};
        for (const auto& [server, options] : servers) {
            *server = std::make_unique<test::SmtpSink>();
            ASSERT_TRUE((*server)->Start("127.0.0.1", options)) << (*server)->Error();
        }
    }
    static void TearDownTestSuite()
    {
        plain_.reset();
        startTls_.reset();
        tls_.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(plain_ && startTls_ && tls_);
        baseline_ = plain_->WaitForMessages(0, 0ms);
        // Only bounds: under the sanitizers on a loaded machine loading the
        // trust store alone can take seconds before a handshake ends.
        mail.ReplyTimeout = 60s;
        mail.DataEndTimeout = 60s;
    }

    // Sends to the plain server, expects success, and returns the stored
    // message as parsed.
    QJsonObject SendAndParse()
    {
        EXPECT_EQ(Send(plain_->Port(), {}), "0");
        EXPECT_FALSE(rec.sendingAtDone);
        EXPECT_TRUE(rec.errors.empty()) << rec.errors.front().second;
        number_ = ++baseline_;
        EXPECT_EQ(plain_->WaitForMessages(number_, std::chrono::seconds(5)), number_);
        QJsonObject parsed = test::ParseStoredMail(plain_->MessagePath(number_));
        EXPECT_FALSE(parsed.contains("error")) << parsed.value("error").toString().toStdString();
        return parsed;
    }

    // One request; its outcome as "code text" ("0" for success).
    std::string Send(std::uint16_t port, SubmissionOptions submission)
    {
        mail.SMTP_Port = port;
        mail.Submission = std::move(submission);
        rec.errors.clear();
        const int before = rec.doneCount;
        mail.SetAction(TMailAction::Send_Mail);
        EXPECT_TRUE(rec.WaitDone(60s)); // the connect deadline, handshake included
        EXPECT_EQ(rec.doneCount, before + 1);
        const std::string text = mail.LastFailure().text;
        return std::to_string(static_cast<int>(mail.LastError())) + (text.empty() ? "" : " " + text);
    }

    std::string File(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes).string(); }

    static std::string RandomBytes(std::size_t n, unsigned seed)
    {
        std::mt19937 gen(seed);
        std::string s(n, '\0');
        for (char& c : s) {
            c = static_cast<char>(gen() & 0xFF);
        }
        return s;
    }

    static inline std::unique_ptr<test::SmtpSink> plain_, startTls_, tls_;
    int baseline_ = 0; // messages the server held before this request
    int number_ = 0;
};

TEST_F(SmtpServerTest, ListsWithBccOutOfTheHeadersAndDotLinesIntact)
{
    mail.TO_Address.clear();
    mail.ListTo = {"to1@example.jp|Taro", "to2@example.jp"};
    mail.Listcc = {"cc1@example.jp"};
    mail.ListBcc = {"secret1@example.jp", "secret2@example.jp|Hidden"};
    // The caller stuffs the body; the server removes the stuffing again.
    mail.MailText = {"..leading dot", "..", "...two dots", "plain"};
    const QJsonObject m = SendAndParse();
    EXPECT_EQ(m.value("body").toString(), QStringLiteral(".leading dot\r\n.\r\n..two dots\r\nplain\r\n\r\n"));
    EXPECT_EQ(m.value("to").toArray().size(), 2);
    EXPECT_EQ(m.value("cc").toArray().size(), 1);
    EXPECT_FALSE(m.value("has_bcc").toBool());
    const std::string raw = plain_->MessageBytes(number_);
    EXPECT_EQ(raw.find("secret"), std::string::npos);
    EXPECT_EQ(raw.find("Hidden"), std::string::npos);
    EXPECT_EQ(plain_->Envelope(number_).value("rcpt_tos").toArray(),
              QJsonArray({"to1@example.jp", "to2@example.jp", "cc1@example.jp", "secret1@example.jp",
                          "secret2@example.jp"}));
}

TEST_F(SmtpServerTest, EveryAttachmentEncodingAndFiveMegabytesDecodeToTheSameBytes)
{
    mail.TO_Address = "a@example.jp";
    mail.MailText = {"see attached"};
    const std::string binary = RandomBytes(10000, 1);
    // Text whose lines begin with dots and whose lengths make uuencode and
    // quoted-printable lines begin with them too.
    std::string text = ".first\r\n.\r\n";
    for (int i = 0; i < 300; ++i) {
        text += std::string(static_cast<std::size_t>(i % 90), '.') + "x=" + std::to_string(i) + "\r\n";
    }
    const struct {
        const char* name;
        std::string bytes;
        std::uint8_t encoding;
    } files[] = {
        {"photo.jpg", binary, kEncodingBase64},
        {"notes.txt", text, kEncodingQuotedPrintable},
        {"plain.txt", text, kEncodingPlainText},
        {"data.bin", binary, kEncodingUuencode},
        {"auto.bin", binary, kEncodingDetect},
        {"auto.txt", text, kEncodingDetect},
        {"dots.bin", std::string(14, '.'), kEncodingUuencode},
        {"big.bin", RandomBytes(5 * 1024 * 1024 + 17, 3), kEncodingBase64},
    };
    for (const auto& f : files) {
        mail.AddAttachment({{}, f.encoding, {}, {}, "file " + std::string(f.name), File(f.name, f.bytes)});
    }
    // As the send run adds a file: an encoded name (a base64 part names
    // itself after the file all the same) and a content type of its own.
    mail.AddAttachment({EncodeJisHeader(Sj("写真.png")), kEncodingBase64, "image/png", {}, {}, File("x.png", binary)});
    int ticks = 0;
    LoopTimer ticker;
    ticker.Start(std::chrono::milliseconds(10), false, [&ticks] { ++ticks; });
    const QJsonObject m = SendAndParse();
    EXPECT_GT(rec.progressCount, 90000);
    EXPECT_GT(ticks, 0); // the loop kept running while the message was written
    // In a multipart message the last line end belongs to the boundary.
    EXPECT_EQ(m.value("body").toString(), QStringLiteral("see attached\r\n"));
    const QJsonArray parts = m.value("parts").toArray();
    ASSERT_EQ(parts.size(), 9);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(files[i].name);
        std::string expected = files[i].bytes;
        if (mail.AttachmentRecordAt(static_cast<std::size_t>(i))->AttachmentEncoding == kEncodingPlainText) {
            expected.resize(expected.size() - 2); // the line end before a boundary belongs to it
        }
        EXPECT_EQ(test::DecodedBytes(parts[i].toObject(), "payload_b64"), expected);
        EXPECT_EQ(parts[i].toObject().value("description").toString().toStdString(), "file " + std::string(files[i].name));
    }
    EXPECT_EQ(parts[0].toObject().value("filename").toString(), QStringLiteral("photo.jpg"));
    EXPECT_EQ(parts[3].toObject().value("filename").toString(), QStringLiteral("data.uue"));
    const QJsonObject part = parts[8].toObject();
    EXPECT_EQ(part.value("content_type").toString(), QStringLiteral("image/png"));
    EXPECT_EQ(test::DecodedBytes(part, "payload_b64"), binary);
}

TEST_F(SmtpServerTest, OverIpv6)
{
    test::SmtpSink v6;
    if (!v6.Start("::1")) {
        GTEST_SKIP() << "no IPv6 loopback here: " << v6.Error();
    }
    mail.SetSMTP_Server("::1");
    mail.MailText = {"over IPv6"};
    EXPECT_EQ(Send(v6.Port(), {}), "0");
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Connected), std::vector<std::string>{"::1"});
    ASSERT_EQ(v6.WaitForMessages(1, std::chrono::seconds(5)), 1);
    EXPECT_NE(v6.MessageBytes(1).find("over IPv6"), std::string::npos);
}

// The rows of tests/data/tables/smtp_submission.tsv, against the server
// wanting STARTTLS or the one encrypting from the connect, by name: the
// certificate is checked against it.
class SmtpSubmission : public SmtpServerTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(SmtpSubmission, EndsWithItsOutcome)
{
    const test::TableRow& row = GetParam();
    test::SmtpSink* server = row[0] == "tls" ? tls_.get() : startTls_.get();
    const std::map<std::string, S> security = {{"StartTls", S::StartTls}, {"Tls", S::Tls}};
    const std::map<std::string, A> login = {{"Best", A::Best}, {"Login", A::Login}, {"Plain", A::Plain}};
    // <ca>: the test authority's file, a path as the settings hold it.
    const std::string ca = row[5] == "<ca>" ? Sj(test::CertFile("ca")) : row[5];
    mail.SetSMTP_Server("localhost");
    const int before = server->WaitForMessages(0, 0ms);
    const std::string outcome = Send(server->Port(), {security.at(row[1]), login.at(row[2]), row[3], row[4], {ca}});
    std::string expected = row[6];
    if (const std::size_t at = expected.find("<fingerprint>"); at != std::string::npos) {
        expected.replace(at, 13, test::CertFingerprint("server"));
    }
    if (expected.ends_with('*')) {
        EXPECT_TRUE(outcome.starts_with(expected.substr(0, expected.size() - 1))) << outcome;
    } else {
        EXPECT_EQ(outcome, expected);
    }
    const int stored = server->WaitForMessages(before + 1, outcome == "0" ? 5s : 200ms);
    EXPECT_EQ(stored, before + (outcome == "0" ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(Table, SmtpSubmission, ::testing::ValuesIn(test::ReadTable("smtp_submission")),
                         test::TableRowName());

Lines Join(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const char* const kTimedOut = "Connection timed out";

class SmtpFaultsTest : public SocketTest {
protected:
    SmtpFaultsTest()
    {
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
    void ExpectEnd(SendMailError error, const std::string& text = {}, milliseconds wait = milliseconds(8000))
    {
        ASSERT_TRUE(rec.WaitDone(wait)) << "no OnDone";
        EXPECT_EQ(rec.doneCount, 1);
        EXPECT_EQ(mail.LastError(), error);
        EXPECT_EQ(rec.errorAtDone, error);
        EXPECT_FALSE(mail.Sending());
        EXPECT_EQ(rec.errors, (text.empty() ? decltype(rec.errors){} : decltype(rec.errors){{error, text}}));
        EXPECT_TRUE(MailRecorder::LoopResponsive());
    }
};

// The transcripts of tests/data/transcripts/socket/, played by a scripted
// peer (its steps in scripted_peer.h; none: nothing listens). Headers:
// server, security (a login then, trusting the test authority), connected
// (no: Info_Connected never comes), lookup
// (Info_Resolving and Info_Resolved), reply-timeout, min-wait and max-wait
// (ms: a time-out must not come early), end ("done", the error, its text).
class SocketTranscript : public SmtpFaultsTest, public ::testing::WithParamInterface<std::filesystem::path> {};

TEST_P(SocketTranscript, EndsOnceWithItsOutcome)
{
    const test::Transcript t = test::ReadTranscript(
        GetParam(), {{"fingerprint-wrongname", test::CertFingerprint("wrongname")},
                     {"fingerprint-expired", test::CertFingerprint("expired")}});
    const auto peer = t.steps.empty() ? nullptr : std::make_unique<ScriptedPeer>(t.steps);
    mail.SetSMTP_Server(t.Header("server", "127.0.0.1"));
    if (t.Has("security")) {
        const std::string ca = Sj(test::CertFile("ca")); // a path as the settings hold it
        mail.Submission = {t.Header("security") == "tls" ? S::Tls : S::StartTls, A::Best, "taro", "secret", {ca}};
    }
    mail.ReplyTimeout = milliseconds(std::stoi(t.Header("reply-timeout", "1000")));
    const std::string end = t.Header("end");
    const std::size_t space = end.find(' ', 5);
    const auto error = static_cast<SendMailError>(std::stoi(end.substr(5, space - 5)));
    const auto start = std::chrono::steady_clock::now();
    Start(peer.get());
    const milliseconds maxWait(std::stoi(t.Header("max-wait", "8000")));
    ExpectEnd(error, space == std::string::npos ? "" : end.substr(space + 1), maxWait);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(std::stoi(t.Header("min-wait", "0"))));
    EXPECT_LE(std::chrono::steady_clock::now() - start, maxWait);
    Lines lookup;
    std::istringstream words(t.Header("lookup"));
    for (std::string word; words >> word;) {
        lookup.push_back(word);
    }
    EXPECT_EQ(Join(rec.Infos(SendMailInfo::Info_Resolving), rec.Infos(SendMailInfo::Info_Resolved)), lookup);
    EXPECT_EQ(rec.Has(SendMailInfo::Info_MailAccepted), error == E::No_Error);
    EXPECT_EQ(rec.Has(SendMailInfo::Info_Connected), peer != nullptr && t.Header("connected") != "no");
    EXPECT_FALSE(mail.Connected());
    // A failed request empties the recipient fields and lists, and only those.
    EXPECT_TRUE(error == E::No_Error || (mail.TO_Address.empty() && mail.ListTo.empty()));
    EXPECT_EQ(mail.MailText, Lines{"hello"});
    ASSERT_TRUE(peer == nullptr || peer->Join());
    EXPECT_EQ(peer ? peer->Failures() : Lines{}, Lines{});
    for (const std::string& line : peer ? peer->ClientLines() : Lines{}) {
        EXPECT_FALSE(line.starts_with("AUTH")) << "credentials went out before the certificate passed: " << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SocketTranscript, ::testing::ValuesIn(test::TranscriptFiles("socket")),
                         [](const auto& row) { return test::TranscriptName(row.param); });

// The peer goes away midway through a large message: the write fails with
// a reset, or the close is seen first. (A cancel midway: the socket tests.)
TEST_F(SmtpFaultsTest, LargeAttachmentCutOffMidway)
{
    mail.AddAttachment({{}, kEncodingBase64, {}, {}, {}, dir.Write("a", std::string(8 << 20, 'k')).string()});
    ScriptedPeer gone(Join(test::Opening("peer-up-to-data"), {"C: From:  <me@example.jp>", "CLOSE"}));
    Start(&gone);
    ASSERT_TRUE(rec.WaitDone(milliseconds(8000)));
    EXPECT_EQ(rec.doneCount, 1);
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
