// kitemail-cli run as a user runs it: arguments, files, standard input and
// output, exit codes.

#include "file_bytes.h"
#include "golden.h"
#include "platform/data_dir.h"
#include "process_runner.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "temp_dir.h"
#include "text/jis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <numeric>
#include <tuple>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Every run gets a data folder of its own (AtHome), so that no
// test reads the settings of the user or of the build folder.

// --- the rows of tests/data/cli ---------------------------------------------

// NAME.args: the arguments separated by NUL bytes, then optionally two NUL
// bytes and standard input (the fuzz corpus's format: the rows seed it).
// NAME.expected: the exit code, standard output and standard error, with
// "<home>" for the data folder. The data folder, also the working folder,
// starts as a copy of PREFIX.home (PREFIX the name up to its first "_")
// when there is one, with NAME.ini as its settings file when there is one.
// A run that fails leaves the settings file as it was. NAME.files.expected,
// when there is one, lists what the data folder's mail/ holds afterwards.
class CliRow : public ::testing::TestWithParam<std::string> {};

TEST_P(CliRow, GivesTheExpectedOutput)
{
    const std::string& name = GetParam();
    TempDir home;
    const fs::path homeCopy = GoldenPath("cli", name.substr(0, name.find('_')) + ".home");
    if (fs::is_directory(homeCopy)) {
        fs::copy(homeCopy, home.path(), fs::copy_options::recursive);
    }
    const fs::path ini = SettingsFilePath(home.path());
    if (fs::exists(GoldenPath("cli", name + ".ini"))) {
        fs::copy_file(GoldenPath("cli", name + ".ini"), ini);
    }
    const std::string before = fs::is_regular_file(ini) ? ReadBytes(ini) : "";
    std::string input = GoldenInput("cli", name + ".args");
    ProcessOptions o = AtHome(home.path());
    o.workingDir = home.path().string();
    if (const std::size_t split = input.find(std::string_view("\0\0", 2)); split != std::string::npos) {
        o.input = input.substr(split + 2);
        input.resize(split);
    }
    Args args;
    for (std::size_t start = 0, end = 0; !input.empty() && end != std::string::npos; start = end + 1) {
        end = input.find('\0', start);
        args.push_back(input.substr(start, end - start));
    }
    const ProcessResult r = RunCli(args, o);
    const auto homeAsSaid = [&](std::string text) {
        for (std::size_t at; (at = text.find(home.path().string())) != std::string::npos;) {
            text.replace(at, home.path().string().size(), "<home>");
        }
        return text;
    };
    ExpectGolden("cli", name,
                 "exit " + std::to_string(r.exitCode) + "\n--- stdout\n" + homeAsSaid(r.out) + "--- stderr\n" +
                     homeAsSaid(r.err));
    if (r.exitCode != 0) {
        EXPECT_EQ(fs::is_regular_file(ini) ? ReadBytes(ini) : "", before) << "a refusal changed the settings";
    }
    if (fs::exists(GoldenPath("cli", name + ".files.expected"))) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(home.path() / "mail")) {
            files.push_back(fs::relative(entry.path(), home.path()).string() + "\n");
        }
        std::ranges::sort(files);
        ExpectGolden("cli", name + ".files", std::accumulate(files.begin(), files.end(), std::string()));
    }
}

INSTANTIATE_TEST_SUITE_P(Data, CliRow, ::testing::ValuesIn(GoldenNames("cli", ".args")), GoldenRowName());

// --- convert ----------------------------------------------------------------

