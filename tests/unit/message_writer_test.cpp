// The assembled byte stream of a message, checked byte for byte.

#include "mail/encoders.h"
#include "mail/message_writer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
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

struct StringSink : MessageSink {
    std::string out;
    std::map<SendMailInfo, Lines> infos;
    std::optional<Lines> feed; // handed out in order when set

    void Write(std::string_view bytes) override { out += bytes; }
    void Info(SendMailInfo info, const std::string& text) override { infos[info].push_back(text); }
    [[nodiscard]] bool WantsInfo() const override { return true; }
    [[nodiscard]] bool Finished() const override { return false; }
    bool FeedData(std::string& data) override
    {
        if (feed && !feed->empty()) {
            data = feed->front();
            feed->erase(feed->begin());
        }
        return feed.has_value();
    }
};

class MessageWriterTest : public ::testing::Test {
protected:
    std::string fromName, fromAddress = "me@example.jp", subject;
    Lines to{"you@example.jp"}, cc, headers, text{"abc"}, attachments;
    std::vector<std::optional<AttachmentRecord>> records;
    StringSink sink;
    test::TempDir dir;

    std::string Write()
    {
        MessageWriter(sink, {fromName, fromAddress, subject, &to, &cc, &headers, &text, &attachments, &records})
            .Write();
        return sink.out;
    }

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
            if ((pos = msg.find("--" + B + "\r\n", pos)) == std::string::npos) {
                return {};
            }
            pos += B.size() + 4;
        }
        if (dataOnly) {
            pos = msg.find("\r\n\r\n", pos) + 4;
        }
        return msg.substr(pos, msg.find("--" + B, pos) - pos);
    }
};

TEST_F(MessageWriterTest, PlainMessageHasTheExactLayout)
{
    subject = "abc";
    EXPECT_EQ(Write(), kHead + "Subject: abc  \r\nMime-Version: 1.0\r\n" + kText + "\r\nabc\r\n\r\n.\r\n");
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_BodySize), Lines{"5"});
}

TEST_F(MessageWriterTest, RecipientsNamesAndExtraHeaders)
{
    to = {"a@x.jp|Taro", "b@x.jp|\x8a\xbf"};
    cc = {"c@x.jp", "d@x.jp|Jiro"};
    headers = {"X-Mailer: Kitemail Pro Version 0.50", "NoColonSpace:here"};
    fromName = "=?ISO-2022-JP?B?GyRCNEEbKEI=?=";
    text.clear();
    EXPECT_EQ(Write(), "From: =?ISO-2022-JP?B?GyRCNEEbKEI=?= <me@example.jp>\r\n"
                       "To: Taro <a@x.jp>\r\nTo: =?ISO-8859-1?Q?=8A=BF?= <b@x.jp>\r\n"
                       "cc: c@x.jp\r\ncc: Jiro <d@x.jp>\r\nMime-Version: 1.0\r\n" +
                           kText + "X-Mailer: Kitemail Pro Version 0.50  \r\nNoColonSpace:here\r\n\r\n.\r\n");
}

TEST_F(MessageWriterTest, AttachmentWithoutRecordIsBase64WithDefaults)
{
    const std::string path = File("a.bin", "hello");
    attachments = {path};
    const std::string word = EncodeJisWord("a.bin");
    EXPECT_EQ(Write(), kHead + "Mime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + B +
                           "\"\r\n\r\n--" + B + "\r\n" + kText + "\r\nabc\r\n\r\n--" + B +
                           "\r\nContent-Type: application/octect-stream; name=\"" + word +
                           "\"\r\nContent-Transfer-Encoding: base64\r\n"
                           "Content-Disposition: attachment; filename=\"" +
                           word + "\"\r\n\r\naGVsbG8=\r\n--" + B + "--\r\n\r\n.\r\n");
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_AttachmentStart), Lines{path});
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_AttachmentSize), Lines{"5"});
}

TEST_F(MessageWriterTest, Base64LinesCarryFiftySevenBytesAcrossReads)
{
    // 2280 bytes are read at a time; one more starts a second read.
    std::string bytes(2281, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    Attach(File("d.bin", bytes), kEncodingBase64);
    Attach(File("empty.bin", ""), kEncodingBase64);
    const std::string msg = Write();
    const std::string b64 = EncodeBase64(bytes);
    std::string lines;
    for (std::size_t i = 0; i < b64.size(); i += 76) {
        lines += b64.substr(i, 76) + "\r\n";
    }
    EXPECT_EQ(Part(msg, 2, true), lines);
    EXPECT_EQ(Part(msg, 3, true), "");
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_AttachmentProgress).back(), "2281");
}

