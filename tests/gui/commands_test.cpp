// The main window's commands where a script cannot reach them (the walks of
// the rest are in tests/data/walks): the edit menu from the keyboard, the
// one-line prompts; the text tools' windows (the diet dialog, vertical
// writing on the K tool bar, the preview window). What the commands do is
// the engine's (unit/text_commands_test); this is the wiring.

#include "gui_support.h"

#include "ui/diet_dialog.h"
#include "ui/line_prompt.h"
#include "ui/preview_window.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QImage>
#include <QMenuBar>
#include <QScrollArea>
#include <QSignalSpy>

namespace kitemail::test {
namespace {

class CommandsWindowTest : public WindowTest {
protected:
    PreviewWindow* Preview() { return program.Windows().previewWindow.get(); }
};

// What acts where, the body's file commands, the dropped files and the
// openers are a script (walks/CommandsFollowTheFocusFilesAndTheType). Here:
// the edit menu from the keyboard, an image on the clipboard, the password
// prompt and the diet dialog.
TEST_F(CommandsWindowTest, EditMenuFromTheKeyboardImagePastePasswordPromptAndDiet)
{
    program.Start();
    // From the keyboard, no mouse: Alt+E takes the focus to the menu line
    // and opens the menu with the items of the box that had the focus.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program.Main()));
    QMenu* edit = program.Find<QMenuBar>(kMenuLine)->actions().at(1)->menu();
    for (const auto& [name, enabled] : {std::pair{kBody, true}, std::pair{kTypeBox, false}}) {
        program.Find<QWidget>(name)->setFocus();
        QTest::keyClick(&program.Main(), Qt::Key_E, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return edit->isVisible(); }, 1000)) << name;
        for (const char* item : {kUndo, kCut, kCopy, kPaste, kSelectAll, kQuotedPaste}) {
            EXPECT_EQ(program.Find<QAction>(item)->isEnabled(), enabled) << name << " " << item;
        }
        edit->close();
        QTest::keyClick(&program.Main(), Qt::Key_Escape); // leaves the menu line
    }
    program.Body()->setFocus();

    Commit(program.Body(), QStringLiteral("x"));
    // An image is no text: nothing happens.
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    program.Trigger(kQuotedPaste);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("x"));
    // The password prompt keeps its box open for a character Shift_JIS cannot hold.
    {
        QString refusal;
        bool stayedOpen = false;
        ModalWatcher watcher([&](QWidget* modal) {
            if (auto* prompt = qobject_cast<LinePrompt*>(modal)) {
                prompt->Edit()->setText(QString::fromUtf8("pa😀"));
                prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                stayedOpen = prompt->isVisible();
                prompt->Edit()->setText(QStringLiteral("secret"));
                prompt->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            } else {
                Boxes boxes;
                Answer(modal, boxes);
                refusal = boxes.texts.value(0);
            }
        });
        EXPECT_EQ(program.Main().PromptPassword({}), std::optional<std::string>("secret"));
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(refusal.contains(QStringLiteral("U+1F600"))) << refusal.toStdString();
    }

    // The diet refuses with a beep, stays open and keeps its ticks.
    program.Body()->clear();
    {
        Commit(program.Body(), QStringLiteral("a \n\nb"));
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
                const std::pair<const char*, bool> rows[] = {
                    {kDietLeadingBlanks, false}, {kDietTrailingBlanks, true},
                    {kDietInnerSpaces, false},   {kDietEmptyLines, true},
                    {kDietJoinLines, false},
                };
                int above = -1;
                for (const auto& [name, ticked] : rows) {
                    EXPECT_EQ(box(name)->isChecked(), ticked) << name;
                    EXPECT_GT(box(name)->y(), above) << name;
                    above = box(name)->y();
                }
                for (const char* name : {kDietTrailingBlanks, kDietEmptyLines}) {
                    box(name)->setChecked(false);
                }
                click(QDialogButtonBox::Ok);
                openAfterRefusal = diet->isVisible();
                box(kDietJoinLines)->setChecked(true);
                click(QDialogButtonBox::Ok);
            } else {
                // Opened again: the ticks of last time; Cancel changes nothing.
                EXPECT_TRUE(box(kDietJoinLines)->isChecked());
                EXPECT_FALSE(box(kDietEmptyLines)->isChecked());
                click(QDialogButtonBox::Cancel);
            }
        });
        program.Find<QAction>(kDiet)->trigger();
        EXPECT_TRUE(openAfterRefusal);
        EXPECT_EQ(boxes.texts, QStringList{QString::fromUtf8("いずれかのオプションを指定してください。")});
        EXPECT_EQ(beeps.count(), 1); // whatever BeepOnMessage says
        EXPECT_FALSE(diet->isVisible());
        EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("a b"));
        EXPECT_EQ(program.Status(), QString::fromUtf8("ダイエット完了"));
        EXPECT_EQ(program.Main().Composer().Text(TextArea::Body).bytes, "a b"); // recounted

        program.Find<QAction>(kDiet)->trigger();
        EXPECT_EQ(watcher.Seen(), 3);
        EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("a b"));
    }

}

// The inserts and vertical writing: walks/InsertsGoInAtTheCaretAndVerticalWriting.

// The preview window following the body and its marks are a script
// (walks/ThePreviewFollowsTheBodyAndKeepsItsColumns). From 10 columns to 6
// the view narrows by four full-width characters, the window with it; where
// it stood comes back at the next start.
TEST_F(CommandsWindowTest, ThePreviewsColumnsSetItsWidthAndItsPlaceIsKept)
{
    program.Start();
    program.Trigger(kPreviewButton);
    auto* columns = Preview()->findChild<QSpinBox*>(kPreviewColumns);
    const int view = Preview()->ViewBox()->width();
    const int window = Preview()->width();
    columns->setValue(6);
    const int fourColumns = QFontMetrics(Preview()->View()->font()).horizontalAdvance(QString(8, QLatin1Char(' ')));
    EXPECT_EQ(Preview()->ViewBox()->width(), view - fourColumns);
    EXPECT_EQ(Preview()->width(), window - fourColumns);
    Preview()->move(37, 41);
    program.Trigger(kPreview);
    program.Restart();
    EXPECT_EQ(Preview()->pos(), QPoint(37, 41));
}

} // namespace
} // namespace kitemail::test
