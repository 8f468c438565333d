#include "mail/starsock.h"

#include "mail/winsock_errors.h"
#include "platform/event_loop.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kitemail {
namespace {

constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu; // what inet_addr gives for a bad text

} // namespace

TStarSocket::TStarSocket()
    : context_(std::make_unique<QObject>()), timer_(std::make_unique<LoopTimer>())
{
}

TStarSocket::~TStarSocket()
{
    CloseSocket();
    UnloadWinsock();
}

bool TStarSocket::LoadWinsock(std::string_view /*libraryName*/)
{
    winsockLoaded_ = true;
    return true;
}

bool TStarSocket::StartWinsock()
{
    if (!winsockStarted_) {
        if (!winsockLoaded_ && !LoadWinsock()) {
            return false;
        }
        winsockStarted_ = true;
        WinsockDescription = "BSD sockets";
        WinsockStatus = "Running";
        rlimit limit{};
        WinsockMaxSockets = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 0x7FFF
                                ? static_cast<int>(limit.rlim_cur)
                                : 0x7FFF;
    }
    return winsockStarted_;
}

void TStarSocket::StopWinsock()
{
    if (winsockStarted_) {
        CloseSocket();
        winsockStarted_ = false;
    }
}

void TStarSocket::UnloadWinsock()
{
    StopWinsock();
    winsockLoaded_ = false;
}

void TStarSocket::CreateSocket()
{
    if (fd_ >= 0) {
        return;
    }
    if (!winsockStarted_) {
        SocketError = wsa::kNotInitialised;
        return;
    }
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    SocketError = fd_ < 0 ? wsa::FromErrno(errno) : 0;
}

void TStarSocket::SetAddress(std::string_view dotted)
{
    in_addr addr{};
    const std::string text(dotted);
    peerAddress_ = inet_aton(text.c_str(), &addr) != 0 ? addr.s_addr : kNoAddress;
}

void TStarSocket::SetPort(std::uint16_t port)
{
    peerPort_ = htons(port);
}

void TStarSocket::SetAddressFromLookup()
{
    peerAddress_ = resolvedAddress_;
}

std::string TStarSocket::AddressText() const
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr addr{};
    addr.s_addr = peerAddress_;
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

void TStarSocket::LookupHost(std::string_view name)
{
    if (lookupContext_ != nullptr) {
        return;
    }
    if (name.empty()) {
        SocketError = wsa::kHostNotFound;
        return;
    }
    lookupContext_ = new QObject(context_.get());
    QObject* const thisLookup = lookupContext_;
    QHostInfo::lookupHost(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), thisLookup,
                          [this, thisLookup](const QHostInfo& info) {
                              if (lookupContext_ != thisLookup) {
                                  return;
                              }
                              KillTimer();
                              lookupContext_ = nullptr;
                              thisLookup->deleteLater();
                              std::uint16_t error = 0;
                              if (info.error() == QHostInfo::HostNotFound) {
                                  error = wsa::kHostNotFound;
                              } else if (info.error() != QHostInfo::NoError) {
                                  error = wsa::kTryAgain;
                              } else {
                                  error = wsa::kNoData; // until an IPv4 address turns up
                                  for (const QHostAddress& a : info.addresses()) {
                                      bool ok = false;
                                      const quint32 v4 = a.toIPv4Address(&ok);
                                      if (ok) {
                                          resolvedAddress_ = htonl(v4);
                                          error = 0;
                                          break;
                                      }
                                  }
                              }
                              SocketError = error;
                              LookupDone();
                          });
    SocketError = 0;
    StartTimer(TimeoutArp);
}

void TStarSocket::LookupDone()
{
    if (OnSocketLookup) {
        OnSocketLookup();
    }
}

void TStarSocket::ConnectSocket()
{
    if (fd_ < 0) {
        SocketError = wsa::kNotSocket;
        return;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = peerPort_;
    peer.sin_addr.s_addr = peerAddress_;
    // The notifiers stand in for the asynchronous selection of read, write,
    // connect and close events.
    DropNotifiers();
    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, context_.get());
    readNotifier_->setEnabled(false);
    QObject::connect(readNotifier_, &QSocketNotifier::activated, context_.get(), [this] { OnReadable(); });
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, context_.get());
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_, &QSocketNotifier::activated, context_.get(), [this] { OnWritable(); });

    const int rc = ::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    const int err = rc == 0 ? 0 : errno;
    if (rc == 0 || err == EINPROGRESS || err == EAGAIN) {
        // Success is never reported synchronously: the write notifier tells.
        connecting_ = true;
        writeNotifier_->setEnabled(true);
        SocketError = 0;
        StartTimer(TimeoutConnect);
        return;
    }
    if (err == ECONNREFUSED || err == ENETUNREACH || err == EHOSTUNREACH || err == ETIMEDOUT) {
        // Failures of the connection itself arrive as a connect notification.
        connecting_ = true;
        PostCall(context_.get(), [this, err] {
            if (connecting_) {
                HandleConnectResult(err);
            }
        });
        SocketError = 0;
        StartTimer(TimeoutConnect);
        return;
    }
    SocketError = wsa::FromErrno(err);
}

