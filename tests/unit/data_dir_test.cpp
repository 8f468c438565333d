#include "platform/data_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kitemail {
namespace {

namespace fs = std::filesystem;

// A world of environment variables and directories the rule may look at.
struct FakeWorld {
    std::map<std::string, std::string> env{{"KITEMAIL_HOME", "/srv/kite"}, {"HOME", "/home/taro"}};
    std::optional<fs::path> programDir = fs::path("/opt/kitemail");
    std::set<fs::path> files;
    std::vector<fs::path> created;

    fs::path Resolve(const std::optional<fs::path>& option = std::nullopt)
    {
        DataDirProbe probe;
        probe.getEnv = [this](const char* name) {
            return env.contains(name) ? std::optional<std::string>(env.at(name)) : std::nullopt;
        };
        probe.programDir = [this] { return programDir; };
        probe.exists = [this](const fs::path& file) { return files.count(file) > 0; };
        probe.createDirs = [this](const fs::path& dir) { created.push_back(dir); return true; };
        return ResolveDataDir(option, probe);
    }
};

TEST(DataDirTest, ChoosesInOrderOptionVariableProgramDirectoryHome)
{
    const fs::path home = "/home/taro/.local/share/kitemail";
    FakeWorld world;
    EXPECT_EQ(world.Resolve(fs::path("/data/opt")), fs::path("/data/opt"));
    EXPECT_EQ(world.Resolve(), fs::path("/srv/kite"));
    world.env["KITEMAIL_HOME"] = ""; // empty counts as unset

    // Installed: never beside the binary, whoever runs it.
    world.created.clear();
    EXPECT_EQ(world.Resolve(fs::path()), home);
    EXPECT_EQ(world.created, std::vector<fs::path>{home});
    world.env["XDG_DATA_HOME"] = "/home/taro/data";
    EXPECT_EQ(world.Resolve(), fs::path("/home/taro/data/kitemail"));
    world.env["XDG_DATA_HOME"] = "relative/data"; // not absolute: ignored
    EXPECT_EQ(world.Resolve(), home);

    // A portable copy with its settings, and a build folder, keep theirs.
    world.files = {"/opt/kitemail/Kiteml.ini"};
    EXPECT_EQ(world.Resolve(), fs::path("/opt/kitemail"));
    world.files = {"/opt/kitemail/CMakeCache.txt"};
    EXPECT_EQ(world.Resolve(), fs::path("/opt/kitemail"));
    world.programDir.reset();
    EXPECT_EQ(world.Resolve(), home);

    // A relative option is made absolute before it is created.
    const fs::path relative = world.Resolve(fs::path("rel/dir"));
    EXPECT_EQ(relative, (fs::current_path() / "rel/dir").lexically_normal());
    EXPECT_EQ(world.created.back(), relative);
}

TEST(DataDirTest, TheRealProbeFindsThisTestProgram)
{
    const DataDirProbe probe = SystemDataDirProbe();
    const std::optional<fs::path> own = probe.programDir();
    EXPECT_TRUE(own && fs::is_directory(*own));
    EXPECT_TRUE(probe.exists(fs::temp_directory_path()));
    EXPECT_FALSE(probe.exists("/nonexistent/kitemail"));
}

} // namespace
} // namespace kitemail
