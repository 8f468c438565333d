// The draft file: every field back as it was written, in Shift_JIS while
// the texts fit and in UTF-8 when one does not; a history record read back
// as a mail to send again. What is no draft, the leftovers of killed writes
// and the run's marker are a walk (walks_test, draft_leftovers).

#include "golden.h"
#include "platform/text_codec.h"
#include "send/draft.h"
#include "send/history_record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

Draft FullDraft()
{
    Draft d;
    d.mode = RecipientMode::AddressBook;
    d.address = "you@example.jp";
    d.type = TerminalType::IMode;
    d.ticked = {Sj("山田,yamada@example.jp,3,"), Sj("鈴木,suzuki@example.jp,6,")};
    d.subject = "件名, それと空白";
    d.pin = "1234";
    d.body = "一行目\n\n三行目 ～ end\n";
    d.attachments = {Sj("/tmp/a dir/写真, その1.jpg"), "/tmp/\"quoted\".txt"};
    d.animation = true;
    d.caret = 7;
    return d;
}

using DraftCharset = ::testing::TestWithParam<TableRow>;

TEST_P(DraftCharset, EveryFieldRoundTripsInTheCharsetItNeeds)
{
    const TableRow& row = GetParam();
    Draft d = row[0] == "full" ? FullDraft() : Draft{};
    d.body = row[1] == "-" ? d.body : row[1];
    d.subject = row[2] == "-" ? d.subject : row[2];
    const std::string bytes = FormatDraft(d);
    EXPECT_NE(bytes.find("Charset: " + row[3] + "\r\n"), std::string::npos) << bytes;
    const std::optional<Draft> back = ParseDraft(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, d);

    const TempDir dir;
    ASSERT_FALSE(WriteDraft(dir.path(), d).has_value());
    EXPECT_EQ(ReadDraft(dir.path()), d);
}

INSTANTIATE_TEST_SUITE_P(Rows, DraftCharset, ::testing::ValuesIn(ReadTable("draft_charset")), TableRowName());

TEST(DraftTest, AHistoryRecordBecomesTheMailAgain)
{
    const TempDir dir;
    const std::string kept = dir.Write("kept, file.txt", "x").string();
    HistoryRecord r;
    r.to = "you@example.jp";
    r.subject = Sj("件名");
    r.from = "me@example.jp";
    r.messageId = "20260605064213.1_me@example.jp";
    r.phoneType = TypeBoxText(TerminalType::EZweb);
    r.attachments = {kept, "/nowhere/gone.jpg"};
    r.body = Sj("本文\r\n二行目");
    Draft d = DraftFromRecord(r.Format());
    EXPECT_EQ(d.mode, RecipientMode::Direct);
    EXPECT_EQ(d.address, "you@example.jp");
    EXPECT_EQ(d.type, TerminalType::EZweb);
    EXPECT_EQ(d.subject, "件名");
    EXPECT_EQ(d.body, "本文\n二行目");
    EXPECT_EQ(d.attachments, r.attachments);
    EXPECT_EQ(TakeMissingAttachments(d.attachments), std::vector<std::string>{"/nowhere/gone.jpg"});
    EXPECT_EQ(d.attachments, std::vector<std::string>{kept});

    r.phoneType = "no such type";
    EXPECT_EQ(DraftFromRecord(r.Format()).type, TerminalType::Unspecified);
    r.phoneType.clear();
    EXPECT_EQ(DraftFromRecord(r.Format()).type, TerminalType::Unspecified);
}

} // namespace
} // namespace kitemail::test
