#pragma once
// A server on a loopback port chosen by the system, living on the test's own
// event loop: it accepts connections and lets the test (or a line handler)
// answer, close or stay silent. For driving a client through exact byte
// sequences, splits and closes.

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace kitemail::test {

class LoopbackPeer {
public:
    LoopbackPeer();
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    [[nodiscard]] std::uint16_t Port() const;

    // Called for each accepted connection (the newest becomes current).
    std::function<void(LoopbackPeer&)> onConnected;
    // Called for each whole line the client sent, without its CR LF.
    std::function<void(LoopbackPeer&, const std::string& line)> onLine;

    // To the current connection.
    void Send(std::string_view bytes);
    void CloseConnection();
    // Stop accepting; the port then refuses connections.
    void StopListening();

    [[nodiscard]] int Connections() const noexcept { return connections_; }
    [[nodiscard]] bool ClientClosed() const noexcept { return clientClosed_; }
    // Everything the current connection has sent so far.
    [[nodiscard]] const std::string& Received() const noexcept { return received_; }
    [[nodiscard]] const std::vector<std::string>& Lines() const noexcept { return lines_; }

    // Event-loop waits; false on time-out.
    // Until count connections have been accepted in all.
    bool WaitConnections(int count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool WaitConnected(std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        return WaitConnections(1, timeout);
    }
    bool WaitReceived(std::string_view needle, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool WaitClientClosed(std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    void Accept();
    void Read();

    std::unique_ptr<QObject> context_;
    QTcpServer* server_ = nullptr;
    QTcpSocket* socket_ = nullptr;
    int connections_ = 0;
    bool clientClosed_ = false;
    std::string received_;
    std::string pending_; // bytes after the last whole line
    std::vector<std::string> lines_;
};

} // namespace kitemail::test
