// The count explained: the terms table and what the window adds to it.

#include "gui_support.h"

#include "accounting/counter.h"
#include "ui/count_terms_window.h"
#include "ui/sjis_field.h"

#include <QFile>

#include <algorithm>

namespace kitemail::test {
namespace {

QString Lines(const std::vector<TermsRow>& rows)
{
    QStringList lines;
    for (const TermsRow& r : rows) {
        lines << r.label + u'|' + r.value + u'|' + r.note;
    }
    return lines.join(u'\n');
}

TEST(CountTerms, TableRowsAddUpToTheCount)
{
    const QTemporaryDir dir;
    const std::string file = (dir.path() + QStringLiteral("/att.bin")).toStdString();
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(300, 'x'));
    }
    const std::string body = ComposeBody(QString::fromUtf8("あいうabcｶﾀｶﾅ\nend漢")).bytes;
    const std::vector<std::string> attached{file};
    const struct {
        TerminalType type;
        std::string subject, sender;
        std::vector<std::string> attachments;
        QString expected;
    } rows[] = {
        {TerminalType::VodafoneLongMail, std::string(45, 'x'), "a.very.long.sender.address.that.goes.past.fifty-five@example.jp",
         attached,
         QString::fromUtf8("固定分|55|\n送信元|55|55バイトまで\n件名|40|40バイト超は一律40\n本文|20|\nシフト|18|6回\n"
                           "半角カナ→全角|4|4文字\n添付|%1|att.bin（サイズ300＋パス%2＋20）\n末尾改行|2|\n合計|%3|")
             .arg(320 + file.size())
             .arg(file.size())
             .arg(514 + file.size())},
        {TerminalType::Cmail, Sj("件名"), "me@example.jp", {},
         QString::fromUtf8("固定分|13|\n送信元|3|@まで\n件名|4|\n本文|20|\nシフト|0|6回（数えない）\n"
                           "半角カナ→全角|4|4文字\n末尾改行|2|\n合計|46|")},
    };
    for (const auto& r : rows) {
        CountInputs in;
        in.body = body;
        in.subject = r.subject;
        in.sender = r.sender;
        in.attachments = r.attachments;
        in.type = r.type;
        in.fixedLength = TerminalTypeRow(r.type).rules.fixedCount;
        const CountResult count = CountMessageSize(in);
        ASSERT_TRUE(count.ok);
        // The expected rows add up to their total; that the count's terms do is the engine's.
        EXPECT_EQ(Lines(TermsRows(count.terms, count.count)).toStdString(), r.expected.toStdString());
    }

    // The window adds the limit, what is left or over and, over it, the split.
    const MessageTerms none;
    const auto tail = [&](std::int32_t count, std::int32_t limit, std::optional<SplitOutlook> split) {
        return Lines(ExplanationRows(none, count, limit, split)).section(u'\n', -3).toStdString();
    };
    EXPECT_EQ(tail(100, 100, std::nullopt), "合計|100|\n上限|100|\n残り|0|");
    EXPECT_EQ(tail(130, 100, SplitOutlook{.parts = 9, .unsentBytes = 12}),
              "上限|100|\n超過|30|\n分割|9通|9通に収まらず、最後の12バイトは送られません");
    EXPECT_EQ(tail(130, 100, SplitOutlook{.attachments = true}),
              "上限|100|\n超過|30|\n分割|不可|添付ファイル付きのメールは分割して送れません");
    EXPECT_EQ(tail(130, 100, SplitOutlook{.parts = 1, .bodyFits = true}),
              "上限|100|\n超過|30|\n分割|1通|分割の計算では本文がすべて1通目に入ります");

    // Bytes to characters: a line break is CR LF, an emoji its two-byte stand-in.
    const QString text = QString::fromUtf8("aあｶ\nb😀c");
    const std::string sjis = ComposeBody(text).bytes;
    const int positions[] = {0, 1, 1, 2, 3, 3, 4, 5, 5, 7, 8};
    for (std::size_t bytes = 0; bytes < std::size(positions); ++bytes) {
        EXPECT_EQ(PositionAfterBytes(text, sjis, bytes), positions[bytes]) << bytes;
    }
}

// The mark as you type and the terms window following the count:
// walks/CountMarkStartsWhereTheFirstPartEndsAndTheTermsWindowFollows.

} // namespace
} // namespace kitemail::test
