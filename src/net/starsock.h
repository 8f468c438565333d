#pragma once
// The socket layer: one client byte stream to a server, driven by the event
// loop of the one thread. It looks the server's name up (IPv4 and IPv6
// addresses alike, trying each in turn), connects under one deadline that
// covers the lookup too, queues what it is given to write and tells as the
// queue drains, keeps at most kReceiveBufferBytes of what the server sent
// until they are taken, and tells when the server ends the connection.
// Failures are told by their Windows Sockets numbers, which every text the
// user sees is keyed on. It makes no protocol decisions. It encrypts the
// connection from the first byte or when the protocol asks for it midway,
// verifying the server's certificate and name, and never lets a failed
// check pass.
//
// The mail component and the TCP client drive this interface; Create()
// gives the one built on Qt Network, and tests drive the protocols through
// an implementation of their own.

#include "net/tls_failure.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kitemail {

class TStarSocket {
public:
    using Hook = std::function<void()>;

    // A server that sends faster than its bytes are taken waits in the
    // network rather than in memory.
    static constexpr std::size_t kReceiveBufferBytes = 64 * 1024;

    TStarSocket() = default;
    virtual ~TStarSocket() = default;
    TStarSocket(const TStarSocket&) = delete;
    TStarSocket& operator=(const TStarSocket&) = delete;

    // Hooks, called only when assigned and only from the event loop, never
    // from inside a call on this object. A hook may close the socket.
    Hook OnSocketLookup;  // the name is resolved; AddressText() is its first address
    Hook OnSocketConnect; // the connection stands; AddressText() is the address reached
    Hook OnSocketRead;    // received bytes wait to be taken with ReceiveData
    Hook OnSocketWrite;   // queued bytes went out
    // The server ended the connection (closed or reset it). Every byte it
    // sent before has been offered through OnSocketRead first.
    Hook OnSocketClose;
    // The connect deadline passed before the connection stood; closed.
    Hook OnSocketTimeout;
    // The lookup, the connect or the connection failed; closed.
    std::function<void(std::uint16_t wsaError)> OnSocketError;
    // StartTls finished: the connection is encrypted and the server verified.
    Hook OnSocketEncrypted;
    // The encryption could not be set up or the server not verified; closed.
    std::function<void(const TlsFailure& failure)> OnSocketTlsError;

    // Closes any connection held and starts a new one: looks host up
    // (unless it is an address written out) and connects to port. A
    // deadline of zero or less means none.
    virtual void ConnectTo(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline) = 0;
    // The same with TLS from the first byte: OnSocketConnect comes once the
    // server's certificate has been verified for host (the deadline covers
    // the handshake too).
    virtual void ConnectEncryptedTo(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline,
                                    const TlsOptions& tls) = 0;
    // Starts TLS on the standing connection (after the server agreed to
    // STARTTLS or STLS), verifying the server for the host connected to;
    // OnSocketEncrypted or OnSocketTlsError follows. A server that has sent
    // more after its agreement is refused: those bytes would pass for
    // encrypted ones.
    virtual void StartTls(const TlsOptions& tls) = 0;
    [[nodiscard]] virtual bool Encrypted() const = 0;
    // Queues bytes; those given before the connection stands wait for it.
    virtual void SendData(std::string_view bytes) = 0;
    // Bytes queued and not yet handed to the network.
    [[nodiscard]] virtual std::size_t QueuedBytes() const = 0;
    // Bytes given and not yet taken by the server: those queued here and
    // those the system still holds unacknowledged. Only its fall tells that
    // the server reads; no event comes for it.
    [[nodiscard]] virtual std::size_t UntakenBytes() const { return QueuedBytes(); }
    // Takes up to max received bytes; empty when none wait.
    [[nodiscard]] virtual std::string ReceiveData(std::size_t max) = 0;
    // Ends the connection (or the attempt) at once; queued and received
    // bytes are dropped and no hook is called for it afterwards.
    virtual void CloseSocket() = 0;
    [[nodiscard]] virtual bool Connected() const = 0;
    // The server's address as text, once the lookup has found one.
    [[nodiscard]] virtual std::string AddressText() const = 0;

    // The socket layer on Qt Network (a QSslSocket, plain until asked).
    [[nodiscard]] static std::unique_ptr<TStarSocket> Create();

protected:
    static void Fire(const Hook& hook)
    {
        if (hook) {
            hook();
        }
    }
};

// True for an IPv4 or IPv6 address written out, which is connected to
// without a lookup.
[[nodiscard]] bool IsAddressLiteral(std::string_view host);

// True for an address of this machine's loopback interface (127.0.0.0/8,
// ::1, or 127.x.y.z mapped into IPv6), written out.
[[nodiscard]] bool IsLoopbackAddress(std::string_view address);

} // namespace kitemail
