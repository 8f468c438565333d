#include "net/ktcp.h"

#include "net/winsock_errors.h"

namespace kitemail {

TKTcpClient::TKTcpClient(std::unique_ptr<TStarSocket> socket) : socket_(std::move(socket))
{
    const auto raise = [](const TKNotifyEvent& event) {
        if (event) {
            event();
        }
    };
    socket_->OnSocketConnect = [this, raise] { raise(OnConnect); };
    socket_->OnSocketRead = [this, raise] { raise(OnRcvReady); };
    socket_->OnSocketClose = [this, raise] { raise(OnDisconnect); };
    socket_->OnSocketTimeout = [this] { Failed(wsa::kTimedOut); };
    socket_->OnSocketError = [this](std::uint16_t code) { Failed(code); };
    socket_->OnSocketEncrypted = [this, raise] { raise(OnEncrypted); };
    socket_->OnSocketTlsError = [this](const TlsFailure& failure) {
        active_ = false; // the socket layer has closed the connection
        if (OnTlsError) {
            OnTlsError(failure);
        }
    };
}

TKTcpClient::~TKTcpClient()
{
    socket_->CloseSocket();
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
    if (active && TlsFromConnect) {
        socket_->ConnectEncryptedTo(serverName_, port_, ConnectTimeout, Tls);
    } else if (active) {
        socket_->ConnectTo(serverName_, port_, ConnectTimeout);
    } else {
        socket_->CloseSocket();
    }
}

void TKTcpClient::SendBuf(const char* data, std::ptrdiff_t count)
{
    if (data != nullptr && count > 0 && active_) {
        socket_->SendData(std::string_view(data, static_cast<std::size_t>(count)));
    }
}

void TKTcpClient::SendText(std::string_view text)
{
    SendBuf(text.data(), static_cast<std::ptrdiff_t>(text.size()));
}

std::string TKTcpClient::ReceiveText()
{
    return socket_->ReceiveData(TStarSocket::kReceiveBufferBytes);
}

void TKTcpClient::Failed(std::int32_t code)
{
    active_ = false; // the socket layer has closed the connection
    if (OnError) {
        const TKWinSockError e(code);
        OnError(e);
    }
}

} // namespace kitemail
