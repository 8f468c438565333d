#include "platform/secret_store.h"

#include "platform/event_loop.h"

#include <qt6keychain/keychain.h>

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <type_traits>

namespace kitemail {
namespace {

const QString kService = QStringLiteral("Kitemail Pro");

SecretError ErrorOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError: return SecretError::None;
    case QKeychain::EntryNotFound: return SecretError::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
    case QKeychain::CouldNotDeleteEntry: return SecretError::Refused;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError: break;
    }
    return SecretError::NoService;
}

class DesktopSecretStore final : public SecretStore {
public:
    DesktopSecretStore(const std::filesystem::path& dataDir, std::chrono::milliseconds deadline)
        : scope_(QString::fromStdString(std::filesystem::absolute(dataDir).lexically_normal().string())),
          deadline_(deadline)
    {
    }

    SecretResult Store(std::string_view name, std::string_view secret) override
    {
        auto* job = new QKeychain::WritePasswordJob(kService);
        job->setBinaryData(QByteArray(secret.data(), static_cast<qsizetype>(secret.size())));
        return Run(job, name);
    }

    SecretResult Read(std::string_view name) override
    {
        auto* job = new QKeychain::ReadPasswordJob(kService);
        SecretResult result = Run(job, name, [&](QKeychain::Job* done) {
            const QByteArray data = static_cast<QKeychain::ReadPasswordJob*>(done)->binaryData();
            return std::string(data.constData(), static_cast<std::size_t>(data.size()));
        });
        return result;
    }

    SecretResult Remove(std::string_view name) override { return Run(new QKeychain::DeletePasswordJob(kService), name); }

private:
    // The job deletes itself once finished, also after a deadline that
    // gave up on it.
    template <typename Take = std::nullptr_t>
    SecretResult Run(QKeychain::Job* job, std::string_view name, Take take = nullptr)
    {
        // Never the plain-text file QtKeychain could fall back to.
        job->setInsecureFallback(false);
        job->setAutoDelete(true);
        job->setKey(scope_ + QStringLiteral(":") + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        bool finished = false;
        SecretResult result;
        QObject context;
        QObject::connect(job, &QKeychain::Job::finished, &context, [&](QKeychain::Job* done) {
            finished = true;
            result.error = ErrorOf(done->error());
            result.detail = done->errorString().toStdString();
            if constexpr (!std::is_same_v<Take, std::nullptr_t>) {
                if (result.ok()) {
                    result.secret = take(done);
                }
            }
        });
        job->start();
        if (!WaitUntil([&] { return finished; }, deadline_)) {
            return {SecretError::NoService, {}, "no answer in time"};
        }
        return result;
    }

    QString scope_;
    std::chrono::milliseconds deadline_;
};

} // namespace

std::unique_ptr<SecretStore> DesktopKeyring(const std::filesystem::path& dataDir, std::chrono::milliseconds deadline)
{
    return std::make_unique<DesktopSecretStore>(dataDir, deadline);
}

} // namespace kitemail
