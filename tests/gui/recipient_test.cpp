// The "To :" page and the sender bar: the check list's menu and dragging,
// the carrier suffixes of the address box, and the From check.

#include "gui_support.h"

#include "ui/check_list_box.h"
#include "ui/row_drag.h"
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

#include <algorithm>
#include <tuple>

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
        const QList<QAction*> items = program.Find<QMenu>(menu)->actions();
        const auto found = std::ranges::find(items, QString::fromUtf8(text), &QAction::text);
        EXPECT_TRUE(found != items.end()) << "no item " << text;
        return found == items.end() ? nullptr : *found;
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
};

// The choices and the dragging themselves are the composer's; these drive
// them through the real widgets.
TEST_F(RecipientTest, CheckListMenuDraggingFromCheckAndAddressMenu)
{
    MenuItem("CheckListMenu", "全てにチェックを入れる")->trigger();
    EXPECT_EQ(Entries(), (QStringList{"x A,a@x,,4,-1", "x B,b@x,,3,-1", "x C,c@x,,9,-1"}));
    MenuItem("CheckListMenu", "全てのチェックを外す")->trigger();
    EXPECT_EQ(Entries(), (QStringList{"- A,a@x,,4,-1", "- B,b@x,,3,-1", "- C,c@x,,9,-1"}));

    // A move down, a drop below the last entry, a press outside every entry.
    List()->item(0)->setCheckState(Qt::Checked);
    const QStringList moved{"- B,b@x,,3,-1", "- C,c@x,,9,-1", "x A,a@x,,4,-1"};
    const std::tuple<QPoint, QPoint, int> drags[] = {
        {At(0), At(2), 2}, {At(0), BelowTheLast(), -1}, {BelowTheLast(), At(0), 0}};
    for (const auto& [from, to, highlighted] : drags) { // a press (and release) on from, the drop at to
        QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, from);
        List()->Drag()->DropAt(to);
        EXPECT_EQ(Entries(), moved);
        EXPECT_EQ(List()->currentRow(), highlighted);
    }

    // The survey of the highlighted entry; over no entry it is disabled.
    QAction* survey = MenuItem("CheckListMenu", "使用端末調査");
    for (const int row : {-1, 2}) { // 2: A, moved there
        List()->setCurrentRow(row);
        QMetaObject::invokeMethod(List(), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5)));
        EXPECT_EQ(survey->isEnabled(), row == 2);
        program.Find<QMenu>("CheckListMenu")->close();
    }
    ModalWatcher watcher([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        EXPECT_EQ(box ? box->text() : QString(), QString::fromUtf8("DDI Pocket H\"Link 対応端末"));
        modal->close();
    });
    survey->trigger();
    EXPECT_EQ(watcher.Seen(), 1);

    // The From check says which sender wins.
    for (const char* status : {"ここでの設定優先", "アドレス帳の設定優先"}) {
        QTest::mouseClick(program.Find<QCheckBox>("FromChk"), Qt::LeftButton);
        EXPECT_EQ(program.Find<QLabel>("StatusLabel")->text(), QString::fromUtf8(status));
    }

    // A suffix goes in at the caret, over the selection.
    auto* edit1 = program.Find<QLineEdit>("Edit1");
    edit1->setText(QStringLiteral("taroXYZ"));
    edit1->setSelection(4, 3); // "XYZ"
    QMenu* docomo = program.Find<QMenu>("AddressMenu")->actions().front()->menu();
    ASSERT_NE(docomo, nullptr);
    docomo->actions().front()->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("taro@docomo.ne.jp"));
    EXPECT_EQ(program.Main().Composer().Text(TextArea::DirectAddress).bytes, "taro@docomo.ne.jp");
    edit1->setSelection(0, 4);
    MenuItem("AddressMenu", "切り取り")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("taro"));
    EXPECT_EQ(edit1->text(), QStringLiteral("@docomo.ne.jp"));
}

// ------------------------------------------------------------ text of the boxes

TEST(ComposeSjis, MarksEachUnmappableCharacterInItsPlace)
{
    const ComposedText mixed = ComposeSjis(QString::fromUtf8("😀xあ☃"));
    EXPECT_EQ(mixed.bytes, std::string(kUnmappablePlaceholder) + "x\x82\xa0" + std::string(kUnmappablePlaceholder));
    EXPECT_EQ(mixed.unmappable, (std::vector<char32_t>{0x1F600, 0x2603}));
}

} // namespace
} // namespace kitemail::test
