// kitemail-cli as the user calls it. Converting needs nothing but the
// converters, so `convert` runs here, in a program that does not load Qt:
// loading it would cost more than converting a mail. Every other command
// (and --help, --version) goes to kitemail-cli-qt, the whole tool, which
// gets the arguments as they are. It lives beside this program in the build
// folder, and off the user's PATH in lib/kitemail when installed.

#include "cli/command.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kitemail::cli {
extern const Command kConvertCommand;

namespace {

constexpr std::string_view kWholeTool = "kitemail-cli-qt";
// From bin, where this program is installed.
constexpr std::string_view kInstalledFolder = "../lib/kitemail/";

// The folder this program was started from, with its "/".
std::string OwnFolder()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    const std::string_view self(path, static_cast<std::size_t>(n));
    return std::string(self.substr(0, self.rfind('/') + 1));
}

int RunWholeTool(char** argv)
{
    const std::string folder = OwnFolder();
    std::string tool = folder + std::string(kWholeTool);
    ::execv(tool.c_str(), argv);
    int error = errno;
    // One that is there but cannot run is told, not passed over.
    if (error == ENOENT) {
        tool = std::filesystem::path(folder + std::string(kInstalledFolder) + std::string(kWholeTool))
                   .lexically_normal()
                   .native();
        ::execv(tool.c_str(), argv);
        error = errno;
    }
    std::fprintf(stderr, "%s: cannot run %s: %s\n", kToolName.data(), tool.c_str(), std::strerror(error));
    return kExitFailure;
}

} // namespace
} // namespace kitemail::cli

int main(int argc, char** argv)
{
    using namespace kitemail::cli;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    CommandContext context;
    std::size_t i = 0;
    // The folder option, as the whole tool reads it; anything else before
    // the command is the whole tool's to answer.
    while (i < args.size()) {
        if (args[i] == "--data-dir" && i + 1 < args.size() && !args[i + 1].empty()) {
            context.dataDir = std::filesystem::path(args[i + 1]);
            i += 2;
        } else if (args[i].starts_with("--data-dir=") && args[i].size() > 11) {
            context.dataDir = std::filesystem::path(args[i].substr(11));
            ++i;
        } else {
            break;
        }
    }
    if (i < args.size() && args[i] == kConvertCommand.name) {
        context.args = std::span<const std::string_view>(args).subspan(i + 1);
        return FinishOutput(RunCommand(kConvertCommand, context));
    }
    return RunWholeTool(argv);
}
