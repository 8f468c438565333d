#pragma once
// A loopback server that plays a written dialogue, for the faults a real
// server will not produce on demand. It listens on a port the system picks
// and runs its script on its own thread with blocking sockets, so the
// client under test keeps the test's event loop to itself.
//
// Steps, one string each:
//   "S: text"   send text + CR LF
//   "W: text"   send text as it is, no line end added; a client that closes
//               meanwhile ends the script quietly (it may well give up on it)
//   "DRIP ms text"  send text + CR LF a byte at a time, ms apart
//   "C: text"   read one line and expect exactly text; "C: text*" expects
//               a line starting with text
//   "DATA"      read message lines up to the lone "." (kept in Data())
//   "DRAIN"     read everything until the client closes (kept in Data())
//   "CLOSE"     close the connection
//   "RESET"     reset the connection (a close that discards, RST)
//   "FLOOD"     send bytes without any line end until the client closes
//               (counted in FloodBytes())
//   "SLEEP ms"  pause
//   "EXPECT_CLOSE" expect the client to close without sending more
//   "TLS_REFUSED name"  the server's side of a TLS handshake with the test
//               certificate name (test_certs.h), which the client must
//               refuse; the script ends there
// A failed expectation ends the script and is reported by Failures().

#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail::test {

class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<std::string> script,
                          std::chrono::milliseconds ioTimeout = std::chrono::milliseconds(5000));
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }

    // Waits for the script to end (or gives up after timeout).
    bool Join(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

    [[nodiscard]] std::vector<std::string> Failures() const { return Locked(failures_); }
    // Every line the client sent, in order (message lines included).
    [[nodiscard]] std::vector<std::string> ClientLines() const { return Locked(lines_); }
    [[nodiscard]] std::string Data() const { return Locked(data_); }
    [[nodiscard]] std::size_t FloodBytes() const { return Locked(flooded_); }

private:
    // A copy of what the script's thread writes.
    template <class T>
    T Locked(const T& value) const
    {
        std::lock_guard lock(mutex_);
        return value;
    }
    void Run();
    bool Step(const std::string& step);
    bool Accept();
    bool SendAll(std::string_view bytes);
    bool Flood();
    bool ReadLine(std::string& line);
    void RefusedHandshake(const std::string& certName);
    // More of the client's bytes into pending_; false at its close, a
    // failure or the time-out (then timedOut_).
    bool ReadMore();
    void Fail(const std::string& what);

    std::vector<std::string> script_;
    std::chrono::milliseconds ioTimeout_;
    int listenFd_ = -1;
    int connFd_ = -1;
    std::uint16_t port_ = 0;
    std::string pending_;
    bool timedOut_ = false;
    mutable std::mutex mutex_;
    std::vector<std::string> failures_;
    std::vector<std::string> lines_;
    std::string data_;
    std::size_t flooded_ = 0;
    std::future<void> run_; // its end is the script's; every wait of the script is bounded
};

// A loopback port on which nothing listens (a connect is refused).
[[nodiscard]] std::uint16_t ClosedLoopbackPort();

} // namespace kitemail::test
