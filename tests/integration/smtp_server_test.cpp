// SendMail against a real SMTP server on loopback: what the server stores,
// read back with Python's email package, must be what was sent.

#include "mail/jis.h"
#include "mail/message_writer.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "qt_app.h"
#include "smtp_sink.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QTemporaryDir>

#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace kitemail {
namespace {

using test::MailRecorder;

class SmtpServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::EnsureCoreApplication();
        sink_ = std::make_unique<test::SmtpSink>();
        ASSERT_TRUE(sink_->Start()) << sink_->Error();
    }
    static void TearDownTestSuite() { sink_.reset(); }

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
        EXPECT_TRUE(rec.errors.empty()) << rec.errors.front().second;
        number_ = baseline_ + 1;
        EXPECT_EQ(sink_->WaitForMessages(number_, std::chrono::seconds(5)), number_);
        QJsonObject parsed = test::ParseStoredMail(sink_->MessagePath(number_));
        EXPECT_FALSE(parsed.contains("error")) << parsed.value("error").toString().toStdString();
        return parsed;
    }

    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string RandomBytes(std::size_t n, unsigned seed)
    {
        std::mt19937 gen(seed);
        std::string s(n, '\0');
        for (char& c : s) {
            c = static_cast<char>(gen() & 0xFF);
        }
        return s;
    }

    static std::unique_ptr<test::SmtpSink> sink_;
    int baseline_ = 0;
    int number_ = 0;
    QTemporaryDir dir;
    SendMail mail;
    MailRecorder rec{mail};
};

std::unique_ptr<test::SmtpSink> SmtpServerTest::sink_;

TEST_F(SmtpServerTest, OneRecipientJapaneseSubjectAndBody)
{
    mail.TO_Address = "phone@docomo.example.jp";
    mail.Subject = EncodeJisWord(Sj("件名のテスト"));
    mail.FROM_Name = EncodeJisWord(Sj("送信者"));
    // As the send run gives it: the whole body converted, closed with ESC ( B.
    const std::string jis = SjisToJis(Sj("本文の一行目\r\nsecond line\r\n終わり")) + "\x1b(B";
    for (std::size_t pos = 0;;) {
        const std::size_t end = jis.find("\r\n", pos);
        mail.MailText.push_back(jis.substr(pos, end - pos));
        if (end == std::string::npos) {
            break;
        }
        pos = end + 2;
    }
    mail.Headers = {"X-Mailer: Kitemail Pro Version 0.50", "Message-ID: <1@example.jp>"};
    const QJsonObject m = SendAndParse();
    // Header lines carry two trailing spaces on the wire.
    EXPECT_EQ(m.value("subject").toString().trimmed(), QStringLiteral("件名のテスト"));
    EXPECT_EQ(m.value("body").toString(), QStringLiteral("本文の一行目\r\nsecond line\r\n終わり\r\n\r\n"));
    EXPECT_TRUE(m.value("from").toString().contains(QStringLiteral("送信者")));
    const QJsonObject env = sink_->Envelope(number_);
    EXPECT_EQ(env.value("mail_from").toString(), QStringLiteral("sender@example.jp"));
    EXPECT_EQ(env.value("rcpt_tos").toArray(), QJsonArray({QStringLiteral("phone@docomo.example.jp")}));
    EXPECT_TRUE(rec.Has(SendMailInfo::Info_Connected));
    EXPECT_TRUE(rec.Has(SendMailInfo::Info_MailAccepted));
    EXPECT_FALSE(rec.sendingAtDone);
    EXPECT_TRUE(MailRecorder::LoopResponsive());
}

