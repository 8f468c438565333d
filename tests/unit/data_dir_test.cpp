// The data folder's rule is a walk (walks_test, data_dir); here the probe
// it uses in the program.

#include "platform/data_dir.h"

#include <gtest/gtest.h>

namespace kitemail {
namespace {

namespace fs = std::filesystem;

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
