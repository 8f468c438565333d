#include "golden.h"

#include "file_bytes.h"

#include <algorithm>
#include <cstdlib>

namespace kitemail::test {

namespace fs = std::filesystem;

std::vector<std::string> GoldenNames(std::string_view area)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(GoldenPath(area, ""))) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.ends_with(".expected")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

fs::path GoldenPath(std::string_view area, std::string_view name)
{
    return fs::path(KITEMAIL_TEST_DATA_DIR) / area / name;
}

std::string GoldenInput(std::string_view area, std::string_view name)
{
    return ReadBytes(GoldenPath(area, name));
}

void ExpectGolden(std::string_view area, std::string_view name, const std::string& actual)
{
    fs::path expected = GoldenPath(area, name);
    expected += ".expected";
    const char* update = std::getenv("KITEMAIL_UPDATE_GOLDEN");
    if (update != nullptr && std::string_view(update) == "1") {
        if (!fs::exists(expected) || ReadBytes(expected) != actual) {
            WriteBytes(expected, actual);
        }
        return;
    }
    ASSERT_TRUE(fs::exists(expected)) << expected << " is missing";
    EXPECT_EQ(actual, ReadBytes(expected)) << "differs from " << expected;
}

} // namespace kitemail::test
