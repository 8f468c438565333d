#pragma once
// Helpers for the window tests, with the widgets they meet everywhere: a fresh data directory per test, the
// program's windows started in it, typing as an input method delivers
// text, and answering modal boxes from inside their event loop.

#include "file_bytes.h"
#include "platform/text_codec.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/object_names.h"
#include "ui/settings_dialog.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kitemail::test {

// Every window test finds widgets by these names (kitemail's own constants
// of the same name, the standard ports, need the prefix).
using namespace object_names;

// Writes text given in UTF-8 as a Shift_JIS file with CR LF line ends.
void WriteSjisFile(const std::filesystem::path& path, const std::string& utf8);
// Reads a Shift_JIS file back as UTF-8.
[[nodiscard]] std::string ReadSjisFile(const std::filesystem::path& path);

// The text of each row of a list, or of each item of a combo box.
[[nodiscard]] QStringList Rows(const QAbstractItemModel* model);

// Types text into a widget the way an input method commits it.
void Commit(QWidget* widget, const QString& text);
// Typing into a number box and leaving it, as the focus moving on does.
void TypeAndLeave(QSpinBox* box, const QString& text);

// A child of parent by its object name.
template <typename T>
[[nodiscard]] T* Child(const QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Acts on every modal widget that appears while it lives, from inside the
// modal loop, so the test can read and close it.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> act);
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;
    [[nodiscard]] int Seen() const noexcept { return seen_; }

private:
    void Tick();

    std::function<void(QWidget*)> act_;
    // A timer does not fire again while its own slot runs; each tick is a
    // new one, so that a box opened while acting on another is seen too.
    QObject ticks_;
    std::vector<QWidget*> acting_;
    int seen_ = 0;
};

// A temporary data directory and the program's windows started in it.
class Program {
public:
    Program() { EXPECT_TRUE(dir_.isValid()); }

    [[nodiscard]] std::filesystem::path Dir() const { return dir_.path().toStdString(); }
    [[nodiscard]] std::filesystem::path Ini() const { return Dir() / "Kiteml.ini"; }
    void WriteIni(const std::string& utf8) const { WriteSjisFile(Ini(), utf8); }
    // Writes bytes to a file of that name in the directory.
    std::filesystem::path File(const char* name, const std::string& bytes) const;

    // Creates the windows (firstArgument as the command line's first) and
    // shows the main window. A first start opens no dialog unless asked.
    void Start(const QString& firstArgument = {}, FirstStart firstStart = FirstStart::Skip);
    // Closes the main window as the user would; true when it closed.
    bool Close() { return Main().close(); }
    // Close and start again in the same directory.
    void Restart();
    // Ends the windows as a kill does: nothing is closed or saved.
    void Abandon() { windows_.reset(); }

    [[nodiscard]] ProgramWindows& Windows() { return *windows_; }
    [[nodiscard]] MainWindow& Main() { return *windows_->mainWindow; }
    // The status line's text.
    [[nodiscard]] QString Status() { return Find<QLabel>(kStatusLabel)->text(); }
    [[nodiscard]] QPlainTextEdit* Body() { return Find<QPlainTextEdit>(kBody); }
    void Trigger(const char* action) { Find<QAction>(action)->trigger(); }
    // Types text into the main window's widget of that name.
    void Type(const char* name, const QString& text) { Commit(Find<QWidget>(name), text); }
    // Fills in a mail to you@example.jp with the subject "件名" and this body.
    void FillMail(const QString& body);
    // A widget or action of the main window by its object name.
    template <typename T>
    [[nodiscard]] T* Find(const char* name)
    {
        return Child<T>(&Main(), name);
    }
    // A child of the settings dialog by its object name.
    template <typename T>
    [[nodiscard]] T* InDialog(const char* name)
    {
        return Child<T>(Windows().settingsDialog.get(), name);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<ProgramWindows> windows_;
};

// A window test: the program in a fresh data directory.
class WindowTest : public ::testing::Test {
protected:
    Program program;
};

// [Configuration] and [MyAddress] sending from me@example.jp to a loopback
// port, without the box after each send; options add lines to [Configuration].
[[nodiscard]] std::string SendingIni(int port, const std::string& options = {});

// The message boxes met while a settings dialog walk runs: their texts, and
// the answers to give to questions (true for "はい(&Y)"), taken in order.
struct Boxes {
    QStringList texts;
    std::deque<bool> answers;
};

// Logs a message box's text in boxes and closes it, a question with the
// next answer; any other window fails the test.
void Answer(QWidget* modal, Boxes& boxes);

// Runs act with every box on the way logged and answered in order from
// answers; returns the boxes' texts.
QStringList Answering(const std::function<void()>& act, std::deque<bool> answers = {});

// Drops files on the attachment list as the file manager does, the
// "File :" page brought to view first.
void DropFiles(Program& program, const std::vector<std::filesystem::path>& paths);

// Opens dialog by open, runs walk inside it, and closes it by its close box
// unless walk closed it. Message boxes on the way are logged in boxes and
// answered from it.
void InDialog(QDialog* dialog, const std::function<void()>& open, const std::function<void()>& walk,
              Boxes* boxes = nullptr);

// Opens the settings dialog (by "設定(&S)..." unless open is given), runs
// walk inside it, and closes it by its close box unless walk closed it.
// Message boxes on the way are logged in boxes and answered from it.
void InSettingsDialog(Program& program, const std::function<void()>& walk, Boxes* boxes = nullptr,
                      const std::function<void()>& open = {});

// The built window program started on dir under the offscreen platform;
// true once it answers through its single-instance socket (its event loop
// runs: it is up).
[[nodiscard]] bool StartWindowProgram(QProcess& window, const std::filesystem::path& dir);

} // namespace kitemail::test
