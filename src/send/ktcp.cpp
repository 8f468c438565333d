#include "send/ktcp.h"

#include "mail/winsock_errors.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kitemail {
namespace {

constexpr std::size_t kReceiveBlock = 8192;

// How long closing waits for a pending graceful close to drain its queue; a
// peer that stops reading must not hold the program forever.
constexpr std::chrono::seconds kCloseDrainLimit{10};

std::int32_t ErrnoCode(int err)
{
    return wsa::FromErrno(err);
}

bool WouldBlock(int err)
{
    return err == EAGAIN || err == EWOULDBLOCK;
}

// Failures of the connection itself, which the socket reports later as the
// connect's outcome rather than as a failure of the call.
bool IsConnectOutcome(int err)
{
    switch (err) {
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
    case EACCES:
    case EPERM:
        return true;
    default:
        return false;
    }
}

std::int32_t LookupErrorCode(const QHostInfo& info)
{
    switch (info.error()) {
    case QHostInfo::NoError:
        return 0;
    case QHostInfo::HostNotFound:
        return wsa::kHostNotFound;
    default:
        // The resolver could not be asked (no DNS reachable and the like).
        return wsa::kTryAgain;
    }
}

} // namespace

// ---------------------------------------------------------------- finders

TKAsyncFinder::TKAsyncFinder() : window_(std::make_unique<QObject>()) {}

TKAsyncFinder::~TKAsyncFinder()
{
    // Deleting the window below deletes the request and so drops the answer.
    busy_ = false;
    request_ = nullptr;
}

void TKAsyncFinder::StartLookup(std::string_view name)
{
    busy_ = true;
    request_ = new QObject(window_.get());
    QObject* const thisRequest = request_;
    requestId_ = QHostInfo::lookupHost(DecodeSjis(name), thisRequest, [this, thisRequest](const QHostInfo& info) {
        if (request_ != thisRequest) {
            return; // cancelled, or a later lookup took its place
        }
        request_ = nullptr;
        requestId_ = -1;
        thisRequest->deleteLater();
        busy_ = false;
        std::int32_t code = LookupErrorCode(info);
        std::vector<std::uint32_t> addresses;
        if (code == 0) {
            for (const QHostAddress& a : info.addresses()) {
                bool ok = false;
                const quint32 v4 = a.toIPv4Address(&ok);
                if (ok) {
                    addresses.push_back(htonl(v4));
                }
            }
            if (addresses.empty()) {
                code = wsa::kNoData; // the name exists, but has no IPv4 address
            }
        }
        if (code != 0) {
            DoError(code);
        } else {
            DoFound(addresses);
        }
    });
}

void TKAsyncFinder::Cancel()
{
    if (!busy_) {
        return;
    }
    busy_ = false;
    if (request_ != nullptr) {
        QObject* const request = request_;
        request_ = nullptr;
        QHostInfo::abortHostLookup(requestId_);
        requestId_ = -1;
        request->deleteLater();
    }
}

void TKAsyncFinder::DoError(std::int32_t code)
{
    if (OnError) {
        const TKWinSockError e(code);
        OnError(e);
    }
}

void TKIpFinder::Find(std::string_view name)
{
    Cancel();
    SetBusy(true);
    in_addr parsed{};
    const std::string text(name);
    if (!text.empty() && inet_aton(text.c_str(), &parsed) != 0) {
        SetBusy(false);
        Found(parsed.s_addr);
        return;
    }
    StartLookup(name);
}

void TKIpFinder::DoFound(const std::vector<std::uint32_t>& addresses)
{
    Found(addresses.front());
}

void TKIpFinder::Found(std::uint32_t address)
{
    address_ = address;
    if (OnFind) {
        OnFind(address);
    }
}

// ---------------------------------------------------------------- stream socket

TKStreamSock::TKStreamSock() : window_(std::make_unique<QObject>()) {}

TKStreamSock::~TKStreamSock()
{
    CloseHandle();
}

int TKStreamSock::SocketHandle()
{
    if (handle_ < 0) {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s < 0) {
            DoError(ErrnoCode(errno));
            return -1;
        }
        handle_ = s;
        ++serial_;
        connecting_ = false;
        closeSeen_ = false;
    }
    return handle_;
}

void TKStreamSock::SetSocketHandle(int s)
{
    if (s == handle_) {
        return;
    }
    Close();
    if (s >= 0) {
        const int flags = ::fcntl(s, F_GETFL);
        if (flags >= 0) {
            ::fcntl(s, F_SETFL, flags | O_NONBLOCK);
        }
    }
    handle_ = s;
    ++serial_;
    connecting_ = false;
    closeSeen_ = false;
}

