#pragma once
// An advisory lock (flock) on a lock file of its own: the file is never the
// data it guards, so replacing the data by a rename leaves the lock alone.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace kitemail {

class FileLock {
public:
    enum class Kind { Shared, Exclusive };

    // Opens (creating it 0600) and locks the file, waiting up to wait for
    // another holder to let go. nullopt with the system's reason, or
    // "timed out" when the wait ran out.
    [[nodiscard]] static std::optional<FileLock> Acquire(const std::filesystem::path& path, Kind kind,
                                                         std::chrono::milliseconds wait, std::string& reason);
    // The lock only when nobody holds a conflicting one now.
    [[nodiscard]] static std::optional<FileLock> TryAcquire(const std::filesystem::path& path, Kind kind);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

private:
    explicit FileLock(int fd) noexcept : fd_(fd) {}
    int fd_ = -1;
};

} // namespace kitemail
