#include "platform/file_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace kitemail {
namespace {

int OpenLockFile(const std::filesystem::path& path, std::string& reason)
{
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = std::string("open: ") + std::strerror(errno);
    }
    return fd;
}

// 0 when locked, else the errno of the attempt.
int TryLock(int fd, FileLock::Kind kind)
{
    const int op = (kind == FileLock::Kind::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    while (::flock(fd, op) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

} // namespace

std::optional<FileLock> FileLock::Acquire(const std::filesystem::path& path, Kind kind,
                                          std::chrono::milliseconds wait, std::string& reason)
{
    const int fd = OpenLockFile(path, reason);
    if (fd < 0) {
        return std::nullopt;
    }
    // Polled rather than blocking: a blocking flock has no deadline, and the
    // holders keep it for milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const int err = TryLock(fd, kind);
        if (err == 0) {
            return FileLock(fd);
        }
        if (err != EWOULDBLOCK) {
            reason = std::string("flock: ") + std::strerror(err);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            reason = "timed out";
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    ::close(fd);
    return std::nullopt;
}

std::optional<FileLock> FileLock::TryAcquire(const std::filesystem::path& path, Kind kind)
{
    std::string reason;
    const int fd = OpenLockFile(path, reason);
    if (fd < 0) {
        return std::nullopt;
    }
    if (TryLock(fd, kind) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock()
{
    // Closing the only descriptor of the open file releases the lock.
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace kitemail
