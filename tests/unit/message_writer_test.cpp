// The assembled byte stream of a message, checked byte for byte.

#include "mail/encoders.h"
#include "mail/message_writer.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace kitemail {
namespace {

const std::string B(MimeBoundary);
const std::string kTextType = "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n";

struct StringSink : MessageSink {
    std::string out;
    std::vector<std::pair<SendMailInfo, std::string>> infos;
    bool finished = false;
    std::vector<std::string> feed; // handed out in order when set
    bool hasFeed = false;
    std::function<void()> afterWrite;

    void Write(std::string_view bytes) override
    {
        out += bytes;
        if (afterWrite) {
            afterWrite();
        }
    }
    void Info(SendMailInfo info, const std::string& text) override { infos.emplace_back(info, text); }
    [[nodiscard]] bool WantsInfo() const override { return true; }
    [[nodiscard]] bool Finished() const override { return finished; }
    bool FeedData(std::string& data) override
    {
        if (!hasFeed) {
            return false;
        }
        if (!feed.empty()) {
            data = feed.front();
            feed.erase(feed.begin());
        }
        return true;
    }
    [[nodiscard]] std::vector<std::string> InfosOf(SendMailInfo i) const
    {
        std::vector<std::string> r;
        for (const auto& [k, t] : infos) {
            if (k == i) {
                r.push_back(t);
            }
        }
        return r;
    }
};

class MessageWriterTest : public ::testing::Test {
protected:
    std::string fromName;
    std::string fromAddress = "me@example.jp";
    std::string subject;
    std::vector<std::string> to{"you@example.jp"};
    std::vector<std::string> cc;
    std::vector<std::string> headers;
    std::vector<std::string> text{"abc"};
    std::vector<std::string> attachments;
    std::vector<std::optional<AttachmentRecord>> records;
    StringSink sink;
    QTemporaryDir dir;

    std::string Write()
    {
        MessageContent c;
        c.fromName = fromName;
        c.fromAddress = fromAddress;
        c.subject = subject;
        c.listTo = &to;
        c.listCc = &cc;
        c.headers = &headers;
        c.mailText = &text;
        c.attachments = &attachments;
        c.records = &records;
        MessageWriter(sink, c).Write();
        return sink.out;
    }

    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir.path().toStdString() + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    void Attach(const std::string& path, std::uint8_t encoding, const std::string& name = {})
    {
        AttachmentRecord r;
        r.fileName = path;
        r.AttachmentEncoding = encoding;
        r.name = name;
        records.resize(attachments.size() + 1);
        records.back() = r;
        attachments.push_back(path);
    }

    // The bytes of the part that follows the n-th boundary line (1-based).
    std::string Part(const std::string& msg, int n)
    {
        std::size_t pos = 0;
        for (int i = 0; i < n; ++i) {
            pos = msg.find("--" + B + "\r\n", pos);
            if (pos == std::string::npos) {
                return {};
            }
            pos += B.size() + 4;
        }
        return msg.substr(pos, msg.find("--" + B, pos) - pos);
    }
};

TEST_F(MessageWriterTest, PlainMessageHasTheExactLayout)
{
    subject = "abc";
    EXPECT_EQ(Write(), "From:  <me@example.jp>\r\n"
                       "To: you@example.jp\r\n"
                       "Subject: abc  \r\n"
                       "Mime-Version: 1.0\r\n" +
                           kTextType +
                           "Content-Transfer-Encoding: 7bit\r\n"
                           "\r\n"
                           "abc\r\n"
                           "\r\n"
                           ".\r\n");
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_BodySize), std::vector<std::string>{"5"});
}

TEST_F(MessageWriterTest, RecipientsNamesAndExtraHeaders)
{
    to = {"a@x.jp|Taro", "b@x.jp|\x8a\xbf"};
    cc = {"c@x.jp", "d@x.jp|Jiro"};
    headers = {"X-Mailer: Kitemail Pro Version 0.50", "NoColonSpace:here"};
    fromName = "=?ISO-2022-JP?B?GyRCNEEbKEI=?=";
    text.clear();
    EXPECT_EQ(Write(), "From: =?ISO-2022-JP?B?GyRCNEEbKEI=?= <me@example.jp>\r\n"
                       "To: Taro <a@x.jp>\r\n"
                       "To: =?ISO-8859-1?Q?=8A=BF?= <b@x.jp>\r\n"
                       "cc: c@x.jp\r\n"
                       "cc: Jiro <d@x.jp>\r\n"
                       "Mime-Version: 1.0\r\n" +
                           kTextType +
                           "Content-Transfer-Encoding: 7bit\r\n"
                           "X-Mailer: Kitemail Pro Version 0.50  \r\n"
                           "NoColonSpace:here\r\n"
                           "\r\n"
                           ".\r\n");
}

