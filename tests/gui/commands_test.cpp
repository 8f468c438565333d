// The main window's commands as the user reaches them: menu items, tool
// buttons, shortcuts, files dropped on the attachment list, the one-line
// prompts; the text tools' windows (the diet dialog, vertical writing on the
// K tool bar, the preview window) and the history window. What the commands
// do is the engine's (unit/text_commands_test, unit/history_folder_test);
// this is the wiring.

#include "gui_support.h"

#include "platform/clock.h"
#include "ui/about_box.h"
#include "ui/diet_dialog.h"
#include "ui/history_viewer.h"
#include "ui/line_prompt.h"
#include "ui/preview_window.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QImage>
#include <QMenuBar>
#include <QScrollArea>
#include <QSignalSpy>

#include <fstream>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;

// Triggers the action and chooses file in the file dialog of that mode, as
// a double click on it would; boxes on the way are answered in order from
// answers. Returns their texts.
QStringList ChoosingFile(Program& program, const char* action, QFileDialog::AcceptMode mode,
                         const std::filesystem::path& file, std::deque<bool> answers = {})
{
    Boxes boxes{{}, std::move(answers)};
    {
        ModalWatcher watcher([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                Answer(modal, boxes);
                return;
            }
            EXPECT_EQ(dialog->acceptMode(), mode) << action;
            dialog->selectFile(QString::fromStdString(file.native()));
            static_cast<QDialog*>(dialog)->accept();
        });
        program.Trigger(action);
    }
    EXPECT_TRUE(boxes.answers.empty()) << "answers left";
    return boxes.texts;
}

class CommandsWindowTest : public WindowTest {
protected:
    PreviewWindow* Preview() { return program.Windows().previewWindow.get(); }
    QString Previewed() { return Preview()->View()->text(); }
    QListWidget* Files() { return program.Find<QListWidget>(kAttachmentList); }
    QStringList ListedNames() { return Rows(Files()->model()); }
};

