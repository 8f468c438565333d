// count --explain: golden outputs. Each tests/data/cli-explain/NAME.args holds
// the arguments (NUL-separated) and NAME.expected the output; the tool runs in
// that folder, so files are named relative to it, and its full path prints
// as {dir}.

#include "file_bytes.h"
#include "golden.h"
#include "process_runner.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kitemail::test {
namespace {

constexpr std::string_view kArea = "cli-explain";

std::vector<std::string> ArgsNames()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(GoldenPath(kArea, ""))) {
        if (const std::string file = entry.path().filename().string(); file.ends_with(".args")) {
            names.push_back(file.substr(0, file.size() - 5));
        }
    }
    std::ranges::sort(names);
    return names;
}

std::vector<std::string> SplitAtNul(const std::string& bytes)
{
    std::vector<std::string> args;
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        args.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

class CliExplain : public ::testing::TestWithParam<std::string> {};

TEST_P(CliExplain, PrintsTheTermsOfTheCount)
{
    TempDir home; // no settings of the user's
    const std::string dir = GoldenPath(kArea, "").parent_path().string();
    ProcessOptions o;
    o.workingDir = dir;
    o.setEnv.emplace_back("KITEMAIL_HOME", home.path().string());
    const ProcessResult r = RunCli(SplitAtNul(GoldenInput(kArea, GetParam() + ".args")), o);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    std::string out = r.out;
    for (std::size_t at; (at = out.find(dir + "/")) != std::string::npos;) {
        out.replace(at, dir.size(), "{dir}");
    }
    ExpectGolden(kArea, GetParam(), out);
}

INSTANTIATE_TEST_SUITE_P(Golden, CliExplain, ::testing::ValuesIn(ArgsNames()), GoldenRowName());

} // namespace
} // namespace kitemail::test
