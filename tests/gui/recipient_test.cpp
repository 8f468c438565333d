// The "To :" page and the sender bar: the check list's menu and dragging,
// the carrier suffixes of the address box, and the From check.

#include "gui_support.h"

#include "platform/text_codec.h"
#include "ui/check_list_box.h"
#include "ui/sjis_field.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

class RecipientTest : public ::testing::Test {
protected:
    Program program;

    void SetUp() override
    {
        program.WriteIni("[Configuration]\n16=0\n[TEL]\nHow=3\n0=A,a@x,,4,-1\n1=B,b@x,,3,-1\n2=C,c@x,,9,-1\n");
        program.Start();
    }
    CheckListBox* List() { return program.Find<CheckListBox>("CheckListBox1"); }
    QMenu* Menu(const char* name) { return program.Find<QMenu>(name); }
    QAction* MenuItem(const char* menu, const char* text)
    {
        for (QAction* a : Menu(menu)->actions()) {
            if (a->text() == QString::fromUtf8(text)) {
                return a;
            }
        }
        ADD_FAILURE() << "no item " << text;
        return nullptr;
    }
    QStringList Lines()
    {
        QStringList lines;
        for (int i = 0; i < List()->count(); ++i) {
            lines << List()->item(i)->text();
        }
        return lines;
    }
    QString Status() { return program.Find<QLabel>("StatusLabel")->text(); }
};

TEST_F(RecipientTest, CheckListMenuItemsAndTheirOrder)
{
    QStringList texts;
    for (const QAction* a : Menu("CheckListMenu")->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    EXPECT_EQ(texts, (QStringList{QString::fromUtf8("全てにチェックを入れる"), QString::fromUtf8("全てのチェックを外す"),
                                  QStringLiteral("-"), QString::fromUtf8("使用端末調査"),
                                  QString::fromUtf8("本文中に挿入")}));
}

TEST_F(RecipientTest, TickAllAndUntickAllChangeTicksOnly)
{
    const auto type = [this] { return program.Main().Composer().TypeState().CurrentTerminalType; };
    const std::int32_t before = type();
    MenuItem("CheckListMenu", "全てにチェックを入れる")->trigger();
    for (int i = 0; i < List()->count(); ++i) {
        EXPECT_EQ(List()->item(i)->checkState(), Qt::Checked);
    }
    EXPECT_EQ(type(), before);
    MenuItem("CheckListMenu", "全てのチェックを外す")->trigger();
    for (int i = 0; i < List()->count(); ++i) {
        EXPECT_EQ(List()->item(i)->checkState(), Qt::Unchecked);
    }
}

TEST_F(RecipientTest, SurveyOfTheHighlightedEntry)
{
    QAction* survey = MenuItem("CheckListMenu", "使用端末調査");
    // Opening the menu over no entry leaves the survey disabled.
    QMetaObject::invokeMethod(List(), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5)));
    EXPECT_FALSE(survey->isEnabled());
    Menu("CheckListMenu")->close();

    List()->setCurrentRow(0);
    QMetaObject::invokeMethod(List(), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5)));
    EXPECT_TRUE(survey->isEnabled());
    Menu("CheckListMenu")->close();

    QString shown;
    ModalWatcher watcher([&shown](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown = box->text();
        }
        modal->close();
    });
    survey->trigger();
    EXPECT_EQ(shown, QString::fromUtf8("DDI Pocket H\"Link 対応端末"));
}

TEST_F(RecipientTest, DraggingReordersTheListAndTheAddressBook)
{
    const QPoint first = List()->visualItemRect(List()->item(0)).center();
    const QPoint last = List()->visualItemRect(List()->item(2)).center();
    List()->item(0)->setCheckState(Qt::Checked);

    QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, first);
    List()->DropAt(last);
    EXPECT_EQ(Lines(), (QStringList{"B,b@x,,3,-1", "C,c@x,,9,-1", "A,a@x,,4,-1"}));
    EXPECT_EQ(List()->currentRow(), 2);
    EXPECT_EQ(List()->item(2)->checkState(), Qt::Checked);
    EXPECT_EQ(program.Main().LiveSettings().AddressBook,
              (std::vector<std::string>{"B,b@x,,3,-1", "C,c@x,,9,-1", "A,a@x,,4,-1"}));

    // Dropped below the last entry: nothing moves and nothing is highlighted.
    QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, first);
    List()->DropAt(QPoint(5, List()->viewport()->height() - 2));
    EXPECT_EQ(Lines(), (QStringList{"B,b@x,,3,-1", "C,c@x,,9,-1", "A,a@x,,4,-1"}));
    EXPECT_EQ(List()->currentRow(), -1);

    // A press outside every entry moves nothing; the target is highlighted.
    QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, QPoint(5, List()->viewport()->height() - 2));
    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, QPoint(5, List()->viewport()->height() - 2));
    List()->DropAt(first);
    EXPECT_EQ(Lines(), (QStringList{"B,b@x,,3,-1", "C,c@x,,9,-1", "A,a@x,,4,-1"}));
    EXPECT_EQ(List()->currentRow(), 0);
}

