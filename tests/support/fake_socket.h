#pragma once
// A socket layer the test plays the server of: it records what the client
// writes and lets the test deliver the server's bytes, its close, a failure
// or the connection itself, each as the event loop would. By default the
// network takes everything written at once; Hold() keeps written bytes
// queued until Drain() lets them go, as a slow reader would.

#include "net/starsock.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kitemail::test {

class FakeSocket : public TStarSocket {
public:
    void ConnectTo(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline) override;
    void ConnectEncryptedTo(std::string_view host, std::uint16_t port, std::chrono::milliseconds deadline,
                            const TlsOptions& tls) override;
    void StartTls(const TlsOptions& tls) override;
    [[nodiscard]] bool Encrypted() const override { return encrypted_; }
    void SendData(std::string_view bytes) override;
    [[nodiscard]] std::size_t QueuedBytes() const override { return queued_; }
    [[nodiscard]] std::string ReceiveData(std::size_t max) override;
    void CloseSocket() override;
    [[nodiscard]] bool Connected() const override { return connected_; }
    [[nodiscard]] std::string AddressText() const override { return address_; }

    // The server's side.
    void Accept(std::string address = "192.0.2.25"); // the lookup (for a name), then the connection
    // The handshake StartTls began (or the one of ConnectEncryptedTo, at Accept) succeeds or fails.
    void CompleteTls();
    void RefuseTls(const TlsFailure& failure);
    void Deliver(std::string_view bytes);
    void CloseFromServer();
    void FailWith(std::uint16_t wsaError);
    void ConnectDeadlinePassed();
    void Hold() { holding_ = true; }
    void Release() { holding_ = false; }
    void Drain(std::size_t bytes);
    [[nodiscard]] bool Attempting() const noexcept { return attempting_; }

    // What the client did.
    std::string host;
    std::uint16_t port = 0;
    std::chrono::milliseconds deadline{0};
    int connects = 0;
    std::string written;         // everything the client wrote, in order; "<TLS>" where StartTls was called
    bool closedByClient = false; // the client closed a connection it held

private:
    bool tlsFromConnect_ = false;
    bool attempting_ = false;
    bool connected_ = false;
    bool encrypted_ = false;
    bool holding_ = false;
    std::size_t queued_ = 0;
    std::string incoming_;
    std::string address_;
};

} // namespace kitemail::test
