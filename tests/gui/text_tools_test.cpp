// The text tools' windows as the user reaches them: the diet dialog's ticks
// and a refusal, vertical writing on the K tool bar, and the preview window
// beside the main window. What the tools do to a text is the engine's
// (unit/text_commands_test); this is the wiring.

#include "gui_support.h"

#include "settings/settings.h"
#include "ui/diet_dialog.h"
#include "ui/preview_window.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

class TextToolsWindowTest : public ::testing::Test {
protected:
    Program program;

    QPlainTextEdit* Body() { return program.Find<QPlainTextEdit>("Memo1"); }
    PreviewWindow* Preview() { return program.Windows().previewWindow.get(); }
    QString Shown() { return Preview()->View()->text(); }
};

TEST_F(TextToolsWindowTest, DietRefusesWithABeepStaysOpenAndKeepsItsTicks)
{
    program.Start();
    Commit(Body(), QStringLiteral("a \n\nb"));
    const QSignalSpy beeps(&program.Main(), &MainWindow::beeped);
    DietDialog* diet = program.Windows().dietDialog.get();
    const auto box = [diet](const char* name) { return diet->findChild<QCheckBox*>(QString::fromLatin1(name)); };
    const auto click = [diet](QDialogButtonBox::StandardButton which) {
        diet->findChild<QDialogButtonBox*>()->button(which)->click();
    };

    Boxes boxes;
    bool openAfterRefusal = false;
    ModalWatcher watcher([&](QWidget* modal) {
        if (modal != diet) {
            Answer(modal, boxes);
            return;
        }
        if (boxes.texts.isEmpty()) {
            // Top to bottom, the order of processing, with the ticks at start.
            const std::tuple<const char*, const char*, bool> rows[] = {
                {"CheckBox3", "行前部の空白を削除", false}, {"CheckBox2", "行後部の空白を削除", true},
                {"CheckBox4", "文中の空白を削除", false},   {"CheckBox7", "空白の行を削除", true},
                {"CheckBox1", "改行の削除", false},
            };
            int above = -1;
            for (const auto& [name, caption, ticked] : rows) {
                EXPECT_EQ(box(name)->text(), QString::fromUtf8(caption));
                EXPECT_EQ(box(name)->isChecked(), ticked) << name;
                EXPECT_GT(box(name)->y(), above) << name;
                above = box(name)->y();
            }
            for (const char* name : {"CheckBox2", "CheckBox7"}) {
                box(name)->setChecked(false);
            }
            click(QDialogButtonBox::Ok);
            openAfterRefusal = diet->isVisible();
            box("CheckBox1")->setChecked(true);
            click(QDialogButtonBox::Ok);
        } else {
            // Opened again: the ticks of last time; Cancel changes nothing.
            EXPECT_TRUE(box("CheckBox1")->isChecked());
            EXPECT_FALSE(box("CheckBox7")->isChecked());
            click(QDialogButtonBox::Cancel);
        }
    });
    program.Find<QAction>("Diet1")->trigger();
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8("いずれかのオプションを指定してください。")});
    EXPECT_EQ(beeps.count(), 1); // whatever BeepOnMessage says
    EXPECT_FALSE(diet->isVisible());
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("a b"));
    EXPECT_EQ(program.Status(), QString::fromUtf8("ダイエット完了"));
    EXPECT_EQ(program.Main().Composer().Text(TextArea::Body).bytes, "a b"); // recounted

    program.Find<QAction>("Diet1")->trigger();
    EXPECT_EQ(watcher.Seen(), 3);
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("a b"));
}

TEST_F(TextToolsWindowTest, VerticalWritingIsOnTheKToolBar)
{
    program.WriteIni("[Developer]\nklab=1\n");
    program.Start();
    EXPECT_FALSE(program.Find<QWidget>("KlabBar")->isHidden());
    QAction* vertical = program.Find<QAction>("VerticalWriting");
    EXPECT_EQ(vertical->text(), QString::fromUtf8("縦書き化！"));
    EXPECT_EQ(vertical->toolTip(), QString::fromUtf8("注：Undo機能は無効です。"));
    Commit(Body(), QString::fromUtf8("ab\n字"));
    vertical->trigger();
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("a\nb\n\n字"));
}

TEST_F(TextToolsWindowTest, PreviewFollowsTheBodyAndItsColumnCountSetsItsWidth)
{
    program.Start();
    QAction* item = program.Find<QAction>("Preview1");
    QAction* button = program.Find<QAction>("PreviewButton");
    const auto marks = [&] { return std::make_pair(item->isChecked(), button->isChecked()); };
    EXPECT_TRUE(item->isCheckable() && button->isCheckable());
    const auto repeat = [](int n) { return QString::fromUtf8("字").repeated(n); };
    Commit(Body(), "a" + repeat(12));

    button->trigger();
    ASSERT_TRUE(Preview()->isVisible());
    EXPECT_EQ(marks(), std::make_pair(true, true));
    EXPECT_EQ(Preview()->windowTitle(), QString::fromUtf8("プレビューウィンドウ"));
    EXPECT_EQ(Shown(), "a" + repeat(9) + "\n" + repeat(3) + "\n");
    // Every recount refreshes while "自動更新" is ticked, with the text as sent.
    Commit(Body(), QString::fromUtf8("ｶﾞ"));
    EXPECT_EQ(Shown(), "a" + repeat(9) + "\n" + repeat(3) + QString::fromUtf8("ガ\n"));
    auto* automatic = Preview()->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    EXPECT_EQ(automatic->text(), QString::fromUtf8("自動更新"));
    automatic->click();
    Body()->clear();
    EXPECT_TRUE(Shown().startsWith(QStringLiteral("a")));
    automatic->click();
    EXPECT_EQ(Shown(), QString());

    // From 10 columns to 6: the view narrows by four full-width characters,
    // the window with it, and the rows are 12 bytes.
    Body()->setPlainText(repeat(7));
    auto* columns = Preview()->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"));
    EXPECT_EQ(columns->value(), 10);
    EXPECT_EQ(std::make_pair(columns->minimum(), columns->maximum()), std::make_pair(6, 20));
    const int view = Preview()->ViewBox()->width();
    const int window = Preview()->width();
    columns->setValue(6);
    const int fourColumns = QFontMetrics(Preview()->View()->font()).horizontalAdvance(QString(8, QLatin1Char(' ')));
    EXPECT_EQ(Preview()->ViewBox()->width(), view - fourColumns);
    EXPECT_EQ(Preview()->width(), window - fourColumns);
    EXPECT_EQ(Shown(), repeat(6) + "\n" + repeat(1) + "\n");

    // The menu item hides it and releases both marks; where it stood and its
    // column count come back at the next start.
    Preview()->move(37, 41);
    item->trigger();
    EXPECT_FALSE(Preview()->isVisible());
    EXPECT_EQ(marks(), std::make_pair(false, false));
    program.Restart();
    EXPECT_EQ(Preview()->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->value(), 6);
    EXPECT_EQ(Preview()->pos(), QPoint(37, 41));
    EXPECT_FALSE(Preview()->isVisible());
}

} // namespace
} // namespace kitemail::test
