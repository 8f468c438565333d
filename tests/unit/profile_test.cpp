// The settings file's reader and writer: a missing file, its mode, links and
// refused saves. Names, numbers, values and unknown content are walks
// (walks_test).

#include "platform/profile.h"
#include "platform/text_codec.h"

#include "file_bytes.h"
#include "golden.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h> // mkfifo

namespace kitemail {
namespace {

namespace fs = std::filesystem;
using namespace test;

class ProfileTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path dir{tmp.path().toStdString()};
    fs::path ini = dir / "Kiteml.ini";

    std::size_t Entries() const { return static_cast<std::size_t>(std::ranges::distance(fs::directory_iterator(dir))); }
};

TEST_F(ProfileTest, MissingFileReadsDefaultsAndSavesOwnerOnlyWhatWasWritten)
{
    Profile p(ini);
    EXPECT_EQ(p.ReadString("Configuration", "Server", "def"), "def");
    EXPECT_FALSE(fs::exists(ini)); // reading never creates the file

    p.WriteString("TEL", "How", "0");
    p.WriteInt("Configuration", "Port", 2525);
    p.WriteBool("Configuration", "7", false);
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ReadBytes(ini), "[TEL]\r\nHow=0\r\n[Configuration]\r\nPort=2525\r\n7=0\r\n");
    EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0600)); // it holds the POP3 password

    fs::permissions(ini, fs::perms(0644));
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0600));
    EXPECT_EQ(Entries(), 1u); // no temporary file left behind

    // A symbolic link keeps pointing at the real file.
    fs::create_symlink(ini, dir / "link.ini");
    Profile viaLink(dir / "link.ini");
    viaLink.WriteInt("TEL", "How", 2);
    ASSERT_TRUE(viaLink.Save().ok());
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_TRUE(ReadBytes(ini).starts_with("[TEL]\r\nHow=2\r\n"));
}

TEST_F(ProfileTest, RefusedSavesNameThePathAndLeaveWhatWasThere)
{
    // sizeLimit: a file-size limit makes the write fail as a full disk would.
    const auto refused = [this](const fs::path& path, std::optional<rlim_t> sizeLimit = std::nullopt) {
        const std::size_t before = Entries();
        Profile p(path);
        p.WriteString("Configuration", "SignatureA", std::string(2000, 's'));
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{sizeLimit.value_or(saved.rlim_cur), saved.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const SaveResult result = p.Save();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_EQ(result.failedPath, path);
        EXPECT_EQ(result.message, DisplayPath(path) + Sj(" に書き込めません"));
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(Entries(), before); // no temporary file left behind
    };
    const std::string old = "[Configuration]\r\nServer=old\r\n";
    WriteBytes(ini, old);
    refused(ini, 512);
    EXPECT_EQ(ReadBytes(ini), old);

    fs::remove(ini);
    fs::create_directories(ini / "inside"); // a directory in place of the file
    refused(ini);
    EXPECT_TRUE(fs::is_directory(ini / "inside"));

    // Root reads any mode, so a named pipe stands in for a file that exists
    // but cannot be read: its content would be lost, so it is never replaced.
    const fs::path pipe = dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    refused(pipe);
    EXPECT_TRUE(fs::is_fifo(pipe));

    refused(dir / "missing" / "Kiteml.ini");

    // The path in those texts shows Japanese and names what Shift_JIS cannot hold.
    EXPECT_EQ(DisplayPath("/home/太郎/Kiteml.ini"), Sj("/home/太郎/Kiteml.ini"));
    EXPECT_EQ(DisplayPath("/home/\xc3\xa9/x"), "/home/" + CodePointName(0xE9) + "/x");
}

} // namespace
} // namespace kitemail
