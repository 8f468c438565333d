// The main window's commands where a script cannot reach them (the walks of
// the rest are in tests/data/walks): the edit menu from the keyboard, the
// one-line prompts; the text tools' windows (the diet dialog, vertical
// writing on the K tool bar, the preview window). What the commands do is
// the engine's (unit/text_commands_test); this is the wiring.

#include "gui_support.h"

#include "ui/line_prompt.h"
#include "ui/preview_window.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QImage>
#include <QMenuBar>
#include <QScrollArea>

namespace kitemail::test {
namespace {

class CommandsWindowTest : public WindowTest {
protected:
    PreviewWindow* Preview() { return program.Windows().previewWindow.get(); }
};

// What acts where, the body's file commands, the dropped files and the
// openers are a script (walks/CommandsFollowTheFocusFilesAndTheType), the
// diet too (walks/DietRefuses...). Here: the edit menu from the keyboard, an
// image on the clipboard and the password prompt.
TEST_F(CommandsWindowTest, EditMenuFromTheKeyboardImagePasteAndThePasswordPrompt)
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