// What acts at start: every command but the empty signatures; the edit
// commands follow the focus; the open command follows the type. Then the
// body's file commands, the password prompt, the diet dialog, the files
// dropped on the attachment list, each opener and the exit button.
TEST_F(CommandsWindowTest, CommandsDialogsAndAttachmentsInOneStart)
{
    program.Start();
    for (const char* name : {kSend, kOpenBody, kSaveBody, kOpenAttachment, kExit, kClear, kSignatureAuto, kInsertDate,
                             kInsertTel, kPreview, kDiet, kHistory, kSettings, kAbout, kSendButton, kClearButton,
                             kSettingsButton, kHistoryButton, kPreviewButton, kExitButton}) {
        EXPECT_TRUE(program.Find<QAction>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(program.Find<QAction>(kSignatureAItem)->isEnabled() || program.Find<QAction>(kSignatureBItem)->isEnabled());

    // The focus, then whether the edit commands and the quoted paste act.
    const std::tuple<const char*, bool, bool> focusRows[] = {
        {kBody, true, true},           {kAddress, true, false}, {kTypeBox, false, false},
        {kBookList, false, false}, {kBody, true, true},
    };
    for (const auto& [name, edits, quoted] : focusRows) {
        program.Find<QWidget>(name)->setFocus();
        for (const char* item : {kUndo, kCut, kCopy, kPaste, kSelectAll}) {
            EXPECT_EQ(program.Find<QAction>(item)->isEnabled(), edits) << name << " " << item;
        }
        EXPECT_EQ(program.Find<QAction>(kQuotedPaste)->isEnabled(), quoted) << name;
    }
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

    // Three lines, one of them empty, with Ctrl+Q; undone in one step.
    Commit(program.Body(), QStringLiteral("x"));
    QApplication::clipboard()->setText(QStringLiteral("a\r\n\r\nb"));
    QTest::keyClick(program.Body(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("x> a\n> \n> b\n"));
    program.Trigger(kUndo);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("x"));
    // An image is no text: nothing happens.
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    program.Trigger(kQuotedPaste);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("x"));
    // Select all and cut act on the focused box only.
    program.Find<QLineEdit>(kAddress)->setFocus();
    Commit(program.Find<QLineEdit>(kAddress), QStringLiteral("addr"));
    program.Trigger(kSelectAll);
    program.Trigger(kCut);
    EXPECT_TRUE(program.Find<QLineEdit>(kAddress)->text().isEmpty());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("addr"));
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("x"));

    // A UTF-8 body file is read on Yes; what was typed comes back in one
    // step (the answer No is the engine's: unit/text_commands_test).
    program.Body()->clear();
    const std::filesystem::path file = program.File("utf8.txt", "こんにちは😀\n");
    Commit(program.Body(), QStringLiteral("typed"));
    const QString asked = ChoosingFile(program, kOpenBody, QFileDialog::AcceptOpen, file, {true}).join(u'|');
    EXPECT_TRUE(asked.contains(QStringLiteral("UTF-8")) && asked.contains(QStringLiteral("U+1F600"))) << asked.toStdString();
    EXPECT_EQ(program.Body()->toPlainText(), QString::fromUtf8("こんにちは😀"));
    EXPECT_TRUE(program.Status().contains(QStringLiteral("U+1F600"))) << program.Status().toStdString();
    program.Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program.Main()));
    program.Body()->setFocus();
    program.Trigger(kUndo);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("typed"));
    // Saving writes the body as the file dialog names it.
    EXPECT_EQ(ChoosingFile(program, kSaveBody, QFileDialog::AcceptSave, program.Dir() / "saved.txt"), QStringList());
    EXPECT_EQ(ReadSjisFile(program.Dir() / "saved.txt"), "typed\r\n");

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

    // Dropped files are checked, one message each; the list can be cleared.
    {
        const std::filesystem::path a = program.File("a.txt", "aaaa");
        const std::filesystem::path c = program.File("c.txt", "cc");
        std::filesystem::create_directory(program.Dir() / "folder");
        const int empty = program.Count().toInt();

        const QString refused = QString::fromUtf8("重複しているか、ファイルが存在しません。");
        // One message for the missing one, one for the same file again, one for a folder.
        const std::pair<std::vector<std::filesystem::path>, QStringList> drops[] = {
            {{a, program.Dir() / "missing.txt", c}, {"a.txt", "c.txt"}},
            {{a}, {"a.txt", "c.txt"}},
            {{program.Dir() / "folder"}, {"a.txt", "c.txt"}},
        };
        for (const auto& [paths, listed] : drops) {
            EXPECT_EQ(Answering([&] { DropFiles(program, paths); }), QStringList{refused});
            EXPECT_EQ(program.Status(), QString::fromUtf8("添付ファイル選択エラー"));
            EXPECT_EQ(ListedNames(), listed);
        }
        EXPECT_EQ(Files()->item(0)->toolTip(), QString::fromStdString(a.native()));
        EXPECT_GT(program.Count().toInt(), empty);

        // The dialog adds without the duplicate check.
        EXPECT_EQ(ChoosingFile(program, kOpenAttachment, QFileDialog::AcceptOpen, a), QStringList());
        EXPECT_EQ(ListedNames(), (QStringList{"a.txt", "c.txt", "a.txt"}));

        Files()->setCurrentRow(1);
        program.Find<QAction>(kAttachmentDelete)->trigger();
        EXPECT_EQ(ListedNames(), (QStringList{"a.txt", "a.txt"}));

        auto* clear = program.Find<QPushButton>(kAttachmentClear);
        (void)Answering([clear] { clear->click(); }, {false});
        EXPECT_EQ(ListedNames().size(), 2);
        (void)Answering([clear] { clear->click(); }, {true});
        EXPECT_TRUE(ListedNames().isEmpty());
        EXPECT_EQ(program.Count().toInt(), empty);
    }

    program.Find<QComboBox>(kTypeBox)->setCurrentIndex(3);
    EXPECT_FALSE(program.Find<QAction>(kOpenAttachment)->isEnabled());

    // Each opener opens its own window (the menu items of the settings, the
    // history and the diet are walked elsewhere); the exit button closes.
    ProgramWindows& w = program.Windows();
    const std::pair<const char*, QDialog*> openers[] = {
        {kSettingsButton, w.settingsDialog.get()}, {kHistoryButton, w.historyViewer.get()}, {kAbout, w.aboutBox.get()}};
    for (const auto& [name, window] : openers) {
        InDialog(window, [&] { program.Trigger(name); }, [] {});
    }
    program.Trigger(kExitButton);
    EXPECT_FALSE(program.Main().isVisible());
}

