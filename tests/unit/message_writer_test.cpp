// Whole messages as the writer puts them on the wire, against golden pairs
// in tests/data/messages; and what it reports and refuses on the way. The
// encoding chosen for a file and a long header run folded are walks.
//
// A message is described one field a line, "Name: value", with \r, \n, \xHH
// and \\ in values: From-Name, From, To and Cc (address or address|name),
// Subject, Header, Text (one item of the body), Feed (fed data), From-Text
// (UTF-8, given as an encoded word), and Attach: ENCODING FILE [NAME], the
// file from messages/files, "none" for an attachment without a record;
// Attach-As: ENCODING FILE NAME, a copy of it named NAME.

#include "file_bytes.h"
#include "golden.h"
#include "mail/message_writer.h"
#include "platform/text_codec.h"
#include "temp_dir.h"
#include "text/encoders.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;

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
    test::TempDir copies; // attachments under the names a description gives them

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
            if (field == "Attach" || field == "Attach-As") {
                std::istringstream words(value);
                std::string encoding, file, name;
                words >> encoding >> file >> name;
                std::filesystem::path path = test::GoldenPath("messages/files", file);
                if (field == "Attach-As") {
                    path = copies.Write(name, test::ReadBytes(path));
                    name.clear();
                }
                Attach(Sj(path.string()), encodings.at(encoding), name);
            } else if (field == "From-Text") {
                m.fromName = EncodeJisWord(Sj(value));
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

// A subject too long for one encoded word on its line comes as several, one
// a line; one that fits goes out as it always has. The inputs are UTF-8.
class SubjectField : public MessageWriterTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(SubjectField, FoldsIntoEncodedWords)
{
    m.fromAddress = "me@example.jp";
    m.subject = EncodeJisWord(Sj(test::GoldenInput("subject_field", GetParam())));
    const std::string message = Message();
    const std::size_t start = message.find("Subject: ");
    test::ExpectGolden("subject_field", GetParam(), message.substr(start, message.find("Mime-Version: ") - start));
}

INSTANTIATE_TEST_SUITE_P(Files, SubjectField, ::testing::ValuesIn(test::GoldenNames("subject_field")),
                         test::GoldenRowName());

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

} // namespace
} // namespace kitemail
