#pragma once
// The TCP client component: a plain connection to one server that never
// blocks the thread. The host name is looked up and the connection made in
// the background, output is queued, and every network event comes back
// from the event loop as an event of the component. Failures are reported
// only through OnError with a TKWinSockError.
//
// Events are called only when assigned. A handler may set properties of the
// component (close it, send more), but must not destroy it.

#include "net/ktcp_error.h"
#include "net/starsock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kitemail {

using TKErrorEvent = std::function<void(const TKError& e)>;
using TKNotifyEvent = std::function<void()>;

class TKTcpClient {
public:
    // A socket layer of the caller's (a test's) or the one on Qt Network.
    explicit TKTcpClient(std::unique_ptr<TStarSocket> socket = TStarSocket::Create());
    ~TKTcpClient();
    TKTcpClient(const TKTcpClient&) = delete;
    TKTcpClient& operator=(const TKTcpClient&) = delete;

    TKNotifyEvent OnConnect;    // the connection stands
    TKNotifyEvent OnRcvReady;   // received bytes wait for ReceiveText
    TKNotifyEvent OnDisconnect; // the server closed the connection
    TKErrorEvent OnError;       // a lookup, connect or connection failure; the connection is gone
    TKNotifyEvent OnEncrypted;  // StartTls finished
    // The encryption failed or the server's certificate was refused; the
    // connection is gone.
    std::function<void(const TlsFailure& failure)> OnTlsError;

    // TLS from the connect (a POP3S port) when set, read at SetActive(true);
    // the server's certificate is checked against the system's store and
    // the extra certificates of Tls.
    bool TlsFromConnect = false;
    TlsOptions Tls;
    // TLS on the standing connection (after STLS); OnEncrypted or OnTlsError follows.
    void StartTls() { socket_->StartTls(Tls); }
    [[nodiscard]] bool Encrypted() const { return socket_->Encrypted(); }

    [[nodiscard]] const std::string& ServerName() const noexcept { return serverName_; }
    void SetServerName(std::string_view name) { serverName_ = std::string(name); }
    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }
    // A new port while active reconnects there.
    void SetPort(std::uint16_t port);
    [[nodiscard]] bool Active() const noexcept { return active_; }
    // true looks the server up and connects; false closes.
    void SetActive(bool active);
    [[nodiscard]] bool Connected() const { return socket_->Connected(); }

    // How long the lookup and the connect together may take.
    std::chrono::milliseconds ConnectTimeout{std::chrono::seconds(60)};

    // Queue bytes for sending; returns at once. Bytes queued before the
    // connection stands go out once it does.
    void SendBuf(const char* data, std::ptrdiff_t count);
    void SendText(std::string_view text);
    // Everything received and not yet taken (at most the socket layer's
    // receive buffer; more comes with the next OnRcvReady).
    [[nodiscard]] std::string ReceiveText();

private:
    void Failed(std::int32_t code);

    std::unique_ptr<TStarSocket> socket_;
    std::string serverName_;
    std::uint16_t port_ = 0;
    bool active_ = false;
};

} // namespace kitemail
