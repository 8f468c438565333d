// The history record file, byte for byte, and its file names.

#include "send/history_record.h"
#include "file_bytes.h"
#include "platform/text_codec.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace kitemail {
namespace {

using test::ReadBytes;

TEST(HistoryDate, EnglishNamesWithFourLetterJuneAndJuly)
{
    const std::pair<const char*, const char*> rows[] = {
        {"20260605064213", "Fri, 05 June 2026 06:42:13"}, {"20040305140709", "Fri, 05 Mar 2004 14:07:09"},
        {"20260701000000", "Wed, 01 July 2026 00:00:00"}, {"20261206235959", "Sun, 06 Dec 2026 23:59:59"},
        {"20240229120000", "Thu, 29 Feb 2024 12:00:00"}, {"20230229120000", ""}, {"2026", ""}};
    for (const auto& [stamp, date] : rows) {
        EXPECT_EQ(HistoryDate(stamp), date) << stamp;
    }
}

TEST(MessageId, KeepsStampAndSenderAndIsUnique)
{
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string id = MakeMessageId("20040305140709", "a@example.jp");
        EXPECT_EQ(id.substr(0, 14), "20040305140709");
        EXPECT_EQ(id.substr(id.size() - 13), "_a@example.jp");
        EXPECT_TRUE(seen.insert(id).second) << id;
    }
}

TEST(CommaText, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(CommaText({}), "");
    EXPECT_EQ(CommaText({"/a/b.jpg", "/c.txt"}), "/a/b.jpg,/c.txt");
    EXPECT_EQ(CommaText({"/my file.jpg", "/x,y", "/q\"t"}), "\"/my file.jpg\",\"/x,y\",\"/q\"\"t\"");
}

TEST(ErrorTexts, GroupTheValuesDifferently)
{
    EXPECT_EQ(ResultText(0), "");
    EXPECT_EQ(ResultText(8), "Connect Timeout Error");
    EXPECT_EQ(ResultText(17), "Premature Disconnect Error");
    EXPECT_EQ(ResultText(20), "Attachment Error"); // an attachment unreadable while it was sent
    EXPECT_EQ(ResultText(21), "TLS Error");
    EXPECT_EQ(ResultText(25), "");
    EXPECT_EQ(ErrorMessageText(17), ErrorMessageText(2));
    EXPECT_EQ(ErrorMessageText(0), "");
    EXPECT_EQ(ErrorMessageText(14), Sj("メール送信がキャンセルされました。"));
}

class HistoryFolder : public ::testing::Test {
protected:
    static HistoryRecord Record()
    {
        HistoryRecord r;
        r.to = "taro@example.jp";
        r.subject = Sj("件名");
        r.from = "me@example.jp";
        r.messageId = "20260605064213.0000002A_me@example.jp";
        r.phoneType = "i-mode";
        r.server = "smtp.example.jp";
        r.body = Sj("本文") + "\r\nline 2";
        return r;
    }

    test::TempDir dir_;
    std::filesystem::path root_ = dir_.path() / "history";
};

TEST_F(HistoryFolder, WritesTheRecordByteForByte)
{
    const std::string head = "To: taro@example.jp\r\n"
                             "Date: Fri, 05 June 2026 06:42:13\r\n"
                             "Subject: " + Sj("件名") + "\r\n"
                             "From: me@example.jp\r\n"
                             "Message-ID: 20260605064213.0000002A_me@example.jp\r\n"
                             "X-ktml-PhoneType: i-mode\r\n"
                             "X-ktml-Server: smtp.example.jp\r\n"
                             "X-ktml-Attachments: \r\n";
    const HistoryWriteResult sent = WriteHistoryRecord(root_ / "mail", Record());
    ASSERT_TRUE(sent.ok) << sent.error;
    EXPECT_EQ(sent.path.filename(), "2026060506421300.eml");
    EXPECT_EQ(ReadBytes(sent.path), head + "X-ktml-Result: Succeed\r\nX-Mailer: Kitemail Pro Version 0.50\r\n"
                                           "\r\n" + Sj("本文") + "\r\nline 2\r\n");

    // A failed mail with an empty body.
    HistoryRecord r = Record();
    r.resultText = ResultText(8);
    r.body.clear();
    const HistoryWriteResult failed = WriteHistoryRecord(root_, r);
    ASSERT_TRUE(failed.ok);
    EXPECT_EQ(ReadBytes(failed.path),
              head + "X-ktml-Result: Connect Timeout Error\r\nX-Mailer: Kitemail Pro Version 0.50\r\n\r\n\r\n");
}

TEST_F(HistoryFolder, CountsUpForTheSameSecond)
{
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        const HistoryWriteResult w = WriteHistoryRecord(root_, Record());
        ASSERT_TRUE(w.ok);
        names.push_back(w.path.filename().string());
    }
    EXPECT_EQ(std::vector<std::string>(names.begin() + 9, names.end()),
              (std::vector<std::string>{"2026060506421309.eml", "2026060506421310.eml", "2026060506421311.eml"}));
    // Nothing but the records: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_), {}), 12);
}

TEST_F(HistoryFolder, AFolderThatCannotExistIsReported)
{
    std::filesystem::create_directories(root_);
    std::ofstream(root_ / "mail") << "a file where the folder should be";
    const HistoryWriteResult w = WriteHistoryRecord(root_ / "mail", Record());
    EXPECT_FALSE(w.ok);
    EXPECT_TRUE(w.folderInvalid);
    EXPECT_EQ(w.error, Sj("送信履歴フォルダが不正です。"));
}

} // namespace
} // namespace kitemail
