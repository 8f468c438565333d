// Whole messages as the writer puts them on the wire, against golden pairs
// in tests/data/messages; and what it reports and refuses on the way.
//
// A message is described one field a line, "Name: value", with \r, \n, \xHH
// and \\ in values: From-Name, From, To and Cc (address or address|name),
// Subject, Header, Text (one item of the body), Feed (fed data), and
// Attach: ENCODING FILE [NAME], the file from messages/files, "none" for an
// attachment without a record.

#include "golden.h"
#include "mail/message_writer.h"
#include "platform/text_codec.h"
#include "temp_dir.h"
#include "text/encoders.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <map>
#include <optional>
#include <regex>
#include <sstream>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

// The reading side, written apart from the encoder: base64 by the book and
// ISO-2022-JP by the system's iconv.
std::string FromBase64(const std::string& text)
{
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int n = 0;
    for (const char c : text) {
        if (c == '=') {
            break;
        }
        bits = (bits << 6) | static_cast<unsigned>(alphabet.find(c));
        if ((n += 6) >= 8) {
            out.push_back(static_cast<char>((bits >> (n -= 8)) & 0xFF));
        }
    }
    return out;
}

std::string JisToUtf8(std::string jis)
{
    iconv_t cd = iconv_open("UTF-8", "ISO-2022-JP");
    std::string out(jis.size() * 3 + 8, '\0');
    char* in = jis.data();
    char* o = out.data();
    std::size_t inLeft = jis.size(), outLeft = out.size();
    const std::size_t done = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    EXPECT_NE(done, static_cast<std::size_t>(-1)) << "not ISO-2022-JP: " << ::testing::PrintToString(jis);
    out.resize(out.size() - outLeft);
    return out;
}

// The lines of the header field that starts with head (continuation lines
// included), each checked against RFC 2047's limits, and the text of its
// encoded words joined as a reader joins adjacent words.
struct Field {
    Lines lines;
    std::string text;
};

Field ReadField(const std::string& message, const std::string& head)
{
    Field f;
    std::size_t at = message.find("\r\n" + head);
    at = at == std::string::npos ? std::string::npos : at + 2;
    if (message.starts_with(head)) {
        at = 0;
    }
    EXPECT_NE(at, std::string::npos) << head;
    while (at != std::string::npos && at < message.size()) {
        const std::size_t end = message.find("\r\n", at);
        f.lines.push_back(message.substr(at, end - at));
        at = end + 2;
        if (message[at] != ' ') {
            break;
        }
    }
    static const std::regex word(R"(=\?ISO-2022-JP\?B\?([A-Za-z0-9+/=]*)\?=)");
    for (const std::string& line : f.lines) {
        if (f.lines.size() > 1) {
            EXPECT_LE(line.size(), 76u) << line;
        }
        for (std::sregex_iterator m(line.begin(), line.end(), word), e; m != e; ++m) {
            EXPECT_LE(m->length(0), 75) << line;
            const std::string jis = FromBase64((*m)[1]);
            if (f.lines.size() > 1) { // each word a whole run back in ASCII
                const std::size_t esc = jis.rfind('\x1b');
                EXPECT_TRUE(esc == std::string::npos || jis.compare(esc, 2, "\x1b(") == 0) << line;
            }
            f.text += JisToUtf8(jis);
        }
    }
    return f;
}

// The fixture is the writer's sink too: it keeps the reports and hands out
// the fed data.
class MessageWriterTest : public ::testing::Test, public MessageSink {
protected:
    struct Content {
        std::string fromName, fromAddress, subject;
        Lines to, cc, headers, text, attachments, feed;
        std::vector<std::optional<AttachmentRecord>> records;
    } m;
    std::map<SendMailInfo, Lines> infos;
    std::string failure;

    void Info(SendMailInfo info, const std::string& t) override { infos[info].push_back(t); }
    [[nodiscard]] bool WantsInfo() const override { return true; }
    bool FeedData(std::string& data) override
    {
        if (!m.feed.empty()) {
            data = m.feed.front();
            m.feed.erase(m.feed.begin());
        }
        return true;
    }