TEST_F(SmtpServerTest, ToCcAndBccListsWithBccOutOfTheHeaders)
{
    mail.ListTo = {"to1@example.jp|Taro", "to2@example.jp"};
    mail.Listcc = {"cc1@example.jp"};
    mail.ListBcc = {"secret1@example.jp", "secret2@example.jp|Hidden"};
    mail.MailText = {"hello"};
    const QJsonObject m = SendAndParse();
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

TEST_F(SmtpServerTest, BodyLinesBeginningWithADotArriveIntact)
{
    // The caller stuffs the body; the server removes the stuffing again.
    mail.TO_Address = "a@example.jp";
    mail.MailText = {"..leading dot", "..", "...two dots", "plain"};
    const QJsonObject m = SendAndParse();
    EXPECT_EQ(m.value("body").toString(), QStringLiteral(".leading dot\r\n.\r\n..two dots\r\nplain\r\n\r\n"));
}

TEST_F(SmtpServerTest, EveryAttachmentEncodingDecodesToTheSameBytes)
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
    };
    for (const auto& f : files) {
        AttachmentRecord r;
        r.fileName = File(f.name, f.bytes);
        r.AttachmentEncoding = f.encoding;
        r.description = "file " + std::string(f.name);
        mail.AddAttachment(r);
    }
    const QJsonObject m = SendAndParse();
    // In a multipart message the last line end belongs to the boundary.
    EXPECT_EQ(m.value("body").toString(), QStringLiteral("see attached\r\n"));
    const QJsonArray parts = m.value("parts").toArray();
    ASSERT_EQ(parts.size(), 7);
    for (int i = 0; i < 7; ++i) {
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
}

TEST_F(SmtpServerTest, JapaneseAttachmentNameAsTheSendRunGivesIt)
{
    mail.TO_Address = "a@example.jp";
    AttachmentRecord r;
    r.fileName = File("x.png", RandomBytes(300, 2));
    r.name = EncodeJisHeader(Sj("写真.png"));
    r.AttachmentEncoding = kEncodingBase64;
    r.contentType = "image/png";
    mail.AddAttachment(r);
    const QJsonObject m = SendAndParse();
    const QJsonObject part = m.value("parts").toArray().at(0).toObject();
    EXPECT_EQ(part.value("content_type").toString(), QStringLiteral("image/png"));
    EXPECT_EQ(test::DecodedBytes(part, "payload_b64").size(), 300u);
}

TEST_F(SmtpServerTest, FiveMegabyteAttachment)
{
    mail.TO_Address = "a@example.jp";
    mail.MailText = {"big"};
    const std::string big = RandomBytes(5 * 1024 * 1024 + 17, 3);
    AttachmentRecord r;
    r.fileName = File("big.bin", big);
    r.AttachmentEncoding = kEncodingBase64;
    mail.AddAttachment(r);
    int ticks = 0;
    LoopTimer ticker;
    ticker.Start(std::chrono::milliseconds(10), false, [&ticks] { ++ticks; });
    const QJsonObject m = SendAndParse();
    const QJsonObject part = m.value("parts").toArray().at(0).toObject();
    EXPECT_EQ(test::DecodedBytes(part, "payload_b64"), big);
    EXPECT_GT(rec.progressCount, 90000);
    EXPECT_GT(ticks, 0); // the loop kept running while the message was written
}

TEST_F(SmtpServerTest, TwoMessagesOnOneKeptConnection)
{
    mail.KeepConnectionOpen = true;
    mail.TO_Address = "first@example.jp";
    mail.MailText = {"one"};
    const QJsonObject first = SendAndParse();
    EXPECT_EQ(first.value("body").toString(), QStringLiteral("one\r\n\r\n"));
    EXPECT_TRUE(mail.Connected());
    mail.TO_Address.clear();
    mail.ListTo = {"second@example.jp"};
    mail.MailText = {"two"};
    baseline_ += 1;
    const QJsonObject second = SendAndParse();
    EXPECT_EQ(second.value("body").toString(), QStringLiteral("two\r\n\r\n"));
    EXPECT_EQ(rec.doneCount, 2);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Connected).size(), 1u);
}

} // namespace
} // namespace kitemail
