#pragma once
// Runs a built program as a user would: arguments, standard input, extra
// environment; collects standard output, standard error and the exit code.

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kitemail::test {

struct ProcessOptions {
    std::string input;                                       // standard input
    std::vector<std::pair<std::string, std::string>> setEnv; // added to (or replacing in) the environment
    std::string workingDir;                                  // empty: the current one
    std::string home;                                        // not empty: KITEMAIL_HOME, the data folder
    std::chrono::milliseconds timeout{120000};               // killed after this
};

// Options with home as the data folder, and standard input.
[[nodiscard]] ProcessOptions AtHome(const std::filesystem::path& home, std::string input = {});

struct ProcessResult {
    int exitCode = -1; // -1 when it did not exit by itself
    std::string out;
    std::string err;
};

// Arguments are bytes, passed as they are (Shift_JIS ones too).
[[nodiscard]] ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                       const ProcessOptions& options = {});

// The command-line tool of this build (KITEMAIL_CLI_PATH).
[[nodiscard]] ProcessResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options = {});

} // namespace kitemail::test