    void Attach(const std::string& path, std::optional<std::uint8_t> encoding, const std::string& name = {})
    {
        m.records.resize(m.attachments.size());
        if (encoding) {
            m.records.push_back(AttachmentRecord{name, *encoding, {}, {}, {}, path});
        }
        m.attachments.push_back(path);
    }

    void Describe(const std::string& description)
    {
        static const std::map<std::string, std::optional<std::uint8_t>> encodings = {
            {"none", std::nullopt},       {"detect", kEncodingDetect}, {"base64", kEncodingBase64},
            {"quoted-printable", kEncodingQuotedPrintable}, {"plain", kEncodingPlainText},
            {"uuencode", kEncodingUuencode}};
        m = {};
        std::istringstream lines(description);
        for (std::string line; std::getline(lines, line);) {
            const std::string field = line.substr(0, line.find(": "));
            const std::string value = test::Unescape(line.substr(field.size() + 2));
            if (field == "Attach") {
                std::istringstream words(value);
                std::string encoding, file, name;
                words >> encoding >> file >> name;
                Attach(test::GoldenPath("messages/files", file).string(), encodings.at(encoding), name);
            } else {
                std::map<std::string, std::string*> one = {{"From-Name", &m.fromName}, {"From", &m.fromAddress},
                                                           {"Subject", &m.subject}};
                std::map<std::string, Lines*> many = {
                    {"To", &m.to}, {"Cc", &m.cc}, {"Header", &m.headers}, {"Text", &m.text}, {"Feed", &m.feed}};
                one.contains(field) ? void(*one.at(field) = value) : many.at(field)->push_back(value);
            }
        }
    }

    // A whole message, pulled in small pieces as the transport does.
    std::string Message()
    {
        std::string out;
        infos.clear();
        MessageWriter writer(*this, {m.fromName, m.fromAddress, m.subject, &m.to, &m.cc, &m.headers, &m.text,
                                     &m.attachments, &m.records, {}});
        while (writer.Produce(out, 100)) {
        }
        failure = writer.Failure();
        return out;
    }
};

class MessageGolden : public MessageWriterTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(MessageGolden, WritesTheExpectedBytes)
{
    Describe(test::GoldenInput("messages", GetParam()));
    test::ExpectGolden("messages", GetParam(), Message());
    EXPECT_EQ(failure, "");
}

INSTANTIATE_TEST_SUITE_P(Files, MessageGolden, ::testing::ValuesIn(test::GoldenNames("messages")),
                         test::GoldenRowName());

TEST_F(MessageWriterTest, ReportsProgressAndWritesDefaultsAndDetectedEncodingsBack)
{
    Describe(test::GoldenInput("messages", "fed_data_before_the_body"));
    (void)Message();
    EXPECT_EQ(infos.at(SendMailInfo::Info_BodySize), Lines{"5000"});
    EXPECT_EQ(infos.at(SendMailInfo::Info_BodyProgress), (Lines{"7", "13", "2048", "4096", "5000"}));

    Describe(test::GoldenInput("messages", "every_encoding_without_body"));
    (void)Message();
    EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentStart).front(), m.attachments.front());
    EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentSize), (Lines{"2", "0", "2281"})); // the base64 parts
    EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentProgress).back(), "2281");
    EXPECT_EQ(m.records[1]->contentType, "application/octet-stream");
    EXPECT_EQ(m.records[1]->disposition, "attachment");
    EXPECT_EQ(m.records[3]->AttachmentEncoding, kEncodingPlainText);
    EXPECT_EQ(m.records[4]->AttachmentEncoding, kEncodingBase64);
}

class EncodedSubject : public MessageWriterTest, public ::testing::WithParamInterface<test::TableRow> {};

