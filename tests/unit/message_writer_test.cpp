// The assembled byte stream of a message, checked byte for byte.

#include "mail/message_writer.h"
#include "temp_dir.h"
#include "text/encoders.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;
const std::string B(MimeBoundary);
const std::string kHead = "From:  <me@example.jp>\r\nTo: you@example.jp\r\n";
const std::string kText =
    "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: 7bit\r\n";

std::string Repeat(const std::string& s, int n)
{
    std::string r;
    while (n-- > 0) {
        r += s;
    }
    return r;
}

// The fixture is the writer's sink too: it keeps the bytes and the reports.
class MessageWriterTest : public ::testing::Test, public MessageSink {
protected:
    std::string fromName, fromAddress = "me@example.jp", subject;
    Lines to{"you@example.jp"}, cc, headers, text{"abc"}, attachments;
    std::vector<std::optional<AttachmentRecord>> records;
    test::TempDir dir;
    std::string out;
    std::map<SendMailInfo, Lines> infos;
    std::optional<Lines> feed; // handed out in order when set

    void Info(SendMailInfo info, const std::string& text_) override { infos[info].push_back(text_); }
    [[nodiscard]] bool WantsInfo() const override { return true; }
    bool FeedData(std::string& data) override
    {
        if (feed && !feed->empty()) {
            data = feed->front();
            feed->erase(feed->begin());
        }
        return feed.has_value();
    }

    // A whole new message, pulled in small pieces as the transport does;
    // failure is what a failed attachment left.
    std::string Message()
    {
        out.clear();
        infos.clear();
        MessageWriter writer(*this, {fromName, fromAddress, subject, &to, &cc, &headers, &text, &attachments, &records});
        while (writer.Produce(out, 100)) {
        }
        failure = writer.Failure();
        return out;
    }
    std::string failure;

    std::string File(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes).string(); }

    void Attach(const std::string& path, std::uint8_t encoding, const std::string& name = {})
    {
        records.resize(attachments.size());
        records.push_back(AttachmentRecord{name, encoding, {}, {}, {}, path});
        attachments.push_back(path);
    }

    // The part after the n-th boundary line (1-based), whole or its data alone.
    static std::string Part(const std::string& msg, int n, bool dataOnly = false)
    {
        std::size_t pos = 0;
        for (int i = 0; i < n; ++i) {
            pos = msg.find("--" + B + "\r\n", pos) + B.size() + 4;
        }
        if (dataOnly) {
            pos = msg.find("\r\n\r\n", pos) + 4;
        }
        return msg.substr(pos, msg.find("--" + B, pos) - pos);
    }
};

