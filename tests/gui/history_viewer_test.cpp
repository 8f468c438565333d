// The history window's wiring on the data folder's mail/ folder: the list
// and the filter, delete one and clear with their questions. A folder that
// cannot be made is the engine's (unit/history_folder_test).

#include "gui_support.h"

#include "ui/history_viewer.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <fstream>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

void Choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

class HistoryWindowTest : public ::testing::Test {
protected:
    void Open(const std::function<void(HistoryViewer&)>& walk, Boxes* boxes = nullptr)
    {
        HistoryViewer* viewer = program.Windows().historyViewer.get();
        InDialog(
            viewer, [this] { program.Find<QAction>("History1")->trigger(); }, [&] { walk(*viewer); }, boxes);
    }
    template <typename T>
    static T* In(HistoryViewer& viewer, const char* name)
    {
        T* found = viewer.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    Program program;
};

TEST_F(HistoryWindowTest, FilterKeepsNumbersDeleteAndClearAskFirst)
{
    const fs::path mail = program.Dir() / "mail";
    fs::create_directory(mail);
    WriteSjisFile(mail / "2026010100000000.eml", "To: a@x.jp\nSubject: 一通目\n\n本文\n");
    // A byte that is no Shift_JIS: shown as U+FFFD and named under the text.
    WriteSjisFile(mail / "2026010100000100.eml", "To: b@x.jp\nSubject: 二通目\n\n");
    {
        std::ofstream(mail / "2026010100000100.eml", std::ios::app | std::ios::binary) << "x\x85\x40y\r\n";
    }
    WriteSjisFile(mail / "2026010100000200.eml", "To: a@x.jp\nSubject: 三通目\n\n");
    WriteSjisFile(mail / "notes.txt", "not a record\n");
    program.WriteIni("[Configuration]\nFontSize=14\n");
    program.Start();

    Boxes boxes;
    boxes.answers = {false, true, true};
    Open(
        [&](HistoryViewer& viewer) {
            auto* list = In<QListWidget>(viewer, "ListBox3");
            auto* label = In<QLabel>(viewer, "Label19");
            auto* text = In<QPlainTextEdit>(viewer, "Memo2");
            auto* filter = In<QComboBox>(viewer, "ToMask");
            auto* note = In<QLabel>(viewer, "DecodeNote");
            EXPECT_EQ(viewer.windowTitle(), QString::fromUtf8("送信履歴"));
            EXPECT_EQ(Rows(list->model()), QStringList({"1:To: a@x.jp", "2:To: b@x.jp", "3:To: a@x.jp"}));
            EXPECT_EQ(list->currentRow(), 2) << "the newest shown";
            EXPECT_EQ(label->text(), QString::fromUtf8("表示メール：3/3"));
            EXPECT_TRUE(text->toPlainText().contains(QString::fromUtf8("三通目")));
            EXPECT_EQ(text->font().pointSize(), 14);
            EXPECT_EQ(Rows(filter->model()),
                      QStringList({QString::fromUtf8("[すべての宛先]"), "To: a@x.jp", "To: b@x.jp"}));

            Choose(filter, 1);
            EXPECT_EQ(Rows(list->model()), QStringList({"1:To: a@x.jp", "3:To: a@x.jp"}));
            EXPECT_EQ(label->text(), QString::fromUtf8("表示メール：2/2"));
            list->setCurrentRow(0);
            EXPECT_EQ(label->text(), QString::fromUtf8("表示メール：1/2"));
            EXPECT_TRUE(text->toPlainText().contains(QString::fromUtf8("一通目")));
            EXPECT_TRUE(note->isHidden());

            Choose(filter, 2);
            EXPECT_EQ(Rows(list->model()), QStringList({"2:To: b@x.jp"}));
            EXPECT_TRUE(text->toPlainText().contains(QString::fromUtf8("x\uFFFDy")));
            EXPECT_FALSE(note->isHidden());
            EXPECT_TRUE(note->text().contains(QString::fromUtf8("4行目 85 40"))) << note->text().toStdString();

            // Deleting the one shown: No keeps it, Yes deletes it and the
            // window starts over with every recipient.
            auto* deleteOne = In<QPushButton>(viewer, "DeleteOneButton");
            deleteOne->click();
            EXPECT_TRUE(fs::exists(mail / "2026010100000100.eml"));
            deleteOne->click();
            EXPECT_FALSE(fs::exists(mail / "2026010100000100.eml"));
            EXPECT_EQ(filter->currentIndex(), 0);
            EXPECT_EQ(Rows(list->model()), QStringList({"1:To: a@x.jp", "2:To: a@x.jp"}));
            EXPECT_EQ(label->text(), QString::fromUtf8("表示メール：2/2"));

            In<QPushButton>(viewer, "ClearHistoryButton")->click();
            EXPECT_EQ(list->count(), 0);
            EXPECT_EQ(text->toPlainText(), QString());
            EXPECT_EQ(label->text(), QStringLiteral("0/0"));
            EXPECT_EQ(filter->count(), 1);
        },
        &boxes);
    EXPECT_EQ(boxes.texts, QStringList({QString::fromUtf8("削除しますか？"), QString::fromUtf8("削除しますか？"),
                                        QString::fromUtf8("すべての履歴を削除しますか？")}));
    EXPECT_EQ(ListHistoryFiles(mail).size(), 0U);
    EXPECT_TRUE(fs::exists(mail / "notes.txt"));
}

} // namespace
} // namespace kitemail::test
