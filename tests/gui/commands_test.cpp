// The main window's commands as the user reaches them: menu items, tool
// buttons, shortcuts, files dropped on the attachment list, the one-line
// prompts. What the commands do is the engine's (unit/text_commands_test);
// this is the wiring.

#include "gui_support.h"

#include "platform/clock.h"
#include "ui/line_prompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kitemail::test {
namespace {

// Chooses a file in a file dialog, as a double click on it would.
void Choose(QFileDialog* dialog, const std::filesystem::path& file)
{
    dialog->selectFile(QString::fromStdString(file.native()));
    static_cast<QDialog*>(dialog)->accept();
}

class CommandsWindowTest : public ::testing::Test {
protected:
    Program program;

    QPlainTextEdit* Body() { return program.Find<QPlainTextEdit>("Memo1"); }
    QListWidget* Files() { return program.Find<QListWidget>("FIListBox1"); }
    QString Count() { return program.Find<QLabel>("CountOfChr")->text(); }
    void Trigger(const char* action) { program.Find<QAction>(action)->trigger(); }

    // Triggers the action with every box answered from boxes.
    void Answering(Boxes& boxes, const char* action)
    {
        ModalWatcher watcher([&](QWidget* modal) { Answer(modal, boxes); });
        Trigger(action);
    }

    QStringList ListedNames() { return Rows(Files()->model()); }

    void Drop(const std::vector<std::filesystem::path>& paths) { DropFiles(program, paths); }