TEST_F(MessageWriterTest, TextOnlyMessages)
{
    subject = "abc";
    EXPECT_EQ(Message(), kHead + "Subject: abc  \r\nMime-Version: 1.0\r\n" + kText + "\r\nabc\r\n\r\n.\r\n");
    // Named recipients, extra headers and no body.
    to = {"a@x.jp|Taro", "b@x.jp|\x8a\xbf"};
    cc = {"c@x.jp", "d@x.jp|Jiro"};
    headers = {"X-Mailer: Kitemail Pro Version 0.50", "NoColonSpace:here"};
    fromName = "=?ISO-2022-JP?B?GyRCNEEbKEI=?=";
    text.clear();
    EXPECT_EQ(Message(), "From: =?ISO-2022-JP?B?GyRCNEEbKEI=?= <me@example.jp>\r\n"
                         "To: Taro <a@x.jp>\r\nTo: =?ISO-8859-1?Q?=8A=BF?= <b@x.jp>\r\n"
                         "cc: c@x.jp\r\ncc: Jiro <d@x.jp>\r\nSubject: abc  \r\nMime-Version: 1.0\r\n" +
                             kText + "X-Mailer: Kitemail Pro Version 0.50  \r\nNoColonSpace:here\r\n\r\n.\r\n");
    // Fed data comes first and unchanged, and the body goes in pieces.
    feed = Lines{"FED-1\r\n", ".raw\r\n"};
    text = {std::string(4998, 'x')};
    EXPECT_NE(Message().find("\r\n\r\nFED-1\r\n.raw\r\n" + text[0] + "\r\n\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(infos.at(SendMailInfo::Info_BodySize), Lines{"5000"});
    EXPECT_EQ(infos.at(SendMailInfo::Info_BodyProgress), (Lines{"7", "13", "2048", "4096", "5000"}));
}

TEST_F(MessageWriterTest, AttachmentsInEveryEncoding)
{
    // Without a record: base64 with default names.
    const std::string path = File("a.bin", "hello");
    attachments = {path};
    const std::string word = EncodeJisWord("a.bin");
    EXPECT_EQ(Message(), kHead + "Mime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + B +
                             "\"\r\n\r\n--" + B + "\r\n" + kText + "\r\nabc\r\n\r\n--" + B +
                             "\r\nContent-Type: application/octect-stream; name=\"" + word +
                             "\"\r\nContent-Transfer-Encoding: base64\r\n"
                             "Content-Disposition: attachment; filename=\"" +
                             word + "\"\r\n\r\naGVsbG8=\r\n--" + B + "--\r\n\r\n.\r\n");
    EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentStart), Lines{path});
    EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentSize), Lines{"5"});
    // A file that cannot be opened, with or without a record: the message
    // stops there, without its ".".
    const std::string missing = (dir.path() / "gone.bin").string();
    for (const std::uint8_t encoding : {kEncodingBase64, kEncodingDetect}) {
        attachments.clear();
        records.clear();
        Attach(path, kEncodingBase64);
        Attach(missing, encoding);
        const std::string cut = Message();
        EXPECT_EQ(failure, missing + ": No such file or directory");
        EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentFailed), Lines{missing});
        EXPECT_TRUE(cut.ends_with("aGVsbG8=\r\n")) << cut;
    }
    attachments = {missing};
    records.clear();
    EXPECT_EQ(Message().find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(failure, missing + ": No such file or directory");
    // No body, and every encoding.
    text.clear();
    attachments.clear();
    records.clear();
    Attach(File("report.txt", "line\r\n"), kEncodingUuencode);
    Attach(File("q.dat", "a=b\r\n"), kEncodingQuotedPrintable, "shown.dat");
    Attach(File("t.txt", "one\ntwo"), kEncodingPlainText);
    Attach(File("plain.txt", "just text\r\n"), kEncodingDetect);
    Attach(File("bin.dat", "\x01\x80"), kEncodingDetect);
    Attach(File("empty.bin", ""), kEncodingBase64);
    // 2280 bytes are read at a time; one more starts a second read.
    Attach(File("d.bin", std::string(2281, '\0')), kEncodingBase64);
    const std::string msg = Message();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(msg.substr(msg.find("\r\n\r\n") + 4, B.size() + 4), "--" + B + "\r\n");
    std::string uu;
    EncodeUuBlock("line\r\n", uu);
    EXPECT_EQ(Part(msg, 1), "Content-Type: application/octet-stream; name=\"report.uue\"\r\n"
                            "Content-Disposition: attachment; filename=\"report.uue\"\r\n\r\n" +
                                std::string(61, '=') + "\r\nbegin 666 report.txt\r\n" + uu + "\r\nend\r\n");
    EXPECT_EQ(Part(msg, 2), "Content-Type: application/octet-stream; name=\"shown.dat\"\r\n"
                            "Content-Transfer-Encoding: Quoted-Printable\r\n"
                            "Content-Disposition: attachment; filename=\"q.dat\"\r\n\r\na=3Db=0D=0A\r\n");
    EXPECT_EQ(Part(msg, 3), "Content-Type: application/octet-stream; name=\"t.txt\"\r\n"
                            "Content-Disposition: attachment; filename=\"t.txt\"\r\n\r\none\r\ntwo\r\n");
    EXPECT_EQ(Part(msg, 4, true), "just text\r\n");
    EXPECT_NE(Part(msg, 5).find("Content-Transfer-Encoding: base64"), std::string::npos);
    EXPECT_EQ(Part(msg, 6, true), "");
    // Base64 lines carry 57 bytes, across reads too.
    EXPECT_EQ(Part(msg, 7, true), Repeat(std::string(76, 'A') + "\r\n", 40) + "AA==\r\n");
    EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentProgress).back(), "2281");
    EXPECT_EQ(msg.substr(msg.size() - B.size() - 11), "--" + B + "--\r\n\r\n.\r\n");
    // Defaults and detected encodings are written back into the records.
    EXPECT_EQ(records[1]->contentType, "application/octet-stream");
    EXPECT_EQ(records[1]->disposition, "attachment");
    EXPECT_EQ(records[3]->AttachmentEncoding, kEncodingPlainText);
    EXPECT_EQ(records[4]->AttachmentEncoding, kEncodingBase64);
    // Detection on its own.
    const std::pair<std::string, std::uint8_t> detected[] = {
        {"", kEncodingPlainText},
        {"\x1b$B4A\x1b(B\r\n", kEncodingPlainText}, // escapes are 7-bit
        {Repeat("0123456789\r\n", 500), kEncodingPlainText},
        {"a\x7f", kEncodingBase64},
        {std::string(5000, 'a') + "\x80", kEncodingBase64},
        {std::string("a\0b", 3), kEncodingBase64},
        {std::string(1200, 'x'), kEncodingBase64}, // longer than a mail line
    };
    for (const auto& [bytes, encoding] : detected) {
        EXPECT_EQ(DetectEncoding(File("f", bytes)), encoding) << ::testing::PrintToString(bytes.substr(0, 12));
    }
    EXPECT_EQ(DetectEncoding(missing), kEncodingBase64);
}