TEST_F(MessageWriterTest, EachEncodingNamesItsPartAndDetectionIsStored)
{
    Attach(File("report.txt", "line\r\n"), kEncodingUuencode);
    Attach(File("README", "x"), kEncodingUuencode);
    Attach(File("q.dat", "a=b\r\n"), kEncodingQuotedPrintable, "shown.dat");
    Attach(File("t.txt", "one\ntwo"), kEncodingPlainText);
    Attach(File("plain.txt", "just text\r\n"), kEncodingDetect);
    Attach(File("bin.dat", "\x01\x80"), kEncodingDetect);
    const std::string msg = Write();
    std::string uu;
    EncodeUuBlock("line\r\n", uu);
    EXPECT_EQ(Part(msg, 2), "Content-Type: application/octet-stream; name=\"report.uue\"\r\n"
                            "Content-Disposition: attachment; filename=\"report.uue\"\r\n\r\n" +
                                std::string(61, '=') + "\r\nbegin 666 report.txt\r\n" + uu + "\r\nend\r\n");
    EXPECT_NE(Part(msg, 3).find("name=\"README.uue\""), std::string::npos);
    EXPECT_EQ(Part(msg, 4), "Content-Type: application/octet-stream; name=\"shown.dat\"\r\n"
                            "Content-Transfer-Encoding: Quoted-Printable\r\n"
                            "Content-Disposition: attachment; filename=\"q.dat\"\r\n\r\na=3Db=0D=0A\r\n");
    EXPECT_EQ(Part(msg, 5), "Content-Type: application/octet-stream; name=\"t.txt\"\r\n"
                            "Content-Disposition: attachment; filename=\"t.txt\"\r\n\r\none\r\ntwo\r\n");
    EXPECT_EQ(Part(msg, 6, true), "just text\r\n");
    EXPECT_NE(Part(msg, 7).find("Content-Transfer-Encoding: base64"), std::string::npos);
    // Defaults and detected encodings are written back into the records.
    EXPECT_EQ(records[0]->contentType, "application/octet-stream");
    EXPECT_EQ(records[0]->disposition, "attachment");
    EXPECT_EQ(records[4]->AttachmentEncoding, kEncodingPlainText);
    EXPECT_EQ(records[5]->AttachmentEncoding, kEncodingBase64);
}

TEST_F(MessageWriterTest, DetectEncodingTable)
{
    const struct {
        const char* what;
        std::string bytes;
        std::uint8_t expected;
    } cases[] = {
        {"empty file", "", kEncodingPlainText},
        {"ISO-2022-JP text (escapes are 7-bit)", "\x1b$B4A\x1b(B\r\n", kEncodingPlainText},
        {"many short lines", Repeat("0123456789\r\n", 500), kEncodingPlainText},
        {"byte 0x7F", "a\x7f", kEncodingBase64},
        {"byte 0x80 late in a big file", std::string(5000, 'a') + "\x80", kEncodingBase64},
        {"zero byte", std::string("a\0b", 3), kEncodingBase64},
        {"line longer than a mail line", std::string(1200, 'x'), kEncodingBase64},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectEncoding(File("f", c.bytes)), c.expected) << c.what;
    }
    EXPECT_EQ(DetectEncoding((dir.path() / "missing").string()), kEncodingBase64);
}

TEST_F(MessageWriterTest, WithoutBodyAndWithMissingFilesOnlyTheGoodAttachmentIsAPart)
{
    const std::string missing = (dir.path() / "gone.bin").string();
    text.clear();
    attachments = {missing};
    Attach(File("ok.txt", "fine"), kEncodingQuotedPrintable);
    Attach(missing, kEncodingUuencode);
    const std::string msg = Write();
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_AttachmentFailed), (Lines{missing, missing}));
    EXPECT_EQ(msg.substr(msg.find("\r\n\r\n") + 4, B.size() + 4), "--" + B + "\r\n");
    EXPECT_EQ(Part(msg, 1, true), "fine\r\n");
    EXPECT_EQ(Part(msg, 2), "");
    EXPECT_NE(msg.find("--" + B + "--\r\n\r\n.\r\n"), std::string::npos);
}

TEST_F(MessageWriterTest, OwnLinesBeginningWithADotAreDoubled)
{
    text = {"..already stuffed by the caller"};
    headers = {".odd header line"};
    Attach(File("t.txt", ".hidden\r\n.\r\nend"), kEncodingPlainText);
    const std::string msg = Write();
    EXPECT_NE(msg.find("\r\n..odd header line\r\n"), std::string::npos);
    EXPECT_NE(msg.find("\r\n..already stuffed by the caller\r\n"), std::string::npos);
    EXPECT_EQ(Part(msg, 2, true), "..hidden\r\n..\r\nend\r\n");
    // Nothing but the terminator is a lone dot.
    EXPECT_EQ(msg.find("\r\n.\r\n"), msg.size() - 5);
}

TEST_F(MessageWriterTest, LongLinesAreFoldedOrBrokenNeverCut)
{
    // A long Japanese subject as the send run encodes it: one encoded word.
    subject = EncodeJisWord(Repeat("\x8a\xbf", 100));
    ASSERT_GT(subject.size(), 253u);
    headers = {"X-Long: " + Repeat("word ", 400)};
    Attach(File("long.txt", std::string(2500, 'L') + "\r\nshort"), kEncodingPlainText);
    const std::string msg = Write();
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
    EXPECT_EQ(unfolded.substr(0, unfolded.find("\r\n")), EncodeHeaderLine(headers[0]));
    EXPECT_EQ(Part(msg, 2, true), std::string(998, 'L') + "\r\n" + std::string(998, 'L') + "\r\n" +
                                    std::string(504, 'L') + "\r\nshort\r\n");
}

TEST(FoldHeaderLine, ARunWithoutSpacesIsBrokenKeepingEveryByte)
{
    const std::string solid(2100, 'c');
    std::string rejoined;
    for (const auto& piece : FoldHeaderLine(solid)) {
        EXPECT_LE(piece.size(), 998u);
        rejoined += piece;
    }
    rejoined.erase(std::remove(rejoined.begin(), rejoined.end(), ' '), rejoined.end());
    EXPECT_EQ(rejoined, solid);
}

TEST_F(MessageWriterTest, FedDataComesFirstAndUnchangedAndTheBodyGoesInPieces)
{
    sink.feed = Lines{"FED-1\r\n", ".raw\r\n"};
    text = {std::string(4998, 'x')};
    EXPECT_NE(Write().find("\r\n\r\nFED-1\r\n.raw\r\n" + text[0] + "\r\n\r\n.\r\n"), std::string::npos);
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_BodySize), Lines{"5000"});
    EXPECT_EQ(sink.infos.at(SendMailInfo::Info_BodyProgress), (Lines{"7", "13", "2048", "4096", "5000"}));
}

} // namespace
} // namespace kitemail