    std::filesystem::path File(const char* name, const std::string& bytes)
    {
        const std::filesystem::path path = program.Dir() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

// Every menu item and tool button, its caption, and whether it acts at start
// (with the signatures empty; the history viewer has not come yet; -1: it
// follows the focus).
TEST_F(CommandsWindowTest, MenuCaptionsAndWhatActsAtStart)
{
    program.Start();
    const std::tuple<const char*, const char*, int> rows[] = {
        {"Send1", "メッセージを送信(&G)", true},
        {"Undo1", "元に戻す(&U)", -1},
        {"Cut1", "切り取り(&T)", -1},
        {"Copy1", "コピー(&C)", -1},
        {"Paste1", "貼り付け(&P)", -1},
        {"SelectAll1", "すべて選択(&L)", -1},
        {"OpenBody", "本文を開く(&O)...", true},
        {"SaveBody", "本文を保存(&S)...", true},
        {"OpenAttachment", "添付ファイルを開く(&A)...", true},
        {"Exit1", "終了(&X)", true},
        {"QuotedPaste1", "引用符つき貼り付け(&Q)", -1},
        {"Clear1", "クリア(&E)", true},
        {"SignatureA", "TypeA(&A) : 設定されていません。", false},
        {"SignatureB", "TypeB(&B) : 設定されていません。", false},
        {"SignatureAuto", "自動挿入用(&C)", true},
        {"InsertDate", "日時(&D)", true},
        {"InsertTel", "電話番号リンク(&T)...", true},
        {"Preview1", "プレビュー(&P)...", true},
        {"Diet1", "ダイエット(&D)...", true},
        {"History1", "送信履歴(&L)", true},
        {"Settings1", "設定(&S)...", true},
        {"About1", "バージョン情報(&A)...", true},
        {"SendButton", "送信", true},
        {"ClearButton", "クリア", true},
        {"SettingsButton", "設定", true},
        {"HistoryButton", "履歴", true},
        {"PreviewButton", "プレビュー", true},
        {"ExitButton", "終了", true},
    };
    for (const auto& [name, caption, acts] : rows) {
        const QAction* action = program.Find<QAction>(name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromUtf8(caption)) << name;
        if (acts >= 0) {
            EXPECT_EQ(action->isEnabled(), acts == 1) << name;
        }
    }
    // The open command follows the type's attachments.
    program.Find<QComboBox>("ComboBox1")->setCurrentIndex(3);
    EXPECT_FALSE(program.Find<QAction>("OpenAttachment")->isEnabled());
}

TEST_F(CommandsWindowTest, ClearAnsweredNoChangesNothingAndYesLeavesTheSignature)
{
    program.WriteIni("[Configuration]\nDefaultType=3\n22=1\n"
                     "[MyAddress]\nHow=2\n0=first@example.jp\n1=second@example.jp\n[TEL]\nHow=1\n0=A,a@x,,6,-1\n");
    WriteSjisFile(program.Dir() / "Signature.txt", "署名\n");
    program.Start();
    const QString signature = Body()->toPlainText();
    ASSERT_EQ(signature, QString::fromUtf8("署名"));
    program.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
    Commit(program.Find<QLineEdit>("Edit1"), QStringLiteral("to@example.jp"));
    Commit(program.Find<QLineEdit>("Edit2"), QStringLiteral("subject"));
    Commit(Body(), QStringLiteral(" and more"));
    program.Find<QListWidget>("CheckListBox1")->item(0)->setCheckState(Qt::Checked);
    program.Find<QCheckBox>("FromChk")->click();
    program.Find<QComboBox>("ComboBox2")->setCurrentIndex(1);
    Drop({File("a.txt", "abc")});
    const QString typed = Body()->toPlainText();

    Boxes no{{}, {false}};
    Answering(no, "ClearButton");
    EXPECT_EQ(no.texts, QStringList{QString::fromUtf8("クリアしますか？")});
    EXPECT_EQ(Body()->toPlainText(), typed);
    EXPECT_EQ(ListedNames(), QStringList{QStringLiteral("a.txt")});

    Boxes yes{{}, {true}};
    Answering(yes, "Clear1");
    EXPECT_EQ(Body()->toPlainText(), signature);
    for (const char* box : {"Edit1", "Edit2", "Edit4"}) {
        EXPECT_TRUE(program.Find<QLineEdit>(box)->text().isEmpty()) << box;
    }
    EXPECT_TRUE(ListedNames().isEmpty());
    EXPECT_EQ(program.Find<QListWidget>("CheckListBox1")->item(0)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(program.Find<QCheckBox>("FromChk")->isChecked());
    EXPECT_EQ(program.Find<QComboBox>("ComboBox2")->currentIndex(), 0);
    // The type box shows the default type (that the type waits for the next
    // change is the engine's: unit/text_commands_test).
    EXPECT_EQ(program.Find<QComboBox>("ComboBox1")->currentIndex(), 3);
    EXPECT_EQ(program.Status(), QString());
}

TEST_F(CommandsWindowTest, EditMenuFollowsTheFocusAndQuotedPasteTakesOnlyText)
{
    program.Start();
    // The focus, then whether the edit commands and the quoted paste act.
    const std::tuple<const char*, bool, bool> rows[] = {
        {"Memo1", true, true},           {"Edit1", true, false}, {"ComboBox1", false, false},
        {"CheckListBox1", false, false}, {"Memo1", true, true},
    };
    for (const auto& [name, edits, quoted] : rows) {
        program.Find<QWidget>(name)->setFocus();
        for (const char* item : {"Undo1", "Cut1", "Copy1", "Paste1", "SelectAll1"}) {
            EXPECT_EQ(program.Find<QAction>(item)->isEnabled(), edits) << name << " " << item;
        }
        EXPECT_EQ(program.Find<QAction>("QuotedPaste1")->isEnabled(), quoted) << name;
    }

    // Three lines, one of them empty, with Ctrl+Q; undone in one step.
    Commit(Body(), QStringLiteral("x"));
    QApplication::clipboard()->setText(QStringLiteral("a\r\n\r\nb"));
    QTest::keyClick(Body(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("x> a\n> \n> b\n"));
    Trigger("Undo1");
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("x"));
    // An image is no text: nothing happens.
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    Trigger("QuotedPaste1");
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("x"));
    // Select all and cut act on the focused box only.
    program.Find<QLineEdit>("Edit1")->setFocus();
    Commit(program.Find<QLineEdit>("Edit1"), QStringLiteral("addr"));
    Trigger("SelectAll1");
    Trigger("Cut1");
    EXPECT_TRUE(program.Find<QLineEdit>("Edit1")->text().isEmpty());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("addr"));
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("x"));
}

TEST_F(CommandsWindowTest, InsertsGoInAtTheCaretReplacingTheSelection)
{
    program.WriteIni("[Configuration]\nSignatureA=Taro\n[TEL]\nHow=1\n0=" + std::string("太郎,taro@example.jp,,3,-1\n"));
    program.Start();
    SetClockForTesting([] { return LocalTime{2026, 6, 5, 0, 0, 0}; });
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    Commit(Body(), QStringLiteral("ac"));
    QTextCursor caret = Body()->textCursor();
    caret.setPosition(1);
    Body()->setTextCursor(caret);
    Trigger("InsertDate");
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("a2026/06/05c"));
    SetClockForTesting(nullptr);
    QLocale::setDefault(QLocale::system());