TEST_F(MessageWriterTest, AttachmentWithoutRecordIsBase64WithDefaults)
{
    const std::string path = File("a.bin", "hello");
    attachments = {path};
    const std::string word = EncodeJisWord("a.bin");
    EXPECT_EQ(Write(), "From:  <me@example.jp>\r\n"
                       "To: you@example.jp\r\n"
                       "Mime-Version: 1.0\r\n"
                       "Content-Type: multipart/mixed; boundary=\"" +
                           B + "\"\r\n\r\n--" + B + "\r\n" + kTextType +
                           "Content-Transfer-Encoding: 7bit\r\n\r\nabc\r\n\r\n--" + B +
                           "\r\n"
                           "Content-Type: application/octect-stream; name=\"" +
                           word +
                           "\"\r\n"
                           "Content-Transfer-Encoding: base64\r\n"
                           "Content-Disposition: attachment; filename=\"" +
                           word + "\"\r\n\r\naGVsbG8=\r\n--" + B + "--\r\n\r\n.\r\n");
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_AttachmentStart), std::vector<std::string>{path});
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_AttachmentSize), std::vector<std::string>{"5"});
}

TEST_F(MessageWriterTest, WithoutBodyTheFirstPartIsTheAttachment)
{
    text.clear();
    attachments = {File("a.bin", "x")};
    const std::string msg = Write();
    const std::size_t headerEnd = msg.find("\r\n\r\n");
    EXPECT_EQ(msg.substr(headerEnd + 4, B.size() + 4), "--" + B + "\r\n");
    EXPECT_EQ(msg.find("text/plain"), std::string::npos);
}

TEST_F(MessageWriterTest, Base64LinesAreFiftySevenBytesEach)
{
    struct Case {
        std::size_t size;
        std::vector<std::size_t> lineLengths;
    };
    for (const Case& c : {Case{57, {76}}, Case{58, {76, 4}}, Case{2280, std::vector<std::size_t>(40, 76)},
                          Case{2281, [] {
                                   std::vector<std::size_t> v(40, 76);
                                   v.push_back(4);
                                   return v;
                               }()},
                          Case{0, {}}}) {
        SCOPED_TRACE(c.size);
        std::string bytes(c.size, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i * 7 + 3);
        }
        sink = StringSink{};
        attachments.clear();
        records.clear();
        Attach(File("d.bin", bytes), kEncodingBase64);
        const std::string part = Part(Write(), 2);
        const std::string data = part.substr(part.find("\r\n\r\n") + 4);
        std::vector<std::size_t> lengths;
        std::string joined;
        for (std::size_t pos = 0; pos < data.size();) {
            const std::size_t end = data.find("\r\n", pos);
            lengths.push_back(end - pos);
            joined += data.substr(pos, end - pos);
            pos = end + 2;
        }
        EXPECT_EQ(lengths, c.lineLengths);
        EXPECT_EQ(joined, EncodeBase64(bytes));
        const auto progress = sink.InfosOf(SendMailInfo::Info_AttachmentProgress);
        if (c.size > 0) {
            EXPECT_EQ(progress.back(), std::to_string(c.size));
        }
    }
}

TEST_F(MessageWriterTest, EachEncodingNamesItsPart)
{
    Attach(File("report.txt", "line\r\n"), kEncodingUuencode);
    Attach(File("README", "x"), kEncodingUuencode);
    Attach(File("q.dat", "a=b\r\n"), kEncodingQuotedPrintable, "shown.dat");
    Attach(File("t.txt", "one\ntwo"), kEncodingPlainText);
    const std::string msg = Write();
    EXPECT_EQ(Part(msg, 2), "Content-Type: application/octet-stream; name=\"report.uue\"\r\n"
                            "Content-Disposition: attachment; filename=\"report.uue\"\r\n\r\n" +
                                std::string(61, '=') + "\r\nbegin 666 report.txt\r\n" +
                                [] {
                                    std::string s;
                                    EncodeUuBlock("line\r\n", s);
                                    return s;
                                }() +
                                "\r\nend\r\n");
    EXPECT_NE(Part(msg, 3).find("name=\"README.uue\""), std::string::npos);
    EXPECT_EQ(Part(msg, 4), "Content-Type: application/octet-stream; name=\"shown.dat\"\r\n"
                            "Content-Transfer-Encoding: Quoted-Printable\r\n"
                            "Content-Disposition: attachment; filename=\"q.dat\"\r\n\r\n"
                            "a=3Db=0D=0A\r\n");
    EXPECT_EQ(Part(msg, 5), "Content-Type: application/octet-stream; name=\"t.txt\"\r\n"
                            "Content-Disposition: attachment; filename=\"t.txt\"\r\n\r\n"
                            "one\r\ntwo\r\n");
    // Defaults are written back into the records.
    EXPECT_EQ(records[0]->contentType, "application/octet-stream");
    EXPECT_EQ(records[0]->disposition, "attachment");
}

