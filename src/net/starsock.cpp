#include "net/starsock.h"

#include "net/winsock_errors.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace kitemail {
namespace {

// What Qt reports, as the Windows Sockets number of the same failure.
std::uint16_t WsaErrorOf(QAbstractSocket::SocketError error, const QString& text)
{
    using S = QAbstractSocket;
    switch (error) {
    case S::ConnectionRefusedError: return wsa::kConnectionRefused;
    case S::RemoteHostClosedError: return wsa::kConnectionReset;
    case S::HostNotFoundError: return wsa::kHostNotFound;
    case S::SocketAccessError: return wsa::kAccessDenied;
    case S::SocketResourceError: return wsa::kTooManyFiles;
    case S::SocketTimeoutError: return wsa::kTimedOut;
    case S::DatagramTooLargeError: return wsa::kMessageSize;
    case S::AddressInUseError: return wsa::kAddressInUse;
    case S::SocketAddressNotAvailableError: return wsa::kAddressNotAvailable;
    case S::UnsupportedSocketOperationError: return wsa::kFamilySupport;
    case S::UnfinishedSocketOperationError: return wsa::kInProgress;
    case S::OperationError: return wsa::kInvalidArgument;
    case S::NetworkError: {
        // Qt folds several failures into this one and tells them apart only
        // by its text (translated the same way as here).
        const auto is = [&text](const char* words) {
            return text == QCoreApplication::translate("QNativeSocketEngine", words);
        };
        if (is("Host unreachable")) {
            return wsa::kHostUnreachable;
        }
        if (is("Network unreachable")) {
            return wsa::kNetworkUnreachable;
        }
        if (is("Connection timed out")) {
            return wsa::kTimedOut;
        }
        return wsa::kNetworkDown;
    }
    default: return wsa::kBaseError; // no Windows counterpart: "Unknown Error"
    }
}

TlsProblem ProblemOf(QSslError::SslError error)
{
    using E = QSslError;
    switch (error) {
    case E::CertificateExpired: return TlsProblem::Expired;
    case E::CertificateNotYetValid: return TlsProblem::NotYetValid;
    case E::HostNameMismatch: return TlsProblem::NameMismatch;
    case E::UnableToGetIssuerCertificate:
    case E::UnableToGetLocalIssuerCertificate:
    case E::UnableToVerifyFirstCertificate:
    case E::SelfSignedCertificate:
    case E::SelfSignedCertificateInChain:
    case E::CertificateUntrusted: return TlsProblem::UnknownIssuer;
    default: return TlsProblem::Other;
    }
}

std::string Fingerprint(const QSslCertificate& certificate)
{
    if (certificate.isNull()) {
        return {};
    }
    return FingerprintText(certificate.digest(QCryptographicHash::Sha256).toStdString());
}

// The system's trust store and the certificates of caFile; nullopt when
// caFile holds none (a wrong path must not pass for "no extra trust").
std::optional<QList<QSslCertificate>> TrustedCertificates(const TlsOptions& tls)
{
    QList<QSslCertificate> trusted = QSslConfiguration::systemCaCertificates();
    if (tls.caFile.empty()) {
        return trusted;
    }
    QFile file(DecodeSjis(tls.caFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QList<QSslCertificate> extra = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (extra.isEmpty()) {
        return std::nullopt;
    }
    trusted += extra;
    return trusted;
}

// On a QSslSocket used as plain TCP: encryption, from the connect or started
// in the middle of a dialogue, is a call on the same object away.
class QtStarSocket final : public TStarSocket {
private:
    // Wraps a reaction of the loop so that it does nothing once the
    // connection it belongs to has been dropped.
    template <typename Fn>
    auto Guarded(Fn fn)
    {
        return [this, fn = std::move(fn), generation = generation_](auto&&... args) {
            if (generation == generation_) {
                fn(std::forward<decltype(args)>(args)...);
            }
        };
    }

public:
    QtStarSocket() : context_(std::make_unique<QObject>())
    {
        deadline_.setSingleShot(true);
        QObject::connect(&deadline_, &QTimer::timeout, context_.get(), [this] { DeadlinePassed(); });
    }

    ~QtStarSocket() override { Drop(); }

    void ConnectTo(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline) override
    {
        Start(host, port, deadline, std::nullopt);
    }

    void ConnectEncryptedTo(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline,
                            const TlsOptions& tls) override
    {
        Start(host, port, deadline, tls);
    }

    void StartTls(const TlsOptions& tls) override
    {
        if (socket_ == nullptr || !connected_ || handshaking_ || socket_->isEncrypted()) {
            return;
        }
        if (socket_->bytesAvailable() > 0) {
            TlsFail({{}, {}, "the server sent more after agreeing to start TLS"});
            return;
        }
        BeginTls(tls);
    }

    [[nodiscard]] bool Encrypted() const override { return socket_ != nullptr && socket_->isEncrypted(); }

    void SendData(std::string_view bytes) override
    {
        if (bytes.empty()) {
            return;
        }
        if (socket_ != nullptr && connected_) {
            socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
        } else if (attempting_) {
            early_.append(bytes);
        }
    }

    [[nodiscard]] std::size_t QueuedBytes() const override
    {
        return early_.size() + (socket_ != nullptr ? static_cast<std::size_t>(socket_->bytesToWrite()) : 0);
    }

    [[nodiscard]] std::size_t UntakenBytes() const override
    {
        std::size_t n = QueuedBytes();
        if (socket_ != nullptr && connected_) {
            int unacknowledged = 0;
            const auto fd = static_cast<int>(socket_->socketDescriptor());
            if (fd >= 0 && ::ioctl(fd, SIOCOUTQ, &unacknowledged) == 0 && unacknowledged > 0) {
                n += static_cast<std::size_t>(unacknowledged);
            }
        }
        return n;
    }

    [[nodiscard]] std::string ReceiveData(std::size_t max) override
    {
        std::string bytes;
        if (socket_ == nullptr || max == 0) {
            return bytes;
        }
        const auto available = static_cast<std::size_t>(socket_->bytesAvailable());
        bytes.resize(std::min(max, available));
        const qint64 n = socket_->read(bytes.data(), static_cast<qint64>(bytes.size()));
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    }

    void CloseSocket() override { Drop(); }

    [[nodiscard]] bool Connected() const override { return connected_; }
    [[nodiscard]] std::string AddressText() const override { return address_; }

private:
    void Start(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline,
               std::optional<TlsOptions> tls)
    {
        Drop();
        attempting_ = true;
        port_ = port;
        connectTls_ = std::move(tls);
        if (deadline.count() > 0) {
            deadline_.start(deadline);
        }
        const QString name = DecodeSjis(host);
        host_ = name;
        if (IsAddressLiteral(host)) {
            addresses_ = {QHostAddress(name)};
            address_ = addresses_.front().toString().toStdString();
            // Started from the loop, so that even an at once refused connect
            // reaches the hooks later, as every other outcome does.
            PostCall(context_.get(), Guarded([this] { TryNextAddress(); }));
            return;
        }
        lookup_ = new QObject(context_.get());
        lookupId_ = QHostInfo::lookupHost(name, lookup_, Guarded([this](const QHostInfo& info) { Found(info); }));
    }

    void Found(const QHostInfo& info)
    {
        lookup_->deleteLater();
        lookup_ = nullptr;
        lookupId_ = -1;
        if (info.error() == QHostInfo::HostNotFound) {
            Fail(wsa::kHostNotFound);
            return;
        }
        if (info.error() != QHostInfo::NoError) {
            Fail(wsa::kTryAgain); // the resolver could not be asked
            return;
        }
        const QList<QHostAddress> found = info.addresses();
        if (found.isEmpty()) {
            Fail(wsa::kNoData);
            return;
        }
        addresses_.assign(found.begin(), found.end());
        address_ = addresses_.front().toString().toStdString();
        const std::uint64_t generation = generation_;
        Fire(OnSocketLookup);
        if (generation == generation_) {
            TryNextAddress();
        }
    }

    // Each address in turn, as the resolver ordered them, until one takes
    // the connection; the last refusal is the one reported.
    void TryNextAddress()
    {
        DropSocket();
        if (next_ >= addresses_.size()) {
            Fail(lastConnectError_ != 0 ? lastConnectError_ : wsa::kConnectionRefused);
            return;
        }
        const QHostAddress address = addresses_[next_++];
        address_ = address.toString().toStdString();
        socket_ = new QSslSocket(context_.get());
        socket_->setReadBufferSize(static_cast<qint64>(kReceiveBufferBytes));
        QObject::connect(socket_, &QAbstractSocket::connected, context_.get(), Guarded([this] { TcpConnected(); }));
        QObject::connect(socket_, &QSslSocket::encrypted, context_.get(), Guarded([this] { EncryptionDone(); }));
        QObject::connect(socket_, &QSslSocket::sslErrors, context_.get(),
                         Guarded([this](const QList<QSslError>& errors) { CertificateRefused(errors); }));
        QObject::connect(socket_, &QIODevice::readyRead, context_.get(), Guarded([this] { Fire(OnSocketRead); }));
        QObject::connect(socket_, &QIODevice::bytesWritten, context_.get(),
                         Guarded([this](qint64) { Fire(OnSocketWrite); }));
        QObject::connect(socket_, &QAbstractSocket::errorOccurred, context_.get(),
                         Guarded([this](QAbstractSocket::SocketError e) { Failed(e); }));
        QObject::connect(socket_, &QAbstractSocket::disconnected, context_.get(), Guarded([this] { Ended(); }));
        socket_->connectToHost(address, port_);
    }

    void TcpConnected()
    {
        if (connectTls_) {
            BeginTls(*connectTls_);
        } else {
            Established();
        }
    }

    void BeginTls(const TlsOptions& tls)
    {
        if (!QSslSocket::supportsSsl()) {
            TlsFail({{}, {}, "TLS is not available on this system"});
            return;
        }
        const std::optional<QList<QSslCertificate>> trusted = TrustedCertificates(tls);
        if (!trusted) {
            TlsFail({{}, {}, "CAFile holds no readable certificate: " + tls.caFile});
            return;
        }
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setCaCertificates(*trusted);
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        configuration.setProtocol(QSsl::SecureProtocols);
        socket_->setSslConfiguration(configuration);
        socket_->setPeerVerifyName(host_);
        handshaking_ = true;
        socket_->startClientEncryption();
    }

    void EncryptionDone()
    {
        handshaking_ = false;
        if (!connected_) {
            Established(); // TLS from the connect: only now does the connection stand
            return;
        }
        Fire(OnSocketEncrypted);
    }

    // Every fault at once, so that the user sees all that is wrong.
    void CertificateRefused(const QList<QSslError>& errors)
    {
        TlsFailure failure;
        QSslCertificate certificate = socket_->peerCertificate();
        for (const QSslError& e : errors) {
            const TlsProblem problem = ProblemOf(e.error());
            if (problem == TlsProblem::Other) {
                failure.detail += (failure.detail.empty() ? "" : "; ") + e.errorString().toStdString();
            }
            if (std::find(failure.problems.begin(), failure.problems.end(), problem) == failure.problems.end()) {
                failure.problems.push_back(problem);
            }
            if (certificate.isNull()) {
                certificate = e.certificate();
            }
        }
        failure.fingerprint = Fingerprint(certificate);
        TlsFail(std::move(failure));
    }

    void TlsFail(TlsFailure failure)
    {
        Drop();
        if (OnSocketTlsError) {
            OnSocketTlsError(failure);
        }
    }

    void Established()
    {
        deadline_.stop();
        attempting_ = false;
        connected_ = true;
        if (!early_.empty()) {
            socket_->write(early_.data(), static_cast<qint64>(early_.size()));
            early_.clear();
        }
        Fire(OnSocketConnect);
    }

    void Failed(QAbstractSocket::SocketError error)
    {
        const std::uint16_t code = WsaErrorOf(error, socket_->errorString());
        if (handshaking_) {
            TlsFail({{}, Fingerprint(socket_->peerCertificate()),
                     error == QAbstractSocket::RemoteHostClosedError
                         ? std::string("the server closed the connection during the TLS handshake")
                         : socket_->errorString().toStdString()});
            return;
        }
        if (!connected_) {
            lastConnectError_ = code;
            // Not from inside the failing socket's own signal.
            PostCall(context_.get(), Guarded([this] { TryNextAddress(); }));
            socket_->disconnect(context_.get());
            return;
        }
        if (error == QAbstractSocket::RemoteHostClosedError) {
            Ended();
            return;
        }
        if (OfferReceived()) {
            Fail(code);
        }
    }

    // The server closed (or reset) the connection.
    void Ended()
    {
        if (!connected_ || !OfferReceived()) {
            return;
        }
        Drop();
        Fire(OnSocketClose);
    }

    // Offers what the server sent before the end; false when a hook closed
    // the connection meanwhile.
    bool OfferReceived()
    {
        const std::uint64_t generation = generation_;
        for (qint64 left = socket_->bytesAvailable(); left > 0; left = socket_->bytesAvailable()) {
            Fire(OnSocketRead);
            if (generation != generation_) {
                return false;
            }
            if (socket_->bytesAvailable() >= left) {
                break; // not taken: nobody wants it
            }
        }
        return true;
    }

    void DeadlinePassed()
    {
        Drop();
        Fire(OnSocketTimeout);
    }

    void Fail(std::uint16_t code)
    {
        Drop();
        if (OnSocketError) {
            OnSocketError(code);
        }
    }

    void DropSocket()
    {
        if (socket_ == nullptr) {
            return;
        }
        // It may be the object whose signal is being handled: silenced now,
        // deleted once control is back in the loop.
        socket_->disconnect(context_.get());
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }

    // Back to idle: nothing of the last connection reaches a hook any more.
    void Drop()
    {
        ++generation_;
        deadline_.stop();
        if (lookup_ != nullptr) {
            QHostInfo::abortHostLookup(lookupId_);
            lookup_->deleteLater();
            lookup_ = nullptr;
            lookupId_ = -1;
        }
        DropSocket();
        attempting_ = false;
        connected_ = false;
        handshaking_ = false;
        early_.clear();
        addresses_.clear();
        next_ = 0;
        lastConnectError_ = 0;
    }

    std::unique_ptr<QObject> context_;
    QTimer deadline_;
    QSslSocket* socket_ = nullptr;
    QObject* lookup_ = nullptr; // owns the pending lookup's answer
    int lookupId_ = -1;
    std::vector<QHostAddress> addresses_;
    std::size_t next_ = 0;
    std::uint16_t port_ = 0;
    std::uint16_t lastConnectError_ = 0;
    std::string early_; // given before the connection stood
    std::string address_;
    QString host_; // the name the server's certificate must carry
    std::optional<TlsOptions> connectTls_; // TLS from the connect
    bool handshaking_ = false;
    bool attempting_ = false; // between ConnectTo and the connection standing
    bool connected_ = false;
    std::uint64_t generation_ = 0;
};

} // namespace

std::unique_ptr<TStarSocket> TStarSocket::Create()
{
    return std::make_unique<QtStarSocket>();
}

bool IsLoopbackAddress(std::string_view address)
{
    const std::string text(address);
    in6_addr v6{};
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) {
        return false;
    }
    if (IN6_IS_ADDR_LOOPBACK(&v6)) {
        return true;
    }
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

bool IsAddressLiteral(std::string_view host)
{
    const std::string text(host);
    in6_addr v6{};
    in_addr v4{};
    return inet_pton(AF_INET, text.c_str(), &v4) == 1 || inet_pton(AF_INET6, text.c_str(), &v6) == 1;
}

} // namespace kitemail