void TKStreamSock::Close()
{
    CloseHandle();
}

void TKStreamSock::CloseHandle()
{
    if (handle_ < 0) {
        return;
    }
    DropNotifiers();
    const int s = handle_;
    handle_ = -1;
    ++serial_;
    connecting_ = false;
    if (::close(s) != 0) {
        DoError(ErrnoCode(errno));
    }
}

void TKStreamSock::WndProc(const SocketMessage& /*message*/) {}

void TKStreamSock::DoError(std::int32_t code)
{
    if (OnError) {
        const TKWinSockError e(code);
        OnError(e);
    }
}

bool TKStreamSock::AsyncSelect()
{
    if (handle_ < 0) {
        return false;
    }
    if (readNotifier_ == nullptr) {
        readNotifier_ = new QSocketNotifier(static_cast<qintptr>(handle_), QSocketNotifier::Read, window_.get());
        QObject::connect(readNotifier_, &QSocketNotifier::activated, window_.get(), [this] { OnReadable(); });
        writeNotifier_ = new QSocketNotifier(static_cast<qintptr>(handle_), QSocketNotifier::Write, window_.get());
        QObject::connect(writeNotifier_, &QSocketNotifier::activated, window_.get(), [this] { OnWritable(); });
    }
    // Until a connect has settled, readiness to write is its outcome and
    // readiness to read means nothing yet.
    readNotifier_->setEnabled(!connecting_ && !closeSeen_);
    writeNotifier_->setEnabled(connecting_);
    return true;
}

void TKStreamSock::ExpectConnect()
{
    connecting_ = true;
    closeSeen_ = false;
}

void TKStreamSock::SettleConnect(bool connected)
{
    connecting_ = false;
    if (writeNotifier_ != nullptr) {
        writeNotifier_->setEnabled(false);
    }
    if (readNotifier_ != nullptr) {
        readNotifier_->setEnabled(connected);
    }
}

void TKStreamSock::WantWrite()
{
    if (writeNotifier_ != nullptr) {
        writeNotifier_->setEnabled(true);
    }
}

void TKStreamSock::PostSocketMessage(int event, std::int32_t error)
{
    if (handle_ < 0) {
        return;
    }
    const std::uint64_t serial = serial_;
    PostCall(window_.get(), [this, serial, event, error] { Dispatch(serial, SocketMessage{event, error}); });
}

void TKStreamSock::Dispatch(std::uint64_t serial, const SocketMessage& message)
{
    if (serial != serial_ || handle_ < 0) {
        return; // meant for a socket that is gone
    }
    WndProc(message);
}

void TKStreamSock::OnWritable()
{
    writeNotifier_->setEnabled(false);
    if (!connecting_) {
        Dispatch(serial_, SocketMessage{kFdWrite, 0});
        return;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
        err = errno;
    }
    SettleConnect(err == 0);
    if (err == 0) {
        // As after a connect on Windows Sockets: a write event follows, which
        // sends whatever was queued before the connection stood.
        PostSocketMessage(kFdWrite);
    }
    Dispatch(serial_, SocketMessage{kFdConnect, err == 0 ? 0 : ErrnoCode(err)});
}

void TKStreamSock::OnReadable()
{
    char probe = 0;
    const ssize_t n = ::recv(handle_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        Dispatch(serial_, SocketMessage{kFdRead, 0});
        return;
    }
    const int err = n < 0 ? errno : 0;
    if (n < 0 && (WouldBlock(err) || err == EINTR)) {
        return;
    }
    // The end of the stream (or its reset): one close event, then silence
    // until the socket is closed.
    closeSeen_ = true;
    readNotifier_->setEnabled(false);
    Dispatch(serial_, SocketMessage{kFdClose, err == 0 ? 0 : ErrnoCode(err)});
}

