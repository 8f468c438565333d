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
    std::set<fs::path> writable{"/opt/kitemail"};
    std::vector<fs::path> created;

    fs::path Resolve(const std::optional<fs::path>& option = std::nullopt)
    {
        DataDirProbe probe;
        probe.getEnv = [this](const char* name) {
            return env.contains(name) ? std::optional<std::string>(env.at(name)) : std::nullopt;
        };
        probe.programDir = [this] { return programDir; };
        probe.isWritableDir = [this](const fs::path& dir) { return writable.count(dir) > 0; };
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
    EXPECT_EQ(world.Resolve(fs::path()), fs::path("/opt/kitemail"));

    world.writable.clear(); // installed read-only, e.g. under /usr/bin
    world.created.clear();
    EXPECT_EQ(world.Resolve(), home);
    EXPECT_EQ(world.created, std::vector<fs::path>{home});
    world.programDir.reset();
    world.writable = {"/opt/kitemail"};
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
    EXPECT_TRUE(probe.isWritableDir(fs::temp_directory_path()));
    EXPECT_FALSE(probe.isWritableDir("/nonexistent/kitemail"));
}

} // namespace
} // namespace kitemail
