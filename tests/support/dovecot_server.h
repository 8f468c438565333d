#pragma once
// A real POP3 server for tests: the system's dovecot, standalone on a free
// loopback port with a configuration, a password file and a mail home of its
// own in a temporary folder. Started and stopped by the test itself.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace kitemail::test {

class DovecotServer {
public:
    struct User {
        std::string name;
        std::string password;
    };

    DovecotServer() = default;
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // True when dovecot is installed and the tests may start it (it needs
    // to run as root here).
    [[nodiscard]] static bool Available();

    // Starts dovecot for these users and waits until it greets; false (with
    // Error() saying why) when it does not come up. With tls, it offers STLS
    // on Port() and POP3 over TLS on TlsPort(), with the test certificate
    // for localhost.
    [[nodiscard]] bool Start(const std::vector<User>& users, bool tls = false);
    // SIGTERM, then waits for the process to end.
    void Stop();

    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }
    [[nodiscard]] std::uint16_t TlsPort() const noexcept { return tlsPort_; }
    [[nodiscard]] const std::string& Error() const noexcept { return error_; }
    // dovecot's own log so far, for failure messages.
    [[nodiscard]] std::string Log() const;
    // Number of successful logins the log reports.
    [[nodiscard]] int LoginCount() const;

private:
    bool StartOnce(const std::vector<User>& users, bool tls);
    bool WaitReady(std::chrono::milliseconds timeout);
    void RemoveFolder();

    std::filesystem::path dir_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::uint16_t tlsPort_ = 0;
    std::string error_;
};

} // namespace kitemail::test
