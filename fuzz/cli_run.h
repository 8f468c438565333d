#pragma once
// Runs a kitemail-cli command in-process for the command-line targets, as the
// tool would run it: standard input and output are files in memory, the
// working folder is an empty one, and what the command says on standard
// error is kept aside so that the fuzzer's own report stays readable.
//
// Input: the command and its arguments separated by NUL bytes, then
// optionally two NUL bytes and standard input.

#include "cli/command.h"
#include "fuzz_support.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

// Where the sanitizers write their reports; only there in a sanitized build.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace kitemail::fuzz {

struct CliInput {
    std::vector<std::string_view> args; // the command's name first
    std::string_view stdinBytes;
};

inline CliInput SplitCliInput(std::string_view input)
{
    CliInput cli;
    if (const std::size_t split = input.find(std::string_view("\0\0", 2)); split != std::string_view::npos) {
        cli.stdinBytes = input.substr(split + 2);
        input = input.substr(0, split);
    }
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        cli.args.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    return cli;
}

// A command that reads files is run only on arguments without "/", so that
// no path can leave the empty working folder (a FIFO or a device there would
// block or grow without end).
inline bool NamesAPath(std::span<const std::string_view> args)
{
    return std::ranges::any_of(args, [](std::string_view a) { return a.find('/') != std::string_view::npos; });
}

// The command of that name when it is one of `allowed`.
inline const cli::Command* FindCommand(std::string_view name, std::initializer_list<std::string_view> allowed)
{
    if (std::ranges::find(allowed, name) == allowed.end()) {
        return nullptr;
    }
    for (const cli::Command& c : cli::Commands()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

struct CliResult {
    int exit = cli::kExitOk;
    bool help = false;
    std::string out;
};

class CliRunner {
public:
    CliRunner()
        : in_(::memfd_create("stdin", 0)), out_(::memfd_create("stdout", 0)), err_(::memfd_create("stderr", 0)),
          realErr_(::dup(STDERR_FILENO))
    {
        FUZZ_CHECK(in_ >= 0 && out_ >= 0 && err_ >= 0 && realErr_ >= 0);
        FUZZ_CHECK(::dup2(in_, STDIN_FILENO) == STDIN_FILENO && ::dup2(out_, STDOUT_FILENO) == STDOUT_FILENO);
        if (__sanitizer_set_report_fd != nullptr) {
            __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(realErr_)));
        }
        std::filesystem::create_directory(EmptyFolder());
    }

    CliResult Run(const cli::Command& command, std::span<const std::string_view> args, std::string_view stdinBytes,
                  const std::filesystem::path& dataDir)
    {
        FUZZ_CHECK(::ftruncate(in_, 0) == 0 && ::ftruncate(out_, 0) == 0 && ::ftruncate(err_, 0) == 0);
        FUZZ_CHECK(::pwrite(in_, stdinBytes.data(), stdinBytes.size(), 0) == static_cast<ssize_t>(stdinBytes.size()));
        FUZZ_CHECK(::lseek(in_, 0, SEEK_SET) == 0 && ::lseek(out_, 0, SEEK_SET) == 0);
        cli::CommandContext context;
        context.dataDir = dataDir;
        context.args = args;
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::current_path(EmptyFolder());
        FUZZ_CHECK(::dup2(err_, STDERR_FILENO) == STDERR_FILENO);
        CliResult result;
        try {
            result.exit = command.run(context);
        } catch (const cli::CommandError& e) {
            result.exit = e.exitCode();
            result.help = e.isHelp();
        }
        std::fflush(stdout);
        std::fflush(stderr);
        FUZZ_CHECK(::dup2(realErr_, STDERR_FILENO) == STDERR_FILENO);
        std::filesystem::current_path(home);
        const off_t size = ::lseek(out_, 0, SEEK_END);
        result.out.resize(static_cast<std::size_t>(size));
        FUZZ_CHECK(::pread(out_, result.out.data(), result.out.size(), 0) == size);
        return result;
    }

private:
    static std::filesystem::path EmptyFolder() { return ScratchDir() / "cwd"; }

    int in_;
    int out_;
    int err_;
    int realErr_;
};

// One runner a process: it owns the process's standard streams.
inline CliRunner& Runner()
{
    static CliRunner runner;
    return runner;
}

} // namespace kitemail::fuzz