TEST_F(MessageWriterTest, LinesAreDotStuffedFoldedOrBrokenNeverCut)
{
    text = {"..already stuffed by the caller"};
    // A long Japanese subject as the send run encodes it: one encoded word.
    subject = EncodeJisWord(Repeat("\x8a\xbf", 100));
    headers = {".odd header line", "X-Long: " + Repeat("word ", 400)};
    Attach(File("t.txt", ".hidden\r\n.\r\nend"), kEncodingPlainText);
    Attach(File("long.txt", std::string(2500, 'L') + "\r\nshort"), kEncodingPlainText);
    const std::string msg = Message();
    EXPECT_NE(msg.find("\r\n..odd header line\r\n"), std::string::npos);
    EXPECT_NE(msg.find("\r\n..already stuffed by the caller\r\n"), std::string::npos);
    EXPECT_EQ(Part(msg, 2, true), "..hidden\r\n..\r\nend\r\n");
    // Nothing but the terminator is a lone dot.
    EXPECT_EQ(msg.find("\r\n.\r\n"), msg.size() - 5);
    EXPECT_NE(msg.find("Subject: " + subject + "  \r\n"), std::string::npos);
    for (std::size_t pos = 0, end; (end = msg.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
        ASSERT_LE(end - pos, 998u);
    }
    // Unfolding gives the header back; the text line comes back with breaks only.
    const std::size_t h = msg.find("X-Long: ");
    std::string unfolded = msg.substr(h, msg.find("\r\n\r\n", h) - h);
    for (std::size_t p; (p = unfolded.find("\r\n ")) != std::string::npos;) {
        unfolded.erase(p, 2);
    }
    EXPECT_EQ(unfolded.substr(0, unfolded.find("\r\n")), EncodeHeaderLine(headers[1]));
    EXPECT_EQ(Part(msg, 3, true), std::string(998, 'L') + "\r\n" + std::string(998, 'L') + "\r\n" +
                                    std::string(504, 'L') + "\r\nshort\r\n");
    // A run without spaces is broken keeping every byte, with room left for a doubled dot.
    EXPECT_EQ(FoldHeaderLine(std::string(2100, 'c')),
              (Lines{std::string(997, 'c'), " " + std::string(996, 'c'), " " + std::string(107, 'c')}));
}

} // namespace
} // namespace kitemail
