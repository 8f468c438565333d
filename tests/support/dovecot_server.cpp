#include "dovecot_server.h"

#include "file_bytes.h"
#include "scripted_peer.h"
#include "test_certs.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kitemail::test {
namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";

// One line (up to LF) from a socket whose reads time out.
std::string ReadLine(int s)
{
    std::string line;
    char c = 0;
    while (!line.ends_with('\n') && ::recv(s, &c, 1, 0) == 1) {
        line += c;
    }
    return line;
}

// Connects, reads the greeting and says QUIT: a bare connect that is dropped
// at once makes dovecot slow to stop later.
bool Greets(std::uint16_t port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit{3, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const sockaddr_in addr{
        .sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
                    ReadLine(s).starts_with("+OK") && ::send(s, "QUIT\r\n", 6, MSG_NOSIGNAL) == 6 &&
                    !ReadLine(s).empty();
    if (s >= 0) {
        ::close(s);
    }
    return ok;
}

} // namespace

DovecotServer::~DovecotServer()
{
    Stop();
    RemoveFolder();
}

bool DovecotServer::Available()
{
    return ::geteuid() == 0 && ::access(kDovecot, X_OK) == 0 && ::getpwnam("nobody") != nullptr;
}

bool DovecotServer::Start(const std::vector<User>& users, bool tls)
{
    // Another process may take the free port between our probe and
    // dovecot's bind; a second port then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (StartOnce(users, tls)) {
            return true;
        }
        Stop();
        RemoveFolder();
    }
    return false;
}

bool DovecotServer::StartOnce(const std::vector<User>& users, bool tls)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "kitemail-dovecot-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = "mkdtemp failed";
        return false;
    }
    dir_ = pattern;
    // dovecot's auth process runs as its own user and must reach the
    // password file.
    fs::permissions(dir_, fs::perms(0755));
    fs::create_directories(dir_ / "base");
    fs::create_directories(dir_ / "state");
    fs::create_directories(dir_ / "home");
    const passwd* nobody = ::getpwnam("nobody");
    const group* nogroup = ::getgrnam("nogroup");
    if (nobody == nullptr || nogroup == nullptr ||
        ::chown((dir_ / "home").c_str(), nobody->pw_uid, nogroup->gr_gid) != 0) {
        error_ = "cannot give the mail home to nobody:nogroup";
        return false;
    }

    {
        std::ofstream out(dir_ / "users");
        for (const User& u : users) {
            out << u.name << ":{PLAIN}" << u.password << "\n";
        }
    }
    port_ = ClosedLoopbackPort();
    tlsPort_ = tls ? ClosedLoopbackPort() : 0;
    const std::string d = dir_.string();
    {
        std::ofstream conf(dir_ / "dovecot.conf");
        conf << "base_dir = " << d << "/base\n"
             << "state_dir = " << d << "/state\n"
             << "log_path = " << d << "/dovecot.log\n"
             << "protocols = pop3\n"
             << "listen = 127.0.0.1\n"
             << (tls ? "ssl = yes\nssl_cert = <" + CertFile("server") + "\nssl_key = <" + CertFile("server.key") + "\n"
                     : std::string("ssl = no\n"))
             << "disable_plaintext_auth = no\n"
             << "mail_location = maildir:~/Maildir\n"
             // Without this first passdb every failed login is delayed by
             // seconds, growing per attempt.
             << "passdb {\n  driver = static\n  args = noauthenticate nodelay=y\n"
             << "  result_success = continue\n}\n"
             << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " << d << "/users\n}\n"
             << "userdb {\n  driver = static\n  args = uid=nobody gid=nogroup home=" << d << "/home\n}\n"
             << "service pop3-login {\n"
             << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << port_ << "\n  }\n"
             << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << tlsPort_ << "\n  }\n"
             << "}\n";
    }

    const std::string conf = (dir_ / "dovecot.conf").string();
    const std::string output = (dir_ / "output.txt").string();
    pid_ = ::fork();
    if (pid_ < 0) {
        error_ = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        ::execl(kDovecot, kDovecot, "-F", "-c", conf.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (!WaitReady(std::chrono::seconds(10))) {
        error_ = "dovecot did not greet on port " + std::to_string(port_) + ": " + ReadBytes(output) + Log();
        return false;
    }
    return true;
}

bool DovecotServer::WaitReady(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1; // it gave up (a port taken, a bad configuration)
            return false;
        }
        if (Greets(port_)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void DovecotServer::Stop()
{
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

void DovecotServer::RemoveFolder()
{
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        dir_.clear();
    }
}

std::string DovecotServer::Log() const
{
    return dir_.empty() ? std::string() : ReadBytes(dir_ / "dovecot.log");
}

int DovecotServer::LoginCount() const
{
    const std::string log = Log();
    int count = 0;
    for (std::size_t at = log.find("Login: user="); at != std::string::npos; at = log.find("Login: user=", at + 1)) {
        ++count;
    }
    return count;
}

} // namespace kitemail::test
