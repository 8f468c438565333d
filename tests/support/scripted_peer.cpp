#include "scripted_peer.h"

#include "test_certs.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

namespace kitemail::test {
namespace {

int ListenOnLoopback(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

} // namespace

ScriptedPeer::ScriptedPeer(std::vector<std::string> script, std::chrono::milliseconds ioTimeout)
    : script_(std::move(script)), ioTimeout_(ioTimeout)
{
    listenFd_ = ListenOnLoopback(port_);
    if (listenFd_ < 0) {
        Fail("cannot listen on loopback");
        return;
    }
    run_ = std::async(std::launch::async, [this] { Run(); });
}

ScriptedPeer::~ScriptedPeer()
{
    if (run_.valid()) {
        run_.wait();
    }
    if (connFd_ >= 0) {
        ::close(connFd_);
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
}

bool ScriptedPeer::Join(std::chrono::milliseconds timeout)
{
    return !run_.valid() || run_.wait_for(timeout) == std::future_status::ready;
}

void ScriptedPeer::Fail(const std::string& what)
{
    std::lock_guard lock(mutex_);
    failures_.push_back(what);
}

bool ScriptedPeer::ReadLine(std::string& line)
{
    for (;;) {
        const std::size_t lf = pending_.find("\r\n");
        if (lf != std::string::npos) {
            line = pending_.substr(0, lf);
            pending_.erase(0, lf + 2);
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
            return true;
        }
        if (!ReadMore()) {
            return false;
        }
    }
}

bool ScriptedPeer::ReadMore()
{
    timedOut_ = !WaitReadable(connFd_, ioTimeout_);
    if (timedOut_) {
        return false;
    }
    char buf[65536];
    const ssize_t n = ::recv(connFd_, buf, sizeof buf, 0);
    if (n > 0) {
        pending_.append(buf, static_cast<std::size_t>(n));
    }
    return n > 0;
}

void ScriptedPeer::RefusedHandshake(const std::string& certName)
{
    SSL_CTX* const context = SSL_CTX_new(TLS_server_method());
    const bool loaded =
        SSL_CTX_use_certificate_chain_file(context, CertFile(certName).c_str()) == 1 &&
        SSL_CTX_use_PrivateKey_file(context, CertFile("server.key").c_str(), SSL_FILETYPE_PEM) == 1;
    // The handshake blocks: bounded as every other wait of the script, but
    // longer, since a client under the sanitizers on a loaded machine can
    // take seconds to load its trust store before its first byte.
    const std::chrono::milliseconds bound = 4 * ioTimeout_;
    const timeval limit{static_cast<time_t>(bound.count() / 1000),
                        static_cast<suseconds_t>(bound.count() % 1000 * 1000)};
    ::setsockopt(connFd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(connFd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    SSL* const tls = SSL_new(context);
    SSL_set_fd(tls, connFd_);
    const bool accepted = loaded && SSL_accept(tls) == 1;
    ERR_clear_error();
    SSL_free(tls);
    SSL_CTX_free(context);
    if (!loaded || accepted) {
        Fail(loaded ? "the client accepted the certificate " + certName : "cannot load the certificate " + certName);
    }
}

bool ScriptedPeer::SendAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(connFd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Bytes without a line end for as long as the client takes them; it is
// expected to give up and close.
bool ScriptedPeer::Flood()
{
    const std::string block(64 * 1024, 'x');
    for (;;) {
        pollfd p{connFd_, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(ioTimeout_.count())) <= 0) {
            Fail("the client neither read on nor closed");
            return false;
        }
        if ((p.revents & (POLLERR | POLLHUP)) != 0) {
            return true;
        }
        const ssize_t n = ::send(connFd_, block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN) {
            return true; // closed or reset by the client
        }
        std::lock_guard lock(mutex_);
        flooded_ += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

bool ScriptedPeer::Step(const std::string& step)
{
    if (step.rfind("S: ", 0) == 0) {
        if (!SendAll(step.substr(3) + "\r\n")) {
            Fail("cannot send: " + step.substr(0, 200));
            return false;
        }
    } else if (step.rfind("W: ", 0) == 0) {
        return SendAll(step.substr(3));
    } else if (step.rfind("DRIP ", 0) == 0) {
        const std::size_t space = step.find(' ', 5);
        const std::chrono::milliseconds pause(std::stoi(step.substr(5, space - 5)));
        for (const char c : step.substr(space + 1) + "\r\n") {
            if (!SendAll(std::string_view(&c, 1))) {
                return true; // the client gave up: that is its business
            }
            std::this_thread::sleep_for(pause);
        }
    } else if (step.rfind("C: ", 0) == 0) {
        std::string want = step.substr(3);
        std::string got;
        if (!ReadLine(got)) {
            Fail("expected \"" + want + "\", got nothing");
            return false;
        }
        const bool prefix = !want.empty() && want.back() == '*';
        if (prefix) {
            want.pop_back();
        }
        if (prefix ? got.rfind(want, 0) != 0 : got != want) {
            Fail("expected \"" + step.substr(3) + "\", got \"" + got + "\"");
            return false;
        }
    } else if (step == "DATA") {
        std::string line;
        for (;;) {
            if (!ReadLine(line)) {
                Fail("message ended without \".\"");
                return false;
            }
            if (line == ".") {
                break;
            }
            std::lock_guard lock(mutex_);
            data_ += line + "\r\n";
        }
    } else if (step == "DRAIN" || step == "EXPECT_CLOSE") {
        while (ReadMore()) {
        }
        if (timedOut_) {
            Fail("the client did not close");
            return false;
        }
        const std::string got = std::exchange(pending_, {});
        if (step == "EXPECT_CLOSE" && !got.empty()) {
            Fail("unexpected bytes before close: " + got.substr(0, 200));
            return false;
        }
        std::lock_guard lock(mutex_);
        data_ += got;
    } else if (step.rfind("TLS_REFUSED ", 0) == 0) {
        RefusedHandshake(step.substr(12));
        return false;
    } else if (step == "CLOSE" || step == "RESET") {
        if (step == "RESET") {
            const linger reset{1, 0};
            ::setsockopt(connFd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        ::close(connFd_);
        connFd_ = -1;
    } else if (step == "FLOOD") {
        return Flood();
    } else if (step.rfind("SLEEP ", 0) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(step.substr(6))));
    } else {
        Fail("bad step: " + step);
        return false;
    }
    return true;
}

bool ScriptedPeer::Accept()
{
    if (!WaitReadable(listenFd_, ioTimeout_)) {
        return false;
    }
    connFd_ = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    return connFd_ >= 0;
}

void ScriptedPeer::Run()
{
    bool ok = Accept();
    if (!ok) {
        Fail("no connection");
    }
    for (std::size_t i = 0; ok && i < script_.size(); ++i) {
        ok = Step(script_[i]);
    }
}

std::uint16_t ClosedLoopbackPort()
{
    std::uint16_t port = 0;
    const int fd = ListenOnLoopback(port);
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

} // namespace kitemail::test
