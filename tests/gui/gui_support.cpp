#include "gui_support.h"

#include "platform/text_codec.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kitemail::test {

void WriteSjisFile(const std::filesystem::path& path, const std::string& utf8)
{
    std::string crlf;
    for (const char c : utf8) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    const SjisEncoding sjis = Utf8ToSjis(crlf);
    ASSERT_TRUE(sjis.ok());
    std::ofstream(path, std::ios::binary) << sjis.bytes;
}

std::string ReadSjisFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return SjisToUtf8(bytes);
}

void Commit(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

void TypeKey(QWidget* widget, const QString& text)
{
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text, Qt::NoModifier);
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> act) : act_(std::move(act))
{
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == last_ || !modal->isVisible()) {
            return;
        }
        last_ = modal;
        ++seen_;
        act_(modal);
        last_ = nullptr;
    });
    timer_.start();
}

ModalWatcher::~ModalWatcher() = default;

Program::Program()
{
    EXPECT_TRUE(dir_.isValid());
}

Program::~Program()
{
    windows_.reset();
}

std::filesystem::path Program::Dir() const
{
    return std::filesystem::path(dir_.path().toStdString());
}

void Program::Start(const QString& firstArgument)
{
    windows_ = CreateProgramWindows(Dir(), firstArgument);
    windows_->mainWindow->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(windows_->mainWindow.get()));
}

bool Program::Close()
{
    return windows_->mainWindow->close();
}

void Program::Restart()
{
    EXPECT_TRUE(Close());
    windows_.reset();
    Start();
}

MainWindow& Program::Main()
{
    return *windows_->mainWindow;
}

} // namespace kitemail::test
