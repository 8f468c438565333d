// The advisory lock: shared beside shared, exclusive alone, a bounded wait,
// and a holder that is killed leaves no lock behind.

#include "platform/file_lock.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kitemail::test {
namespace {

using namespace std::chrono_literals;
using Mode = FileLock::Mode;
using Status = FileLock::Status;

TEST(FileLock, SharedBesideSharedExclusiveAloneWaitBounded)
{
    TempDir dir;
    const std::filesystem::path path = dir.path() / ".lock";
    const mode_t old = ::umask(0);
    FileLock a = FileLock::Try(path, Mode::Shared);
    ::umask(old);
    ASSERT_EQ(a.State(), Status::Locked) << a.Error();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600U) << "made for its owner alone";

    EXPECT_TRUE(FileLock::Try(path, Mode::Shared).Held());
    const FileLock busy = FileLock::Try(path, Mode::Exclusive);
    EXPECT_EQ(busy.State(), Status::Busy);
    EXPECT_EQ(busy.Error(), path.string() + ": held by another process");

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FileLock::Wait(path, Mode::Exclusive, 100ms).State(), Status::Busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);

    FileLock moved = std::move(a);
    EXPECT_EQ(FileLock::Try(path, Mode::Exclusive).State(), Status::Busy) << "the lock went with the move";
    moved.Release();
    FileLock exclusive = FileLock::Wait(path, Mode::Exclusive, 100ms);
    EXPECT_TRUE(exclusive.Held());
    EXPECT_EQ(FileLock::Try(path, Mode::Shared).State(), Status::Busy);

    const FileLock nowhere = FileLock::Try(dir.path() / "missing" / ".lock", Mode::Shared);
    EXPECT_EQ(nowhere.State(), Status::Failed);
    EXPECT_NE(nowhere.Error().find("No such file or directory"), std::string::npos);
}

TEST(FileLock, AKilledHolderLeavesNoLock)
{
    TempDir dir;
    const std::filesystem::path path = dir.path() / ".lock";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const FileLock held = FileLock::Try(path, Mode::Exclusive);
        const char byte = held.Held() ? '1' : '0';
        if (::write(ready[1], &byte, 1) == 1) {
            ::pause();
        }
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(byte, '1');
    EXPECT_EQ(FileLock::Try(path, Mode::Shared).State(), Status::Busy);
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    EXPECT_TRUE(FileLock::Try(path, Mode::Shared).Held());
}

} // namespace
} // namespace kitemail::test
