// The "To :" page and the sender bar: the check list's menu and dragging,
// the carrier suffixes of the address box, and the From check.

#include "gui_support.h"

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
    QAction* MenuItem(const char* menu, const char* text)
    {
        for (QAction* a : program.Find<QMenu>(menu)->actions()) {
            if (a->text() == QString::fromUtf8(text)) {
                return a;
            }
        }
        ADD_FAILURE() << "no item " << text;
        return nullptr;
    }
    // Each entry's text and whether it is ticked ("x") or not ("-").
    QStringList Entries()
    {
        QStringList entries;
        for (int i = 0; i < List()->count(); ++i) {
            entries << (List()->item(i)->checkState() == Qt::Checked ? "x " : "- ") + List()->item(i)->text();
        }
        return entries;
    }
    QPoint At(int row) { return List()->visualItemRect(List()->item(row)).center(); }
    QPoint BelowTheLast() { return {5, List()->viewport()->height() - 2}; }
    // A press (and release) on from, then the drop at to.
    void Drag(QPoint from, QPoint to)
    {
        QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, from);
        List()->DropAt(to);
    }
};

TEST_F(RecipientTest, TickAllAndUntickAllChangeTicksOnly)
{
    const auto type = [this] { return program.Main().Composer().TypeState().CurrentTerminalType; };
    const std::int32_t before = type();
    MenuItem("CheckListMenu", "全てにチェックを入れる")->trigger();
    EXPECT_EQ(Entries(), (QStringList{"x A,a@x,,4,-1", "x B,b@x,,3,-1", "x C,c@x,,9,-1"}));
    EXPECT_EQ(type(), before);
    MenuItem("CheckListMenu", "全てのチェックを外す")->trigger();
    EXPECT_EQ(Entries(), (QStringList{"- A,a@x,,4,-1", "- B,b@x,,3,-1", "- C,c@x,,9,-1"}));
}

TEST_F(RecipientTest, SurveyOfTheHighlightedEntry)
{
    QAction* survey = MenuItem("CheckListMenu", "使用端末調査");
    // Opening the menu over no entry leaves the survey disabled.
    for (const int row : {-1, 0}) {
        List()->setCurrentRow(row);
        QMetaObject::invokeMethod(List(), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5)));
        EXPECT_EQ(survey->isEnabled(), row == 0);
        program.Find<QMenu>("CheckListMenu")->close();
    }
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
    List()->item(0)->setCheckState(Qt::Checked);
    Drag(At(0), At(2));
    const QStringList moved{"- B,b@x,,3,-1", "- C,c@x,,9,-1", "x A,a@x,,4,-1"};
    EXPECT_EQ(Entries(), moved);
    EXPECT_EQ(List()->currentRow(), 2);
    EXPECT_EQ(program.Main().LiveSettings().AddressBook,
              (std::vector<std::string>{"B,b@x,,3,-1", "C,c@x,,9,-1", "A,a@x,,4,-1"}));
    // Dropped below the last entry: nothing moves and nothing is highlighted.
    Drag(At(0), BelowTheLast());
    EXPECT_EQ(Entries(), moved);
    EXPECT_EQ(List()->currentRow(), -1);
    // A press outside every entry moves nothing; the target is highlighted.
    Drag(BelowTheLast(), At(0));
    EXPECT_EQ(Entries(), moved);
    EXPECT_EQ(List()->currentRow(), 0);
}

TEST_F(RecipientTest, AddressBoxMenuPutsSuffixesAtTheCaretAndUsesTheClipboard)
{
    auto* edit1 = program.Find<QLineEdit>("Edit1");
    edit1->setText(QStringLiteral("taroXYZ"));
    edit1->setSelection(4, 3); // "XYZ"
    QMenu* docomo = program.Find<QMenu>("AddressMenu")->actions().front()->menu();
    ASSERT_NE(docomo, nullptr);
    docomo->actions().front()->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("taro@docomo.ne.jp"));
    EXPECT_EQ(program.Main().Composer().Text(TextArea::DirectAddress).bytes, "taro@docomo.ne.jp");

    edit1->setSelection(0, 4);
    MenuItem("AddressMenu", "コピー")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("taro"));
    MenuItem("AddressMenu", "切り取り")->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("@docomo.ne.jp"));
    edit1->end(false);
    MenuItem("AddressMenu", "貼り付け")->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("@docomo.ne.jptaro"));
    // "アドレス帳に追加" waits for the address-book page of the settings.
    EXPECT_FALSE(MenuItem("AddressMenu", "アドレス帳に追加")->isEnabled());
}

TEST_F(RecipientTest, FromCheckSaysWhichSenderWins)
{
    auto* from = program.Find<QCheckBox>("FromChk");
    const QString status[] = {QString::fromUtf8("ここでの設定優先"), QString::fromUtf8("アドレス帳の設定優先")};
    for (const QString& expected : status) {
        QTest::mouseClick(from, Qt::LeftButton);
        EXPECT_EQ(program.Find<QLabel>("StatusLabel")->text(), expected);
    }
}

// ------------------------------------------------------------ text of the boxes

TEST(ComposeSjis, MarksEachUnmappableCharacterInItsPlace)
{
    const ComposedText mixed = ComposeSjis(QString::fromUtf8("😀xあ☃"));
    const std::string mark(kUnmappablePlaceholder);
    EXPECT_EQ(mixed.bytes, mark + "x\x82\xa0" + mark);
    EXPECT_EQ(mixed.unmappable, (std::vector<char32_t>{0x1F600, 0x2603}));
    EXPECT_EQ(ComposeBody(QStringLiteral("a\nb\n")).bytes, "a\r\nb\r\n");
}

} // namespace
} // namespace kitemail::test