// The clear answered No changes nothing and Yes leaves the signature; the
// inserts go in at the caret over the selection; vertical writing on the K
// tool bar.
TEST_F(CommandsWindowTest, ClearInsertsAndVerticalWriting)
{
    program.WriteIni("[Configuration]\nDefaultType=3\n22=1\nSignatureA=Taro\n[Developer]\nklab=1\n"
                     "[MyAddress]\nHow=2\n0=first@example.jp\n1=second@example.jp\n[TEL]\nHow=1\n0=太郎,taro@example.jp,,6,-1\n");
    WriteSjisFile(program.Dir() / "Signature.txt", "署名\n");
    program.Start();
    const QString signature = program.Body()->toPlainText();
    ASSERT_EQ(signature, QString::fromUtf8("署名"));
    program.Find<QComboBox>(kTypeBox)->setCurrentIndex(0);
    Commit(program.Find<QLineEdit>(kAddress), QStringLiteral("to@example.jp"));
    Commit(program.Find<QLineEdit>(kSubject), QStringLiteral("subject"));
    Commit(program.Body(), QStringLiteral(" and more"));
    program.Find<QListWidget>(kBookList)->item(0)->setCheckState(Qt::Checked);
    program.Find<QCheckBox>(kFromCheck)->click();
    program.Find<QComboBox>(kSenderBox)->setCurrentIndex(1);
    DropFiles(program, {program.File("a.txt", "abc")});
    const QString typed = program.Body()->toPlainText();

    EXPECT_EQ(Answering([&] { program.Trigger(kClearButton); }, {false}), QStringList{QString::fromUtf8("クリアしますか？")});
    EXPECT_EQ(program.Body()->toPlainText(), typed);
    EXPECT_EQ(ListedNames(), QStringList{QStringLiteral("a.txt")});

    (void)Answering([&] { program.Trigger(kClear); }, {true});
    EXPECT_EQ(program.Body()->toPlainText(), signature);
    for (const char* box : {kAddress, kSubject, kSubjectBarBox}) {
        EXPECT_TRUE(program.Find<QLineEdit>(box)->text().isEmpty()) << box;
    }
    EXPECT_TRUE(ListedNames().isEmpty());
    EXPECT_EQ(program.Find<QListWidget>(kBookList)->item(0)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(program.Find<QCheckBox>(kFromCheck)->isChecked());
    EXPECT_EQ(program.Find<QComboBox>(kSenderBox)->currentIndex(), 0);
    // The type box shows the default type (that the type waits for the next
    // change is the engine's: unit/text_commands_test).
    EXPECT_EQ(program.Find<QComboBox>(kTypeBox)->currentIndex(), 3);
    EXPECT_EQ(program.Status(), QString());

    program.Body()->clear();
    SetClockForTesting([] { return LocalTime{2026, 6, 5, 0, 0, 0}; });
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    Commit(program.Body(), QStringLiteral("ac"));
    QTextCursor caret = program.Body()->textCursor();
    caret.setPosition(1);
    program.Body()->setTextCursor(caret);
    program.Trigger(kInsertDate);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("a2026/06/05c"));
    SetClockForTesting(nullptr);
    QLocale::setDefault(QLocale::system());

    caret.setPosition(1);
    caret.setPosition(5, QTextCursor::KeepAnchor); // "2026"
    program.Body()->setTextCursor(caret);
    program.Trigger(kSignatureAItem);
    EXPECT_EQ(program.Body()->toPlainText(), QStringLiteral("aTaro/06/05c"));

    // The link box offers 090; OK takes it as it stands.
    QString caption;
    ModalWatcher accept([&](QWidget* modal) {
        auto* prompt = qobject_cast<LinePrompt*>(modal);
        ASSERT_NE(prompt, nullptr);
        caption = prompt->windowTitle() + " " + prompt->Edit()->text();
        prompt->accept();
    });
    program.Body()->moveCursor(QTextCursor::End);
    program.Trigger(kInsertTel);
    EXPECT_EQ(caption, QString::fromUtf8("電話番号リンク 090"));
    program.Find<QListWidget>(kBookList)->setCurrentRow(0);
    program.Trigger(kInsertEntry);
    EXPECT_EQ(program.Body()->toPlainText(), QString::fromUtf8("aTaro/06/05ctel:090taro@example.jp <太郎>"));

    program.Body()->clear();
    EXPECT_FALSE(program.Find<QWidget>(kKlabBar)->isHidden());
    Commit(program.Body(), QString::fromUtf8("ab\n字"));
    program.Trigger(kVerticalWriting);
    EXPECT_EQ(program.Body()->toPlainText(), QString::fromUtf8("a\nb\n\n字"));
}

