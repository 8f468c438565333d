#include "ui/single_instance.h"

#include <QApplication>
#include <QByteArray>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <system_error>

#include <unistd.h>

namespace kitemail {
namespace {

// The whole conversation: one request, one answer.
constexpr char kRequest[] = "show\n";
constexpr char kAnswer[] = "ok\n";
// Anything longer than the request is not one of ours.
constexpr qint64 kMaxRequest = 16;

std::filesystem::path CanonicalFolder(const std::filesystem::path& dataDir)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::weakly_canonical(dataDir, error);
    if (error) {
        path = std::filesystem::absolute(dataDir, error);
    }
    return error ? dataDir : path;
}

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& dataDir, QObject* parent)
    : QObject(parent), name_(ServerName(dataDir))
{
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Serve);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::ServerName(const std::filesystem::path& dataDir)
{
    // The path's own bytes: a name that is not UTF-8 must not meet another.
    const QByteArray folder = QByteArray::fromStdString(CanonicalFolder(dataDir).string());
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(24);
    const QString name = QStringLiteral("kitemail-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
    // The runtime folder is the user's own (0700): no other user can put a
    // socket of that name in our way. Without one, Qt's temporary folder.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

SingleInstance::Claim SingleInstance::Start(std::chrono::milliseconds answerTimeout)
{
    const QDeadlineTimer deadline(answerTimeout);
    // Two starts at once must not both take over the name: one at a time
    // from the look to the listen. A lock left by a dead process is stale.
    const QString lockName = name_ + QStringLiteral(".lock");
    QLockFile lock(QDir::isAbsolutePath(lockName) ? lockName : QDir::temp().filePath(lockName));
    if (!lock.tryLock(answerTimeout)) {
        return Claim::NoAnswer;
    }
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        socket.write(kRequest);
        QByteArray answer;
        while (answer.size() < qsizetype(sizeof kAnswer - 1) && socket.state() == QLocalSocket::ConnectedState &&
               !deadline.hasExpired()) {
            if (socket.bytesToWrite() > 0) {
                socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
            } else if (socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                answer += socket.read(kMaxRequest);
            }
        }
        answer += socket.read(kMaxRequest);
        return answer.startsWith(kAnswer) ? Claim::Forwarded : Claim::NoAnswer;
    }
    if (socket.error() == QLocalSocket::SocketTimeoutError) {
        return Claim::NoAnswer; // someone listens but takes no calls: not ours to take over
    }
    // Nobody listens: a name left by a crash is in the way of the listen.
    QLocalServer::removeServer(name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(name_) ? Claim::First : Claim::Unavailable;
}

void SingleInstance::Serve()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that never finishes its request is dropped.
        QTimer::singleShot(kInstanceAnswerTimeout, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequest) {
                    socket->abort();
                }
                return;
            }
            const QByteArray line = socket->readLine(kMaxRequest);
            if (line == kRequest) {
                socket->write(kAnswer);
                socket->flush();
                emit showRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

void BringToFront(QWidget* window)
{
    if (window != nullptr) {
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window->show();
        window->raise();
        window->activateWindow();
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

} // namespace kitemail
