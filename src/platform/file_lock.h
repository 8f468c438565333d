#pragma once
// An advisory lock (flock) on a lock file, held for the life of the object.
//
// The lock file is opened, or created 0600 when missing, and never removed:
// removing it would let two processes lock two different files of one name.
// The kernel drops the lock when its holder ends, however it ends, so a
// killed process never leaves a lock behind. Shared locks exist side by side;
// an exclusive one excludes every other lock, this process's included (each
// FileLock opens the file anew).
//
//   FileLock lock = FileLock::Wait(dir / ".lock", FileLock::Mode::Exclusive, 5s);
//   if (!lock) { report lock.Error(); return; }
//   ... read, change, replace ...
//   // released when `lock` goes out of scope (or by Release()).

#include <chrono>
#include <filesystem>
#include <string>

namespace kitemail {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };
    enum class Status {
        Unlocked, // default-made, moved from or released
        Locked,
        Busy,     // another holder kept it until the deadline
        Failed,   // the lock file could not be opened or locked
    };

    // Takes the lock only when it is free right now.
    [[nodiscard]] static FileLock Try(const std::filesystem::path& lockFile, Mode mode);
    // Polls until it is free or `timeout` has passed, whichever comes first;
    // the caller's thread sleeps in between.
    [[nodiscard]] static FileLock Wait(const std::filesystem::path& lockFile, Mode mode,
                                       std::chrono::milliseconds timeout);

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    [[nodiscard]] bool Held() const noexcept { return status_ == Status::Locked; }
    explicit operator bool() const noexcept { return Held(); }
    [[nodiscard]] Status State() const noexcept { return status_; }
    // When not held after Try or Wait: the lock file's path and why, e.g.
    // "/data/.lock: held by another process" or "/data/.lock: Permission denied".
    [[nodiscard]] const std::string& Error() const noexcept { return error_; }

    // Unlocks and closes the lock file; nothing when not held.
    void Release() noexcept;

private:
    static FileLock Acquire(const std::filesystem::path& lockFile, Mode mode,
                            std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    Status status_ = Status::Unlocked;
    std::string error_;
};

} // namespace kitemail