// ------------------------------------------------------------ the history window

// Chooses an item as a click on it would.
void Choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// The history window's list, filter and deletes; then the preview window
// following the body, its column count setting its width, and where it
// stood kept over a restart.
TEST_F(CommandsWindowTest, HistoryFilterKeepsNumbersDeleteAndClearAskFirstAndThePreviewFollowsTheBody)
{
    const fs::path mail = program.Dir() / "mail";
    fs::create_directory(mail);
    WriteSjisFile(mail / "2026010100000000.eml", "To: a@x.jp\nSubject: 一通目\n\n本文\n");
    // A byte that is no Shift_JIS: shown as U+FFFD and named under the text.
    std::ofstream(mail / "2026010100000100.eml", std::ios::binary) << "To: b@x.jp\r\nSubject: " << Sj("二通目")
                                                                  << "\r\n\r\nx\x85\x40y\r\n";
    WriteSjisFile(mail / "2026010100000200.eml", "To: a@x.jp\nSubject: 三通目\n\n");
    WriteSjisFile(mail / "notes.txt", "not a record\n");
    program.WriteIni("[Configuration]\nFontSize=14\n");
    program.Start();

    Boxes boxes;
    boxes.answers = {false, true, true};
    HistoryViewer& viewer = *program.Windows().historyViewer;
    InDialog(
        &viewer, [this] { program.Trigger(kHistory); },
        [&] {
            auto* list = Child<QListWidget>(&viewer, kHistoryList);
            auto* label = Child<QLabel>(&viewer, kHistoryPosition);
            auto* text = Child<QPlainTextEdit>(&viewer, kHistoryText);
            auto* filter = Child<QComboBox>(&viewer, kHistoryFilter);
            auto* note = Child<QLabel>(&viewer, kHistoryDecodeNote);
            EXPECT_EQ(Rows(list->model()), QStringList({"1:To: a@x.jp", "2:To: b@x.jp", "3:To: a@x.jp"}));
            EXPECT_EQ(list->currentRow(), 2) << "the newest shown";
            EXPECT_EQ(label->text(), QString::fromUtf8("表示メール：3/3"));
            EXPECT_TRUE(text->toPlainText().contains(QString::fromUtf8("三通目")));
            EXPECT_EQ(text->font().pointSize(), 14);
            EXPECT_EQ(Rows(filter->model()),
                      QStringList({QString::fromUtf8("[すべての宛先]"), "To: a@x.jp", "To: b@x.jp"}));
            // The focus starts on the list, where Enter deletes nothing.
            EXPECT_EQ(viewer.focusWidget(), list);
            QTest::keyClick(list, Qt::Key_Return);
            EXPECT_TRUE(boxes.texts.isEmpty());
            EXPECT_TRUE(viewer.isVisible());

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
            auto* deleteOne = Child<QPushButton>(&viewer, kHistoryDeleteOne);
            deleteOne->click();
            EXPECT_TRUE(fs::exists(mail / "2026010100000100.eml"));
            deleteOne->click();
            EXPECT_FALSE(fs::exists(mail / "2026010100000100.eml"));
            EXPECT_EQ(filter->currentIndex(), 0);
            EXPECT_EQ(Rows(list->model()), QStringList({"1:To: a@x.jp", "2:To: a@x.jp"}));
            EXPECT_EQ(label->text(), QString::fromUtf8("表示メール：2/2"));

            Child<QPushButton>(&viewer, kHistoryClear)->click();
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

    QAction* item = program.Find<QAction>(kPreview);
    QAction* button = program.Find<QAction>(kPreviewButton);
    const auto marks = [&] { return std::make_pair(item->isChecked(), button->isChecked()); };
    EXPECT_TRUE(item->isCheckable() && button->isCheckable());
    const auto repeat = [](int n) { return QString::fromUtf8("字").repeated(n); };
    Commit(program.Body(), "a" + repeat(12));

    button->trigger();
    ASSERT_TRUE(Preview()->isVisible());
    EXPECT_EQ(marks(), std::make_pair(true, true));
    EXPECT_EQ(Previewed(), "a" + repeat(9) + "\n" + repeat(3) + "\n");
    // Every recount refreshes while "自動更新" is ticked, with the text as sent.
    Commit(program.Body(), QString::fromUtf8("ｶﾞ"));
    EXPECT_EQ(Previewed(), "a" + repeat(9) + "\n" + repeat(3) + QString::fromUtf8("ガ\n"));
    auto* automatic = Preview()->findChild<QCheckBox*>(kPreviewAutoUpdate);
    automatic->click();
    program.Body()->clear();
    EXPECT_TRUE(Previewed().startsWith(QStringLiteral("a")));
    automatic->click();
    EXPECT_EQ(Previewed(), QString());

    // From 10 columns to 6: the view narrows by four full-width characters,
    // the window with it, and the rows are 12 bytes.
    program.Body()->setPlainText(repeat(7));
    auto* columns = Preview()->findChild<QSpinBox*>(kPreviewColumns);
    EXPECT_EQ(columns->value(), 10);
    EXPECT_EQ(std::make_pair(columns->minimum(), columns->maximum()), std::make_pair(6, 20));
    const int view = Preview()->ViewBox()->width();
    const int window = Preview()->width();
    columns->setValue(6);
    const int fourColumns = QFontMetrics(Preview()->View()->font()).horizontalAdvance(QString(8, QLatin1Char(' ')));
    EXPECT_EQ(Preview()->ViewBox()->width(), view - fourColumns);
    EXPECT_EQ(Preview()->width(), window - fourColumns);
    EXPECT_EQ(Previewed(), repeat(6) + "\n" + repeat(1) + "\n");

    // The menu item hides it and releases both marks; where it stood and its
    // column count come back at the next start.
    Preview()->move(37, 41);
    item->trigger();
    EXPECT_FALSE(Preview()->isVisible());
    EXPECT_EQ(marks(), std::make_pair(false, false));
    program.Restart();
    EXPECT_EQ(Preview()->findChild<QSpinBox*>(kPreviewColumns)->value(), 6);
    EXPECT_EQ(Preview()->pos(), QPoint(37, 41));
    EXPECT_FALSE(Preview()->isVisible());
}

} // namespace
} // namespace kitemail::test