TEST_F(MessageWriterTest, DetectedEncodingIsStoredAndUsed)
{
    Attach(File("plain.txt", "just text\r\n"), kEncodingDetect);
    Attach(File("bin.dat", "\x01\x80"), kEncodingDetect);
    const std::string msg = Write();
    EXPECT_EQ(records[0]->AttachmentEncoding, kEncodingPlainText);
    EXPECT_EQ(records[1]->AttachmentEncoding, kEncodingBase64);
    EXPECT_NE(Part(msg, 2).find("just text\r\n"), std::string::npos);
    EXPECT_NE(Part(msg, 3).find("Content-Transfer-Encoding: base64"), std::string::npos);
}

TEST_F(MessageWriterTest, DetectEncodingTable)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {"ascii text", "Hello\r\nWorld\r\n", kEncodingPlainText},
        {"empty file", "", kEncodingPlainText},
        {"ISO-2022-JP text (escapes are 7-bit)", "\x1b$B4A\x1b(B\r\n", kEncodingPlainText},
        {"byte 0x7F", "a\x7f", kEncodingBase64},
        {"byte 0x80 late in a big file", std::string(5000, 'a') + "\x80", kEncodingBase64},
        {"zero byte", std::string("a\0b", 3), kEncodingBase64},
        {"line longer than a mail line", std::string(1200, 'x'), kEncodingBase64},
        {"many short lines", [] {
             std::string s;
             for (int i = 0; i < 500; ++i) {
                 s += "0123456789\r\n";
             }
             return s;
         }(), kEncodingPlainText},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetectEncoding(File("f", c.bytes)), c.expected) << c.what;
    }
    EXPECT_EQ(DetectEncoding(dir.path().toStdString() + "/missing"), kEncodingBase64);
}

TEST_F(MessageWriterTest, MissingAttachmentIsReportedAndSkipped)
{
    const std::string missing = dir.path().toStdString() + "/gone.bin";
    attachments = {missing};
    Attach(File("ok.txt", "fine"), kEncodingQuotedPrintable);
    Attach(missing, kEncodingUuencode);
    const std::string msg = Write();
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_AttachmentFailed), (std::vector<std::string>{missing, missing}));
    // Body part, the one good attachment, the closing boundary.
    std::size_t boundaries = 0;
    for (std::size_t p = msg.find("--" + B + "\r\n"); p != std::string::npos; p = msg.find("--" + B + "\r\n", p + 1)) {
        ++boundaries;
    }
    EXPECT_EQ(boundaries, 2u);
    EXPECT_NE(msg.find("--" + B + "--\r\n\r\n.\r\n"), std::string::npos);
}

TEST_F(MessageWriterTest, OwnLinesBeginningWithADotAreDoubled)
{
    text = {"..already stuffed by the caller"};
    headers = {".odd header line"};
    Attach(File("t.txt", ".hidden\r\n.\r\nend"), kEncodingPlainText);
    // 71 letters fill a quoted-printable line; the dot starts the next one.
    Attach(File("q.txt", std::string(71, 'a') + ".x"), kEncodingQuotedPrintable);
    // A 14-byte file gives a single uuencode line whose length character is ".".
    Attach(File("u.bin", std::string(14, 'z')), kEncodingUuencode);
    const std::string msg = Write();
    EXPECT_NE(msg.find("\r\n..odd header line\r\n"), std::string::npos);
    EXPECT_NE(msg.find("\r\n..already stuffed by the caller\r\n"), std::string::npos);
    EXPECT_EQ(msg.find("\r\n...already"), std::string::npos);
    EXPECT_NE(Part(msg, 2).find("\r\n\r\n..hidden\r\n..\r\nend\r\n"), std::string::npos);
    EXPECT_NE(Part(msg, 3).find("=\r\n..x\r\n"), std::string::npos);
    EXPECT_NE(Part(msg, 4).find("begin 666 u.bin\r\n..>GIZ"), std::string::npos);
    // Nothing but the terminator is a lone dot.
    EXPECT_EQ(msg.find("\r\n.\r\n"), msg.size() - 5);
}