// The golden pairs' texts of both directions, every character code and
// every kind of escape among them, end to end: tiny buffers cut escapes and
// pairs everywhere; the default one streams megabytes.
TEST(CliConvert, LargeInputIsByteIdenticalToConvertingItWhole)
{
    TempDir home;
    std::string sjis;
    std::string jis;
    for (const std::string& name : GoldenNames("to_jis")) {
        sjis += GoldenInput("to_jis", name);
        jis += ReadBytes(GoldenPath("to_jis", name + ".expected"));
    }
    for (const std::string& name : GoldenNames("to_sjis")) {
        jis += GoldenInput("to_sjis", name);
    }
    const auto large = [](const std::string& text) {
        std::string out;
        while (out.size() < 4'000'000) {
            out += text;
        }
        return out;
    };
    // Each plan: the texts, then the buffer sizes ("" the default).
    const std::vector<std::tuple<std::string, std::string, Args>> plans = {
        {sjis, jis + "\x1b$", {"16", "17", "19", "1000"}}, {large(sjis), large(jis), {"65536", ""}}};
    for (const auto& [toJis, toSjis, buffers] : plans) {
        for (const std::string& buffer : buffers) {
            for (const auto& [direction, input, expected] :
                 {std::tuple("--to-jis", toJis, SjisToJis(toJis)), std::tuple("--to-sjis", toSjis, JisToSjis(toSjis))}) {
                Args args = {"convert", direction};
                if (!buffer.empty()) {
                    args.insert(args.end(), {"--buffer-size", buffer});
                }
                const ProcessResult r = RunCli(args, AtHome(home.path(), input));
                EXPECT_EQ(std::tuple(r.exitCode, r.err), std::tuple(0, "")) << direction << buffer;
                // Not EXPECT_EQ: a difference would print megabytes.
                EXPECT_TRUE(r.out == expected) << direction << " " << buffer;
            }
        }
    }
}

// A relative path counts as the full one: size + path + 20.
TEST(CliCount, AnAttachmentCountsWithItsFullPath)
{
    TempDir files;
    const std::size_t path = files.Write("photo.jpg", std::string(1000, 'x')).string().size();
    ProcessOptions o = AtHome(files.path());
    o.workingDir = files.path().string();
    const ProcessResult r = RunCli({"count", "--type", "0", "--attach", "photo.jpg"}, o);
    EXPECT_EQ(r.out, std::to_string(1075 + path) + " / 6000\n") << r.err;
}

// Commands run two at a time change the settings file one after the other:
// none loses another's change, whatever the keys, and a hand-edited value
// is warned of and left as it was.
TEST(CliDataDir, ParallelWritersLoseNothing)
{
    TempDir home;
    const ProcessOptions at = AtHome(home.path());
    const auto both = [&](const Args& first, const Args& second) {
        auto a = std::async(std::launch::async, [&] { return RunCli(first, at); });
        const ProcessResult b = RunCli(second, at);
        const ProcessResult r = a.get();
        EXPECT_EQ(std::tuple(r.exitCode, b.exitCode), std::tuple(0, 0)) << r.err << b.err;
    };
    constexpr int kPairs = 20;
    for (int i = 0; i < kPairs; ++i) {
        const std::string n = std::to_string(i);
        both({"book", "add", "a" + n, "a" + n + "@example.jp", "--type", "3"},
             {"book", "add", "b" + n, "b" + n + "@example.jp", "--type", "3"});
    }
    EXPECT_EQ(LoadAllSettings(home.path()).AddressBook.size(), 2u * kPairs);
    int lost = 0;
    for (int i = 0; i < kPairs; ++i) {
        both({"config", "set", "Configuration/FromUser", "user" + std::to_string(i)},
             {"config", "set", "Length/0", std::to_string(1000 + i)});
        const Settings s = LoadAllSettings(home.path());
        lost += (s.FromUser != "user" + std::to_string(i)) + (s.TypeMaxLengths[0] != 1000 + i);
    }
    EXPECT_EQ(lost, 0);

    std::string file = ReadBytes(SettingsFilePath(home.path()));
    file.replace(file.find("Port=25"), 7, "Port=99999999999999999999");
    home.Write("Kiteml.ini", file);
    const ProcessResult set = RunCli({"config", "set", "Configuration/Server", "smtp.example.jp"}, at);
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_NE(set.err.find("kitemail-cli: warning: Kiteml.ini の "), std::string::npos) << set.err;
    EXPECT_NE(ReadBytes(SettingsFilePath(home.path())).find("Port=99999999999999999999\r\n"), std::string::npos);
}

// The walks (a user's setup from the shell, sends, the types, the keyring,
// output that cannot be written): cli_walk_test.cpp.

} // namespace
} // namespace kitemail::test
