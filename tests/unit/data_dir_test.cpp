#include "platform/data_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kitemail {
namespace {

namespace fs = std::filesystem;

// A world of environment variables and directories the rule may look at.
struct FakeWorld {
    std::map<std::string, std::string> env;
    std::optional<fs::path> programDir = fs::path("/opt/kitemail");
    std::set<fs::path> writable;
    std::vector<fs::path> created;

    DataDirProbe Probe()
    {
        DataDirProbe probe;
        probe.getEnv = [this](const char* name) -> std::optional<std::string> {
            const auto it = env.find(name);
            return it != env.end() ? std::optional<std::string>(it->second) : std::nullopt;
        };
        probe.programDir = [this] { return programDir; };
        probe.isWritableDir = [this](const fs::path& dir) { return writable.count(dir) > 0; };
        probe.createDirs = [this](const fs::path& dir) {
            created.push_back(dir);
            return true;
        };
        return probe;
    }
};

TEST(DataDirTest, ChoosesInOrderOptionVariableProgramDirectoryHome)
{
    FakeWorld world;
    world.env = {{"KITEMAIL_HOME", "/srv/kite"}, {"HOME", "/home/taro"}};
    world.writable = {"/opt/kitemail"};

    EXPECT_EQ(ResolveDataDir(fs::path("/data/opt"), world.Probe()), fs::path("/data/opt"));
    EXPECT_EQ(ResolveDataDir(std::nullopt, world.Probe()), fs::path("/srv/kite"));

    world.env.erase("KITEMAIL_HOME");
    EXPECT_EQ(ResolveDataDir(std::nullopt, world.Probe()), fs::path("/opt/kitemail"));

    world.writable.clear(); // installed read-only, e.g. under /usr/bin
    world.created.clear();
    EXPECT_EQ(ResolveDataDir(std::nullopt, world.Probe()), fs::path("/home/taro/.local/share/kitemail"));
    EXPECT_EQ(world.created, std::vector<fs::path>{"/home/taro/.local/share/kitemail"});

    world.programDir.reset();
    world.writable = {"/opt/kitemail"};
    EXPECT_EQ(ResolveDataDir(std::nullopt, world.Probe()), fs::path("/home/taro/.local/share/kitemail"));
}

TEST(DataDirTest, EmptySettingsCountAsUnsetAndRelativePathsBecomeAbsolute)
{
    FakeWorld world;
    world.env = {{"KITEMAIL_HOME", ""}};
    world.writable = {"/opt/kitemail"};
    EXPECT_EQ(ResolveDataDir(fs::path(), world.Probe()), fs::path("/opt/kitemail"));

    const fs::path relative = ResolveDataDir(fs::path("rel/dir"), world.Probe());
    EXPECT_TRUE(relative.is_absolute());
    EXPECT_EQ(relative, (fs::current_path() / "rel/dir").lexically_normal());
    EXPECT_EQ(world.created.back(), relative);
}

TEST(DataDirTest, FileNamesInsideTheDirectory)
{
    const fs::path dir = "/srv/kite";
    EXPECT_EQ(SettingsFilePath(dir), fs::path("/srv/kite/Kiteml.ini"));
    EXPECT_EQ(SignaturePath(dir), fs::path("/srv/kite/Signature.txt"));
    EXPECT_EQ(HistoryDirPath(dir), fs::path("/srv/kite/mail"));
}

TEST(DataDirTest, TheRealProbeFindsThisTestProgram)
{
    const DataDirProbe probe = SystemDataDirProbe();
    const std::optional<fs::path> own = probe.programDir();
    ASSERT_TRUE(own.has_value());
    EXPECT_TRUE(fs::is_directory(*own));
    EXPECT_TRUE(probe.isWritableDir(fs::temp_directory_path()));
    EXPECT_FALSE(probe.isWritableDir("/nonexistent/kitemail"));
}

} // namespace
} // namespace kitemail