TEST_P(EncodedSubject, FoldsIntoWordsThatReadBackWhole)
{
    const test::TableRow& row = GetParam();
    m.fromAddress = "me@example.jp";
    m.subject = EncodeJisWord(Sj(row[0]));
    const Field f = ReadField(Message(), "Subject: ");
    EXPECT_EQ(f.lines.size(), static_cast<std::size_t>(row.Int(1)));
    EXPECT_EQ(f.text, row.cells.size() > 2 ? row[2] : row[0]);
    if (f.lines.size() == 1) {
        EXPECT_EQ(f.lines[0], "Subject: " + m.subject + "  "); // as it always was
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, EncodedSubject, ::testing::ValuesIn(test::ReadTable("encoded_subject")),
                         test::TableRowName());

// A sender name or attachment name too long for one encoded word on its
// line comes as several, one a line, and reads back whole.
TEST_F(MessageWriterTest, LongEncodedNamesFoldIntoWordsThatReadBackWhole)
{
    const std::string name = test::Unescape("\\{15:送信者}");
    m.fromName = EncodeJisWord(Sj(name));
    m.fromAddress = "me@example.jp";
    test::TempDir dir;
    const std::string fileName = test::Unescape("\\{6:添付ファイル}") + ".jpg";
    (void)dir.Write(fileName, "data");
    Attach(Sj((dir.path() / fileName).string()), kEncodingBase64);
    const std::string message = Message();
    Field from = ReadField(message, "From: ");
    EXPECT_EQ(from.text, name);
    EXPECT_GT(from.lines.size(), 1u);
    EXPECT_TRUE(from.lines.back().ends_with("?= <me@example.jp>")) << from.lines.back();
    for (const char* head : {"Content-Type: application/octet-stream;", "Content-Disposition: attachment;"}) {
        const Field param = ReadField(message, head);
        EXPECT_EQ(param.text, fileName);
        EXPECT_EQ(param.lines[0], head);
        EXPECT_TRUE(param.lines[1].starts_with(" name=\"=?") || param.lines[1].starts_with(" filename=\"=?"));
        EXPECT_TRUE(param.lines.back().ends_with("?=\"")) << param.lines.back();
    }
}

// A file that cannot be opened, with or without a record: the message stops
// there, without its ".", and says which file.
TEST_F(MessageWriterTest, AnUnreadableAttachmentEndsTheMessageUnfinished)
{
    test::TempDir dir;
    const std::string missing = (dir.path() / "gone.bin").string();
    const std::string hello = test::GoldenPath("messages/files", "hello.bin").string();
    using Encoding = std::optional<std::uint8_t>;
    for (const Encoding encoding : {Encoding(kEncodingBase64), Encoding(kEncodingDetect), Encoding()}) {
        Describe("From: me@example.jp\nTo: you@example.jp\n");
        Attach(hello, kEncodingBase64);
        Attach(missing, encoding);
        const std::string cut = Message();
        EXPECT_EQ(failure, missing + ": No such file or directory");
        EXPECT_EQ(infos.at(SendMailInfo::Info_AttachmentFailed), Lines{missing});
        EXPECT_TRUE(cut.ends_with("aGVsbG8=\r\n")) << cut;
    }
}

class DetectEncodingRow : public ::testing::TestWithParam<test::TableRow> {};

TEST_P(DetectEncodingRow, PlainTextOnlyWhenItWouldArriveUnchanged)
{
    test::TempDir dir;
    EXPECT_EQ(DetectEncoding(dir.Write("f", GetParam()[0])),
              GetParam()[1] == "plain" ? kEncodingPlainText : kEncodingBase64);
}

INSTANTIATE_TEST_SUITE_P(Rows, DetectEncodingRow, ::testing::ValuesIn(test::ReadTable("detect_encoding")),
                         test::TableRowName());

// A file gone is sent as base64; a header run without white space is
// broken keeping every byte, with room left for a doubled dot.
TEST(DetectEncoding, AFileGoneAndALongHeaderRun)
{
    test::TempDir dir;
    EXPECT_EQ(DetectEncoding((dir.path() / "gone").string()), kEncodingBase64);
    EXPECT_EQ(FoldHeaderLine(std::string(2100, 'c')),
              (Lines{std::string(997, 'c'), " " + std::string(996, 'c'), " " + std::string(107, 'c')}));
}

} // namespace
} // namespace kitemail