void TKStreamSock::DropNotifiers()
{
    // A notifier may be the one whose signal is being handled right now:
    // disable it at once and let the loop delete it.
    for (QSocketNotifier** n : {&readNotifier_, &writeNotifier_}) {
        if (*n != nullptr) {
            (*n)->setEnabled(false);
            QObject::disconnect(*n, nullptr, nullptr, nullptr);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
}

// ---------------------------------------------------------------- transceiver

TKStreamTranciverSocket::TKStreamTranciverSocket() = default;

TKStreamTranciverSocket::~TKStreamTranciverSocket()
{
    CloseHandle();
    FreeQueue();
}

void TKStreamTranciverSocket::WndProc(const SocketMessage& message)
{
    switch (message.event) {
    case kFdRead:
        DoRead(message.error);
        break;
    case kFdWrite:
        DoWrite(message.error);
        break;
    case kFdClose:
        DoClose(message.error);
        break;
    default:
        TKStreamSock::WndProc(message);
        break;
    }
}

void TKStreamTranciverSocket::SetRecvMode(TKTcpRecvMode mode)
{
    if (mode == recvMode_) {
        return;
    }
    recvMode_ = mode;
    if (mode == TKTcpRecvMode::ktrmBinary && !received_.empty()) {
        PostSocketMessage(kFdRead);
    }
}

void TKStreamTranciverSocket::SendBuf(const char* data, std::ptrdiff_t count)
{
    if (data == nullptr || count < 1) {
        return;
    }
    queue_.push_back(SendBuffer{std::string(data, static_cast<std::size_t>(count)), 0});
    // Sending starts from the loop even when no write notification is due.
    PostSocketMessage(kFdWrite);
}

void TKStreamTranciverSocket::SendText(std::string_view text)
{
    SendBuf(text.data(), static_cast<std::ptrdiff_t>(text.size()));
}

std::string TKStreamTranciverSocket::ReceiveText()
{
    std::string out;
    if (recvMode_ == TKTcpRecvMode::ktrmBinary) {
        out.swap(received_);
        return out;
    }
    const std::size_t end = received_.find("\r\n");
    if (end == std::string::npos) {
        return out;
    }
    out = received_.substr(0, end + 2);
    received_.erase(0, end + 2);
    if (received_.find("\r\n") != std::string::npos) {
        PostSocketMessage(kFdRead); // the next line gets its own event
    }
    return out;
}

std::ptrdiff_t TKStreamTranciverSocket::RecvBuf(char* buffer, std::ptrdiff_t count)
{
    if (buffer == nullptr || count < 1 || !HasSocket()) {
        return 0;
    }
    const ssize_t n = ::recv(Handle(), buffer, static_cast<std::size_t>(count), MSG_DONTWAIT);
    if (n >= 0) {
        return n;
    }
    const int err = errno;
    if (!WouldBlock(err) && err != EINTR) {
        DoError(ErrnoCode(err));
    }
    return 0;
}

void TKStreamTranciverSocket::DoWrite(std::int32_t error)
{
    if (error != 0) {
        DoError(error);
        return;
    }
    while (!queue_.empty()) {
        SendBuffer& buffer = queue_.front();
        while (buffer.Left() > 0) {
            const ssize_t n = ::send(Handle(), buffer.bytes.data() + buffer.next, buffer.Left(),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                buffer.next += static_cast<std::size_t>(n);
                continue;
            }
            const int err = n < 0 ? errno : EAGAIN;
            if (err == EINTR) {
                continue;
            }
            if (WouldBlock(err)) {
                WantWrite();
                return;
            }
            writeFailed_ = true;
            DoError(ErrnoCode(err));
            return;
        }
        queue_.pop_front();
    }
    if (closing_) {
        Close();
    } else if (OnSendEmpty) {
        OnSendEmpty();
    }
}

void TKStreamTranciverSocket::DoRead(std::int32_t error)
{
    if (error != 0) {
        DoError(error);
        return;
    }
    std::string got;
    char block[kReceiveBlock];
    for (;;) {
        const ssize_t n = ::recv(Handle(), block, sizeof block, MSG_DONTWAIT);
        if (n > 0) {
            got.append(block, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            break; // the end of the stream shows as the close event
        }
        const int err = errno;
        if (err == EINTR) {
            continue;
        }
        if (!WouldBlock(err)) {
            DoError(ErrnoCode(err));
        }
        break;
    }
    received_ += got;
    if (received_.empty()) {
        return;
    }
    if (recvMode_ == TKTcpRecvMode::ktrmBinary || received_.find("\r\n") != std::string::npos) {
        if (OnRcvReady) {
            OnRcvReady();
        }
    }
}

void TKStreamTranciverSocket::DoClose(std::int32_t error)
{
    if (error != 0) {
        DoError(error);
    } else if (OnDisconnect) {
        OnDisconnect();
    }
}

void TKStreamTranciverSocket::Close()
{
    if (HasSocket()) {
        if (closing_ && !queue_.empty() && !writeFailed_) {
            WaitUntil([this] { return queue_.empty() || !closing_ || !HasSocket() || writeFailed_; },
                      kCloseDrainLimit);
        }
        CloseHandle();
    }
    FreeQueue();
    // What was received belongs to the connection just closed; a partial
    // line must not become the start of the next connection's first one.
    received_.clear();
    closing_ = false;
    writeFailed_ = false;
}

void TKStreamTranciverSocket::Shutdown()
{
    if (!HasSocket()) {
        return;
    }
    closing_ = true;
    SetLinger(false);
    if (queue_.empty()) {
        Close();
    }
}

void TKStreamTranciverSocket::ResetConnection()
{
    closing_ = false;
    if (HasSocket()) {
        SetLinger(true);
    }
    FreeQueue();
}

void TKStreamTranciverSocket::SetLinger(bool on)
{
    linger value{};
    value.l_onoff = on ? 1 : 0;
    value.l_linger = 0;
    if (::setsockopt(Handle(), SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0) {
        DoError(ErrnoCode(errno));
    }
}

void TKStreamTranciverSocket::FreeQueue() noexcept
{
    queue_.clear();
}

std::size_t TKStreamTranciverSocket::QueuedBytes() const noexcept
{
    std::size_t total = 0;
    for (const SendBuffer& b : queue_) {
        total += b.Left();
    }
    return total;
}

// ---------------------------------------------------------------- client

TKTcpClient::TKTcpClient()
{
    finder_.OnFind = [this](std::uint32_t ip) {
        address_ = ip;
        Connect();
    };
    finder_.OnError = [this](const TKError& e) {
        active_ = false;
        if (OnError) {
            OnError(e);
        }
    };
}

TKTcpClient::~TKTcpClient()
{
    finder_.Cancel();
    CloseHandle();
    FreeQueue();
}

void TKTcpClient::SetServerName(std::string_view name)
{
    if (name == serverName_) {
        return;
    }
    serverName_ = std::string(name);
    finder_.Find(serverName_);
}

void TKTcpClient::SetPort(std::uint16_t port)
{
    if (port == port_) {
        return;
    }
    const bool wasActive = active_;
    SetActive(false);
    port_ = port;
    SetActive(wasActive);
}

void TKTcpClient::SetActive(bool active)
{
    if (active == active_) {
        return;
    }
    active_ = active;
    if (!active) {
        Close();
        return;
    }
    if (finder_.Busy()) {
        return; // the lookup's end connects
    }
    if (address_ == kNoIpAddress && !serverName_.empty()) {
        // The last lookup of this name failed: ask again rather than give up
        // for as long as the name stays the same.
        finder_.Find(serverName_);
        return;
    }
    Connect();
}

void TKTcpClient::Connect()
{
    if (!active_) {
        return;
    }
    const int s = SocketHandle();
    if (s < 0) {
        return;
    }
    ExpectConnect();
    if (!AsyncSelect()) {
        DoError(wsa::kNotSocket);
        return;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port_);
    peer.sin_addr.s_addr = address_;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        SettleConnect(true);
        PostSocketMessage(kFdConnect);
        PostSocketMessage(kFdWrite);
        return;
    }
    const int err = errno;
    if (err == EINPROGRESS || WouldBlock(err)) {
        return; // the outcome arrives as a connect event
    }
    SettleConnect(false);
    if (IsConnectOutcome(err)) {
        PostSocketMessage(kFdConnect, ErrnoCode(err));
        return;
    }
    DoError(ErrnoCode(err));
}

void TKTcpClient::WndProc(const SocketMessage& message)
{
    if (message.event == kFdConnect) {
        DoConnect(message.error);
        return;
    }
    TKStreamTranciverSocket::WndProc(message);
}

void TKTcpClient::DoConnect(std::int32_t error)
{
    if (error != 0) {
        DoError(error);
        return;
    }
    connected_ = true;
    if (OnConnect) {
        OnConnect();
    }
}

void TKTcpClient::DoWrite(std::int32_t error)
{
    if (!connected_) {
        return;
    }
    TKStreamTranciverSocket::DoWrite(error);
}

void TKTcpClient::DoClose(std::int32_t error)
{
    connected_ = false;
    TKStreamTranciverSocket::DoClose(error);
}

void TKTcpClient::Close()
{
    active_ = false;
    TKStreamTranciverSocket::Close();
    connected_ = false;
}

} // namespace kitemail