    caret.setPosition(1);
    caret.setPosition(5, QTextCursor::KeepAnchor); // "2026"
    Body()->setTextCursor(caret);
    Trigger("SignatureA");
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("aTaro/06/05c"));

    // The link box offers 090; OK takes it as it stands.
    QString caption;
    ModalWatcher accept([&](QWidget* modal) {
        auto* prompt = qobject_cast<LinePrompt*>(modal);
        ASSERT_NE(prompt, nullptr);
        caption = prompt->windowTitle() + " " + prompt->Edit()->text();
        prompt->accept();
    });
    Body()->moveCursor(QTextCursor::End);
    Trigger("InsertTel");
    EXPECT_EQ(caption, QString::fromUtf8("電話番号リンク 090"));
    program.Find<QListWidget>("CheckListBox1")->setCurrentRow(0);
    Trigger("InsertEntry");
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("aTaro/06/05ctel:090taro@example.jp <太郎>"));
}

TEST_F(CommandsWindowTest, DroppedFilesAreCheckedOneMessageEachAndTheListCanBeCleared)
{
    program.Start();
    const std::filesystem::path a = File("a.txt", "aaaa");
    const std::filesystem::path c = File("c.txt", "cc");
    std::filesystem::create_directory(program.Dir() / "folder");
    const int empty = Count().toInt();

    const QString refused = QString::fromUtf8("重複しているか、ファイルが存在しません。");
    // One message for the missing one, one for the same file again, one for a folder.
    const std::pair<std::vector<std::filesystem::path>, QStringList> drops[] = {
        {{a, program.Dir() / "missing.txt", c}, {"a.txt", "c.txt"}},
        {{a}, {"a.txt", "c.txt"}},
        {{program.Dir() / "folder"}, {"a.txt", "c.txt"}},
    };
    for (const auto& [paths, listed] : drops) {
        Boxes boxes;
        {
            ModalWatcher watcher([&](QWidget* modal) { Answer(modal, boxes); });
            Drop(paths);
        }
        EXPECT_EQ(boxes.texts, QStringList{refused});
        EXPECT_EQ(program.Status(), QString::fromUtf8("添付ファイル選択エラー"));
        EXPECT_EQ(ListedNames(), listed);
    }
    EXPECT_EQ(Files()->item(0)->toolTip(), QString::fromStdString(a.native()));
    EXPECT_GT(Count().toInt(), empty);

    // The dialog adds without the duplicate check.
    {
        ModalWatcher choose([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            Choose(dialog, a);
        });
        Trigger("OpenAttachment");
    }
    EXPECT_EQ(ListedNames(), (QStringList{"a.txt", "c.txt", "a.txt"}));

    Files()->setCurrentRow(1);
    program.Find<QAction>("AttachmentDelete")->trigger();
    EXPECT_EQ(ListedNames(), (QStringList{"a.txt", "a.txt"}));

    Boxes answers{{}, {false, true}};
    ModalWatcher watcher([&](QWidget* modal) { Answer(modal, answers); });
    program.Find<QPushButton>("AttachmentClear")->click();
    EXPECT_EQ(ListedNames().size(), 2);
    program.Find<QPushButton>("AttachmentClear")->click();
    EXPECT_TRUE(ListedNames().isEmpty());
    EXPECT_EQ(Count().toInt(), empty);
}

// The answer No is the engine's (unit/text_commands_test).
TEST_F(CommandsWindowTest, AUtf8BodyFileIsReadOnYesAndWhatWasTypedComesBackInOneStep)
{
    program.Start();
    const std::filesystem::path file = File("utf8.txt", "こんにちは😀\n");
    Commit(Body(), QStringLiteral("typed"));
    Boxes boxes{{}, {true}};
    {
        ModalWatcher watcher([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                Choose(dialog, file);
            } else {
                Answer(modal, boxes);
            }
        });
        Trigger("OpenBody");
    }
    const QString question = boxes.texts.join(QLatin1Char('|'));
    EXPECT_TRUE(question.contains(QStringLiteral("UTF-8")) && question.contains(QStringLiteral("U+1F600")))
        << question.toStdString();
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("こんにちは😀"));
    EXPECT_TRUE(program.Status().contains(QStringLiteral("U+1F600"))) << program.Status().toStdString();
    program.Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program.Main()));
    Body()->setFocus();
    Trigger("Undo1");
    EXPECT_EQ(Body()->toPlainText(), QStringLiteral("typed"));
}

TEST_F(CommandsWindowTest, PasswordPromptKeepsItsBoxOpenForACharacterShiftJisCannotHold)
{
    program.Start();
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

} // namespace
} // namespace kitemail::test
