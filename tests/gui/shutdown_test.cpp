// One window per data folder, and the close that a signal asks for: in
// this process where the window's state must be looked at, and on the
// built program as a logout meets it.

#include "gui_support.h"

#include "process_runner.h"
#include "scripted_peer.h"
#include "ui/signal_close.h"
#include "ui/single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kitemail::test {
namespace {

using Claim = SingleInstance::Claim;

// A later start, run on a thread of its own: its waits block, and the
// first instance in this thread must go on answering meanwhile.
Claim StartElsewhere(const std::filesystem::path& dir, std::chrono::milliseconds timeout = kInstanceAnswerTimeout)
{
    Claim claim = Claim::Unavailable;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        SingleInstance later(dir);
        claim = later.Start(timeout);
    }));
    thread->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return thread->isFinished(); }, 15000));
    thread->wait();
    return claim;
}

QString SocketPath(const std::filesystem::path& dir)
{
    const QString name = SingleInstance::ServerName(dir);
    return QDir::isAbsolutePath(name) ? name : QDir::temp().filePath(name);
}

// What a crash leaves: the socket's file with nobody listening on it.
void LeaveStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(), std::min<std::size_t>(bytes.size(), sizeof address.sun_path - 1));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << bytes.constData();
    ::close(fd);
}

TEST(SingleInstanceTest, ALaterStartOnTheFolderBringsTheFirstWindowForward)
{
    const QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    SingleInstance first(path);
    ASSERT_EQ(first.Start(), Claim::First);
    QWidget window;
    window.showMinimized();
    int asked = 0;
    QObject::connect(&first, &SingleInstance::showRequested, [&] {
        ++asked;
        BringToFront(&window);
    });

    // Another spelling of the same folder is the same folder.
    EXPECT_EQ(StartElsewhere(path / "." / ".." / path.filename()), Claim::Forwarded);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(window.isVisible());

    // Another folder has a window of its own.
    const QTemporaryDir other;
    EXPECT_EQ(StartElsewhere(other.path().toStdString()), Claim::First);
    EXPECT_EQ(asked, 1);
}

TEST(SingleInstanceTest, AStaleNameIsTakenOverAndASilentOwnerIsNotWaitedForLong)
{
    const QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    LeaveStaleSocket(SocketPath(path));
    {
        SingleInstance first(path);
        EXPECT_EQ(first.Start(), Claim::First);
    }
    // Taking the call and never answering: the later start gives up in time.
    QLocalServer silent;
    QLocalServer::removeServer(SocketPath(path));
    ASSERT_TRUE(silent.listen(SocketPath(path)));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(StartElsewhere(path, std::chrono::milliseconds(300)), Claim::NoAnswer);
    EXPECT_LT(clock.elapsed(), 3000);
}

void StartWatched(Program& program, SignalClose& signalClose)
{
    program.Start();
    signalClose.SetWindow(&program.Main());
}

// A signal while the window is busy: the close still comes, by the close
// box's road, within the limit, and the layout is saved.
TEST(SignalCloseTest, ASignalClosesTheWindowOverADialogOrAMailInFlight)
{
    const std::pair<const char*, std::function<void(Program&, SignalClose&)>> rows[] = {
        {"settings dialog open",
         [](Program& program, SignalClose& signalClose) {
             StartWatched(program, signalClose);
             ModalWatcher raiser([](QWidget*) { ::raise(SIGTERM); });
             program.Trigger(kSettings);
             EXPECT_EQ(raiser.Seen(), 1);
         }},
        {"mail in flight",
         [](Program& program, SignalClose& signalClose) {
             // The server takes the message and then says nothing for longer
             // than the send is given before it is aborted.
             ScriptedPeer peer({"S: 220 hi", "C: HELO*", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                                "C: RCPT TO:<you@example.jp>", "S: 250 ok", "C: DATA", "S: 354 go", "DATA",
                                "SLEEP 2500"});
             program.WriteIni(SendingIni(peer.Port()));
             StartWatched(program, signalClose);
             program.FillMail(QStringLiteral("body"));
             QTimer raiser;
             raiser.setInterval(10);
             QObject::connect(&raiser, &QTimer::timeout, [&] {
                 if (!program.Find<QPushButton>(kAbortButton)->isHidden()) {
                     raiser.stop();
                     ::raise(SIGTERM);
                 }
             });
             raiser.start();
             program.Trigger(kSend);
             EXPECT_FALSE(raiser.isActive());
             EXPECT_FALSE(program.Main().Workflow().Busy());
         }},
    };
    for (const auto& [what, busy] : rows) {
        SCOPED_TRACE(what);
        Program program;
        SignalClose signalClose;
        bool gaveUp = false;
        signalClose.SetGiveUp([&] { gaveUp = true; });
        QElapsedTimer clock;
        clock.start();
        busy(program, signalClose);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !program.Main().isVisible(); }, 10000));
        EXPECT_LT(clock.elapsed(), kSignalCloseLimit.count());
        EXPECT_FALSE(gaveUp);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        const std::string ini = ReadSjisFile(program.Ini());
        EXPECT_NE(ini.find("[ToolBar]"), std::string::npos) << ini;
        EXPECT_NE(ini.find("Width="), std::string::npos) << ini;
    }
}

// The built program: a second start on its folder leaves at once, status
// 0, and SIGTERM ends the first with status 0 and its layout saved.
TEST(WindowProcessTest, ASecondStartLeavesAndSigtermSavesTheLayout)
{
    const QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    QProcess first;
    ASSERT_TRUE(StartWindowProgram(first, path));

    ProcessOptions options;
    options.setEnv = {{"QT_QPA_PLATFORM", "offscreen"}};
    options.timeout = std::chrono::milliseconds(20000);
    const ProcessResult second = RunProcess(KITEMAIL_GUI_PATH, {"--data-dir", path.string()}, options);
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(15000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const std::string ini = ReadSjisFile(path / "Kiteml.ini");
    for (const char* key : {"\nWidth=", "\nHeight=", "\nLeft=", "\ntop=", "[ToolBar]", "\nMenuTop="}) {
        EXPECT_NE(ini.find(key), std::string::npos) << key << "\n" << ini;
    }
}

} // namespace
} // namespace kitemail::test