TEST_F(MessageWriterTest, LongLinesAreFoldedOrBrokenNeverCut)
{
    // A long Japanese subject as the send run encodes it: one encoded word.
    std::string jp;
    for (int i = 0; i < 100; ++i) {
        jp += "\x8a\xbf";
    }
    subject = EncodeJisWord(jp);
    ASSERT_GT(subject.size(), 253u);
    headers = {"X-Long: " + [] {
                   std::string v;
                   for (int i = 0; i < 200; ++i) {
                       v += "word" + std::to_string(i) + " ";
                   }
                   return v;
               }()};
    Attach(File("long.txt", std::string(2500, 'L') + "\r\nshort"), kEncodingPlainText);
    const std::string msg = Write();
    EXPECT_NE(msg.find("Subject: " + subject + "  \r\n"), std::string::npos);
    std::size_t longest = 0;
    for (std::size_t pos = 0; pos < msg.size();) {
        const std::size_t end = msg.find("\r\n", pos);
        longest = std::max(longest, end - pos);
        pos = end + 2;
    }
    EXPECT_LE(longest, 998u);
    // Unfolding gives the header back; the text line comes back with breaks only.
    const std::size_t h = msg.find("X-Long: ");
    std::string unfolded = msg.substr(h, msg.find("\r\n\r\n", h) - h);
    for (std::size_t p; (p = unfolded.find("\r\n ")) != std::string::npos;) {
        unfolded.erase(p, 2);
    }
    EXPECT_EQ(unfolded.substr(0, unfolded.find("\r\n")), EncodeHeaderLine(headers[0]));
    const std::string part = Part(msg, 2);
    EXPECT_EQ(part.substr(part.find("\r\n\r\n") + 4),
              std::string(998, 'L') + "\r\n" + std::string(998, 'L') + "\r\n" + std::string(504, 'L') +
                  "\r\nshort\r\n");
}

TEST_F(MessageWriterTest, FoldHeaderLineKeepsEveryByte)
{
    const std::string spaced = "Name: " + std::string(600, 'a') + " " + std::string(600, 'b');
    const auto folded = FoldHeaderLine(spaced);
    ASSERT_EQ(folded.size(), 2u);
    EXPECT_EQ(folded[0] + folded[1], spaced);
    EXPECT_EQ(folded[1].front(), ' ');
    const std::string solid(2100, 'c');
    std::string rejoined;
    for (const auto& piece : FoldHeaderLine(solid)) {
        EXPECT_LE(piece.size(), 998u);
        rejoined += piece;
    }
    rejoined.erase(std::remove(rejoined.begin(), rejoined.end(), ' '), rejoined.end());
    EXPECT_EQ(rejoined, solid);
    EXPECT_EQ(FoldHeaderLine("short: line"), std::vector<std::string>{"short: line"});
}

TEST_F(MessageWriterTest, FedDataComesFirstAndUnchanged)
{
    sink.hasFeed = true;
    sink.feed = {"FED-1\r\n", ".raw\r\n"};
    const std::string msg = Write();
    EXPECT_NE(msg.find("\r\n\r\nFED-1\r\n.raw\r\nabc\r\n\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_BodyProgress).front(), "7");
}

TEST_F(MessageWriterTest, BodyGoesInPiecesWithProgress)
{
    text = {std::string(4998, 'x')};
    Write();
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_BodySize), std::vector<std::string>{"5000"});
    EXPECT_EQ(sink.InfosOf(SendMailInfo::Info_BodyProgress), (std::vector<std::string>{"2048", "4096", "5000"}));
}

TEST_F(MessageWriterTest, FinishedStopsWritingAndNoTerminatorIsSent)
{
    Attach(File("big.bin", std::string(100000, 'q')), kEncodingBase64);
    int writes = 0;
    sink.afterWrite = [&] {
        if (++writes == 40) {
            sink.finished = true;
        }
    };
    const std::string msg = Write();
    EXPECT_EQ(writes, 40);
    EXPECT_EQ(msg.find("\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(msg.find("--" + B + "--"), std::string::npos);
}

} // namespace
} // namespace kitemail
