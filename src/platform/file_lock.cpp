#include "platform/file_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace kitemail {
namespace {

// Short first, so that a lock held for a moment costs little; then no
// faster than a human would notice.
constexpr std::chrono::milliseconds kFirstPoll{2};
constexpr std::chrono::milliseconds kLongestPoll{50};

int OpenLockFile(const std::filesystem::path& path)
{
    int fd;
    do {
        // Read-only is enough for flock, and works on a lock file the user made read-only.
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

FileLock FileLock::Try(const std::filesystem::path& lockFile, Mode mode)
{
    return Acquire(lockFile, mode, std::chrono::steady_clock::time_point::min());
}

FileLock FileLock::Wait(const std::filesystem::path& lockFile, Mode mode, std::chrono::milliseconds timeout)
{
    return Acquire(lockFile, mode, std::chrono::steady_clock::now() + timeout);
}

FileLock FileLock::Acquire(const std::filesystem::path& lockFile, Mode mode,
                           std::chrono::steady_clock::time_point deadline)
{
    FileLock lock;
    const auto fail = [&lock, &lockFile](Status status, const char* reason) {
        lock.Release();
        lock.status_ = status;
        lock.error_ = lockFile.string() + ": " + reason;
        return std::move(lock);
    };
    lock.fd_ = OpenLockFile(lockFile);
    if (lock.fd_ < 0) {
        return fail(Status::Failed, std::strerror(errno));
    }
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    std::chrono::milliseconds poll = kFirstPoll;
    for (;;) {
        if (::flock(lock.fd_, operation) == 0) {
            lock.status_ = Status::Locked;
            return lock;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            return fail(Status::Failed, std::strerror(errno));
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return fail(Status::Busy, "held by another process");
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(poll, deadline - now));
        poll = std::min(poll * 2, kLongestPoll);
    }
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      status_(std::exchange(other.status_, Status::Unlocked)),
      error_(std::move(other.error_))
{
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        status_ = std::exchange(other.status_, Status::Unlocked);
        error_ = std::move(other.error_);
    }
    return *this;
}

FileLock::~FileLock()
{
    Release();
}

void FileLock::Release() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_); // closing the only descriptor drops the lock
        fd_ = -1;
    }
    status_ = Status::Unlocked;
}

} // namespace kitemail
