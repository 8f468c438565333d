#include "gui_support.h"

#include "ui/single_instance.h"

#include <QDropEvent>
#include <QLocalSocket>
#include <QMimeData>
#include <QUrl>
#include <QInputMethodEvent>

#include <algorithm>
#include <fstream>

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
    return SjisToUtf8(ReadBytes(path));
}

QStringList Rows(const QAbstractItemModel* model)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        rows << model->index(row, 0).data().toString();
    }
    return rows;
}

void Commit(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

void TypeAndLeave(QSpinBox* box, const QString& text)
{
    auto* edit = box->findChild<QLineEdit*>();
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> act) : act_(std::move(act))
{
    Tick();
}

void ModalWatcher::Tick()
{
    QTimer::singleShot(5, &ticks_, [this] {
        Tick();
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || std::ranges::find(acting_, modal) != acting_.end()) {
            return;
        }
        acting_.push_back(modal);
        ++seen_;
        act_(modal);
        acting_.pop_back();
    });
}

void Program::Start(const QString& firstArgument, FirstStart firstStart)
{
    windows_ = CreateProgramWindows(Dir(), firstArgument, firstStart);
    windows_->mainWindow->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(windows_->mainWindow.get()));
}

void Program::Restart()
{
    EXPECT_TRUE(Close());
    windows_.reset();
    Start();
}

std::filesystem::path Program::File(const char* name, const std::string& bytes) const
{
    const std::filesystem::path path = Dir() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void Program::FillMail(const QString& body)
{
    Type(object_names::kAddress, QStringLiteral("you@example.jp"));
    Type(object_names::kSubject, QString::fromUtf8("件名"));
    Type(object_names::kBody, body);
}

std::string SendingIni(int port, const std::string& options)
{
    return "[Configuration]\nServer=127.0.0.1\nPort=" + std::to_string(port) + "\n1=0\n" + options +
           "[MyAddress]\nHow=1\n0=me@example.jp\n";
}

void Answer(QWidget* modal, Boxes& boxes)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
        ADD_FAILURE() << "unexpected window " << modal->objectName().toStdString();
        modal->close();
        return;
    }
    boxes.texts << box->text();
    const bool question = std::ranges::any_of(box->buttons(), [box](QAbstractButton* b) {
        return box->buttonRole(b) == QMessageBox::YesRole;
    });
    if (!question) {
        box->close();
        return;
    }
    EXPECT_FALSE(boxes.answers.empty()) << "unanswered " << box->text().toStdString();
    const bool yes = !boxes.answers.empty() && boxes.answers.front();
    if (!boxes.answers.empty()) {
        boxes.answers.pop_front();
    }
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == (yes ? QMessageBox::YesRole : QMessageBox::NoRole)) {
            button->click();
            return;
        }
    }
}

QStringList Answering(const std::function<void()>& act, std::deque<bool> answers)
{
    Boxes boxes{{}, std::move(answers)};
    {
        ModalWatcher watcher([&boxes](QWidget* modal) { Answer(modal, boxes); });
        act();
    }
    EXPECT_TRUE(boxes.answers.empty()) << "answers left";
    return boxes.texts;
}

void DropFiles(Program& program, const std::vector<std::filesystem::path>& paths)
{
    QList<QUrl> urls;
    for (const std::filesystem::path& p : paths) {
        urls << QUrl::fromLocalFile(QString::fromStdString(p.native()));
    }
    QMimeData data;
    data.setUrls(urls);
    // Only a list in view takes a drop, and only after it took the drag.
    program.Find<QTabWidget>(object_names::kPages)->setCurrentIndex(2);
    QWidget* list = program.Find<QListWidget>(object_names::kAttachmentList)->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list, &drop);
}

void InDialog(QDialog* dialog, const std::function<void()>& open, const std::function<void()>& walk, Boxes* boxes)
{
    bool walked = false;
    ModalWatcher watcher([&](QWidget* modal) {
        if (modal == dialog) {
            walked = true;
            walk();
            if (dialog->isVisible()) {
                dialog->close();
            }
            return;
        }
        if (boxes == nullptr) {
            ADD_FAILURE() << "unexpected box " << modal->objectName().toStdString();
            modal->close();
            return;
        }
        Answer(modal, *boxes);
    });
    open();
    EXPECT_TRUE(walked);
    EXPECT_FALSE(dialog->isVisible());
}

void InSettingsDialog(Program& program, const std::function<void()>& walk, Boxes* boxes,
                      const std::function<void()>& open)
{
    InDialog(
        program.Windows().settingsDialog.get(),
        open ? open : [&program] { program.Find<QAction>(object_names::kSettings)->trigger(); }, walk, boxes);
}

bool StartWindowProgram(QProcess& window, const std::filesystem::path& dir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(environment);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(QStringLiteral(KITEMAIL_GUI_PATH), {QStringLiteral("--data-dir"), QString::fromStdString(dir.string())});
    if (!window.waitForStarted()) {
        return false;
    }
    return QTest::qWaitFor(
        [&] {
            QLocalSocket socket;
            socket.connectToServer(SingleInstance::ServerName(dir));
            if (!socket.waitForConnected(1000)) {
                return false;
            }
            socket.write("show\n");
            return socket.waitForBytesWritten(1000) && socket.waitForReadyRead(5000) && socket.readAll() == "ok\n";
        },
        30000);
}

} // namespace kitemail::test
