// SendMail against a real SMTP server on loopback: what the server stores,
// read back with Python's email package, must be what was sent. (Japanese
// headers and body go the whole road in the send workflow's tests.)

#include "mail/message_writer.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <memory>
#include <random>
#include <string>

namespace kitemail {
namespace {

using test::MailRecorder;

class SmtpServerTest : public test::SmtpSinkSuite {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sink_ && sink_->Port() != 0);
        baseline_ = sink_->WaitForMessages(0, std::chrono::milliseconds(0));
        mail.SetSMTP_Server("127.0.0.1");
        mail.SMTP_Port = sink_->Port();
        mail.FROM_Address = "sender@example.jp";
        mail.ReplyTimeout = std::chrono::seconds(10);
        mail.DataEndTimeout = std::chrono::seconds(20);
    }

    // Sends, expects success, and returns the stored message as parsed.
    QJsonObject SendAndParse()
    {
        const int before = rec.doneCount;
        mail.SetAction(TMailAction::Send_Mail);
        EXPECT_TRUE(rec.WaitDone(std::chrono::seconds(30)));
        EXPECT_EQ(rec.doneCount, before + 1);
        EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
        EXPECT_FALSE(rec.sendingAtDone);
        EXPECT_TRUE(rec.errors.empty()) << rec.errors.front().second;
        number_ = ++baseline_;
        EXPECT_EQ(sink_->WaitForMessages(number_, std::chrono::seconds(5)), number_);
        QJsonObject parsed = test::ParseStoredMail(sink_->MessagePath(number_));
        EXPECT_FALSE(parsed.contains("error")) << parsed.value("error").toString().toStdString();
        return parsed;
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

    int baseline_ = 0; // messages the server held before this request
    int number_ = 0;
    test::TempDir dir;
    SendMail mail;
    MailRecorder rec{mail};
};


TEST_F(SmtpServerTest, ListsWithBccOutOfTheHeadersAndDotLinesIntact)
{
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
    const std::string raw = sink_->MessageBytes(number_);
    EXPECT_EQ(raw.find("secret"), std::string::npos);
    EXPECT_EQ(raw.find("Hidden"), std::string::npos);
    EXPECT_EQ(sink_->Envelope(number_).value("rcpt_tos").toArray(),
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
    mail.SMTP_Port = v6.Port();
    mail.TO_Address = "a@example.jp";
    mail.MailText = {"over IPv6"};
    mail.SetAction(TMailAction::Send_Mail);
    ASSERT_TRUE(rec.WaitDone(std::chrono::seconds(30)));
    EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Connected), std::vector<std::string>{"::1"});
    ASSERT_EQ(v6.WaitForMessages(1, std::chrono::seconds(5)), 1);
    EXPECT_NE(v6.MessageBytes(1).find("over IPv6"), std::string::npos);
}

} // namespace
} // namespace kitemail