TEST_F(RecipientTest, CarrierSuffixesGoInAtTheCaret)
{
    QStringList carriers;
    int withQuestionMark = 0;
    for (QAction* a : Menu("AddressMenu")->actions()) {
        if (QMenu* sub = a->menu()) {
            carriers << a->text();
            ASSERT_EQ(sub->actions().size(), 1);
            const QString suffix = sub->actions().front()->text();
            EXPECT_TRUE(suffix.startsWith(QLatin1Char('@'))) << suffix.toStdString();
            withQuestionMark += suffix.contains(QLatin1Char('?')) ? 1 : 0;
        }
    }
    EXPECT_EQ(carriers, (QStringList{"DoCoMo", "au", "vodafone", "Tu-Ka", "DDI Pocket"}));
    EXPECT_EQ(withQuestionMark, 3);

    auto* edit1 = program.Find<QLineEdit>("Edit1");
    edit1->setText(QStringLiteral("taroXYZ"));
    edit1->setSelection(4, 3); // "XYZ"
    QAction* docomo = Menu("AddressMenu")->actions().front()->menu()->actions().front();
    docomo->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("taro@docomo.ne.jp"));
    EXPECT_EQ(program.Main().Composer().Text(TextArea::DirectAddress).bytes, "taro@docomo.ne.jp");

    // "アドレス帳に追加" waits for the address-book page of the settings.
    EXPECT_FALSE(MenuItem("AddressMenu", "アドレス帳に追加")->isEnabled());
}

TEST_F(RecipientTest, AddressBoxClipboardCommands)
{
    auto* edit1 = program.Find<QLineEdit>("Edit1");
    edit1->setText(QStringLiteral("abc@example.jp"));
    edit1->setSelection(0, 3);
    MenuItem("AddressMenu", "コピー")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("abc"));
    MenuItem("AddressMenu", "切り取り")->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("@example.jp"));
    edit1->end(false);
    MenuItem("AddressMenu", "貼り付け")->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("@example.jpabc"));
}

TEST_F(RecipientTest, FromCheckSaysWhichSenderWins)
{
    auto* from = program.Find<QCheckBox>("FromChk");
    EXPECT_EQ(from->text(), QStringLiteral("From : "));
    QTest::mouseClick(from, Qt::LeftButton);
    EXPECT_EQ(Status(), QString::fromUtf8("ここでの設定優先"));
    QTest::mouseClick(from, Qt::LeftButton);
    EXPECT_EQ(Status(), QString::fromUtf8("アドレス帳の設定優先"));
}

// ------------------------------------------------------------ text of the boxes

TEST(ComposeSjis, MarksEachUnmappableCharacterInItsPlace)
{
    const ComposedText clean = ComposeSjis(QString::fromUtf8("aあ"));
    EXPECT_EQ(clean.bytes, "a" + Sj("あ"));
    EXPECT_TRUE(clean.unmappable.empty());

    const ComposedText mixed = ComposeSjis(QString::fromUtf8("😀x☃"));
    EXPECT_EQ(mixed.bytes, std::string(kUnmappablePlaceholder) + "x" + std::string(kUnmappablePlaceholder));
    EXPECT_EQ(mixed.unmappable, (std::vector<char32_t>{0x1F600, 0x2603}));

    const ComposedText body = ComposeBody(QStringLiteral("a\nb\n"));
    EXPECT_EQ(body.bytes, "a\r\nb\r\n");
    EXPECT_EQ(ShowSjis("a\r\nb"), QStringLiteral("a\nb"));
}

} // namespace
} // namespace kitemail::test
