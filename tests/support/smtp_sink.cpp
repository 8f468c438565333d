#include "smtp_sink.h"

#include "qt_app.h"
#include "test_certs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace kitemail::test {
namespace {

QString ServerScript(const char* name)
{
    return QString::fromUtf8(KITEMAIL_SOURCE_DIR "/tests/servers/") + QString::fromLatin1(name);
}

QByteArray ReadAll(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

SmtpSink::SmtpSink() = default;

SmtpSink::~SmtpSink()
{
    Stop();
}

bool SmtpSink::Start(const char* host, const SmtpSinkOptions& options)
{
    dir_ = std::make_unique<QTemporaryDir>();
    if (!dir_->isValid()) {
        error_ = "no temporary folder";
        return false;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    QStringList arguments{ServerScript("smtp_sink.py"), QStringLiteral("--dir"), dir_->path(),
                          QStringLiteral("--host"), QString::fromLatin1(host), QStringLiteral("--tls"),
                          QString::fromLatin1(options.tls), QStringLiteral("--cert"),
                          QString::fromStdString(CertFile("server")), QStringLiteral("--key"),
                          QString::fromStdString(CertFile("server.key"))};
    if (!options.user.empty()) {
        arguments << QStringLiteral("--auth-user") << QString::fromStdString(options.user)
                  << QStringLiteral("--auth-pass") << QString::fromStdString(options.password);
    }
    process_->start(QString::fromLatin1(kSystemPython), arguments);
    if (!process_->waitForStarted(10000)) {
        error_ = "cannot start " + std::string(kSystemPython);
        return false;
    }
    while (!process_->canReadLine() && process_->waitForReadyRead(15000)) {
    }
    const QByteArray line = process_->readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        error_ = "the SMTP server did not report its port: " + line.toStdString() +
                 process_->readAllStandardError().toStdString();
        Stop();
        return false;
    }
    port_ = static_cast<std::uint16_t>(line.mid(5).toUInt());
    return port_ != 0;
}

void SmtpSink::Stop()
{
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(5000)) {
            process_->kill();
            process_->waitForFinished(2000);
        }
    }
    process_.reset();
}

int SmtpSink::WaitForMessages(int count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const int n = static_cast<int>(
            QDir(dir_->path()).entryList({QStringLiteral("*.eml")}, QDir::Files).size());
        if (n >= count || std::chrono::steady_clock::now() >= deadline) {
            return n;
        }
        QThread::msleep(20);
    }
}

std::string SmtpSink::MessagePath(int n) const
{
    char name[32];
    std::snprintf(name, sizeof name, "/%05d.eml", n);
    return dir_ ? dir_->path().toStdString() + name : std::string();
}

std::string SmtpSink::MessageBytes(int n) const
{
    return ReadAll(MessagePath(n)).toStdString();
}

QJsonObject SmtpSink::Envelope(int n) const
{
    return ParseStoredMail(MessagePath(n));
}

QJsonObject ParseStoredMail(const std::string& path)
{
    return QJsonDocument::fromJson(ReadAll(path.substr(0, path.size() - 4) + ".json")).object();
}

std::string DecodedBytes(const QJsonObject& object, const char* field)
{
    return QByteArray::fromBase64(object.value(QLatin1String(field)).toString().toLatin1()).toStdString();
}

void SmtpSinkSuite::SetUpTestSuite()
{
    EnsureCoreApplication();
    sink_ = std::make_unique<SmtpSink>();
    ASSERT_TRUE(sink_->Start()) << sink_->Error();
}

} // namespace kitemail::test