void TStarSocket::OnWritable()
{
    if (writeNotifier_ != nullptr) {
        writeNotifier_->setEnabled(false);
    }
    if (connecting_) {
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
            err = errno;
        }
        HandleConnectResult(err);
        return;
    }
    KillTimer();
    SocketError = 0;
    if (OnSocketWrite) {
        OnSocketWrite();
    }
}

void TStarSocket::HandleConnectResult(int err)
{
    connecting_ = false;
    KillTimer();
    SocketError = wsa::FromErrno(err);
    if (err == 0) {
        connected_ = true;
        EnableRead();
    }
    if (OnSocketConnect) {
        OnSocketConnect();
    }
}

void TStarSocket::OnReadable()
{
    // Like the asynchronous selection this stands in for: one read
    // notification, then none until the data is received.
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(false);
    }
    KillTimer();
    char probe = 0;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK);
    if (n > 0) {
        SocketError = 0;
        if (OnSocketRead) {
            OnSocketRead();
        }
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        EnableRead();
        return;
    }
    HandleClose(n == 0 ? std::uint16_t{0} : wsa::FromErrno(errno));
}

void TStarSocket::HandleClose(std::uint16_t error)
{
    SocketError = error;
    // The hook still sees the connection as it was.
    if (OnSocketClose) {
        OnSocketClose();
    }
    if (fd_ >= 0) {
        DropNotifiers();
        ::close(fd_);
        fd_ = -1;
    }
    connected_ = false;
    connecting_ = false;
}

void TStarSocket::EnableRead()
{
    if (fd_ >= 0 && readNotifier_ != nullptr) {
        readNotifier_->setEnabled(true);
    }
}

std::size_t TStarSocket::SendData(const char* buffer, std::size_t count)
{
    if (fd_ < 0) {
        SocketError = wsa::kNotSocket;
        return 0;
    }
    const ssize_t n = ::send(fd_, buffer, count, MSG_NOSIGNAL);
    if (n > 0) {
        SocketError = 0;
        return static_cast<std::size_t>(n);
    }
    if (n < 0) {
        const std::uint16_t e = wsa::FromErrno(errno);
        SocketError = e == wsa::kWouldBlock || e == wsa::kInterrupted ? std::uint16_t{0} : e;
    }
    return 0;
}

std::size_t TStarSocket::ReceiveData(char* buffer, std::size_t size)
{
    if (fd_ < 0) {
        SocketError = wsa::kNotSocket;
        return 0;
    }
    const ssize_t n = ::recv(fd_, buffer, size, 0);
    const int err = errno;
    // A receive call re-arms the read notification, data left or not; at the
    // end of the stream that notification becomes the close.
    EnableRead();
    if (n > 0) {
        SocketError = 0;
        return static_cast<std::size_t>(n);
    }
    if (n < 0) {
        const std::uint16_t e = wsa::FromErrno(err);
        SocketError = e == wsa::kWouldBlock || e == wsa::kInterrupted ? std::uint16_t{0} : e;
    }
    return 0;
}

void TStarSocket::CloseSocket()
{
    if (lookupContext_ != nullptr) {
        lookupContext_->deleteLater();
        // Deleting the context drops the answer even if it is already queued.
        QObject::disconnect(lookupContext_, nullptr, nullptr, nullptr);
        lookupContext_ = nullptr;
    }
    KillTimer();
    if (fd_ >= 0) {
        DropNotifiers();
        SocketError = ::close(fd_) == 0 ? std::uint16_t{0} : wsa::FromErrno(errno);
        fd_ = -1;
    }
    connected_ = false;
    connecting_ = false;
}

void TStarSocket::DropNotifiers()
{
    // A notifier may be the one whose signal is being handled right now, so
    // it is disabled at once and deleted once control is back in the loop.
    for (QSocketNotifier** n : {&readNotifier_, &writeNotifier_}) {
        if (*n != nullptr) {
            (*n)->setEnabled(false);
            QObject::disconnect(*n, nullptr, nullptr, nullptr);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
}

std::string TStarSocket::LocalHostName()
{
    char name[256] = {};
    if (gethostname(name, 255) != 0) {
        SocketError = wsa::FromErrno(errno);
        return {};
    }
    SocketError = 0;
    return name;
}

void TStarSocket::StartTimer(std::int32_t seconds)
{
    KillTimer();
    if (seconds > 0) {
        countdown_ = seconds;
        timer_->Start(std::chrono::milliseconds(1000), false, [this] { TimerTick(); });
    }
}

void TStarSocket::KillTimer()
{
    timer_->Stop();
}

bool TStarSocket::TimerRunning() const
{
    return timer_->IsActive();
}

void TStarSocket::TimerTick()
{
    if (--countdown_ > 0) {
        return;
    }
    CloseSocket();
    if (OnSocketTimeout) {
        OnSocketTimeout();
    }
}

void TStarSocket::PostUserMessage(int message)
{
    PostCall(context_.get(), [this, message] {
        if (OnUserMessage) {
            OnUserMessage(message);
        }
    });
}

void TStarSocket::WaitWritable(std::chrono::milliseconds maxWait)
{
    if (fd_ < 0 || writeNotifier_ == nullptr) {
        return;
    }
    writeNotifier_->setEnabled(true);
    PumpEventsWaiting(maxWait);
}

bool TStarSocket::PeerStillOpen()
{
    if (fd_ < 0 || !connected_) {
        return false;
    }
    char probe = 0;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

} // namespace kitemail
