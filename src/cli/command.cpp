#include "cli/command.h"

#include "platform/file_io.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kitemail::cli {

bool ArgReader::AtOption()
{
    if (!optionsEnded_ && pos_ < args_.size() && args_[pos_] == "--") {
        optionsEnded_ = true;
        ++pos_;
    }
    return !optionsEnded_ && pos_ < args_.size();
}

bool ArgReader::Done()
{
    (void)AtOption();
    return pos_ >= args_.size();
}

std::optional<std::string_view> ArgReader::Value(std::string_view name)
{
    if (!AtOption()) {
        return std::nullopt;
    }
    const std::string_view arg = args_[pos_];
    if (arg == name) {
        if (pos_ + 1 >= args_.size()) {
            throw CommandError::Usage(std::string(name) + " needs a value");
        }
        pos_ += 2;
        return args_[pos_ - 1];
    }
    if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
        ++pos_;
        return arg.substr(name.size() + 1);
    }
    return std::nullopt;
}

bool ArgReader::Flag(std::string_view name)
{
    if (!AtOption() || args_[pos_] != name) {
        return false;
    }
    ++pos_;
    return true;
}

std::optional<std::string_view> ArgReader::Operand()
{
    const bool option = AtOption();
    if (pos_ >= args_.size()) {
        return std::nullopt;
    }
    const std::string_view arg = args_[pos_];
    if (option && arg.starts_with("-") && arg != "-") {
        return std::nullopt;
    }
    ++pos_;
    return arg;
}

void ArgReader::Unknown()
{
    const bool option = AtOption();
    const std::string_view arg = args_[pos_];
    if (option && (arg == "--help" || arg == "-h")) {
        throw CommandError::Help();
    }
    if (option && arg.starts_with("-") && arg != "-") {
        const std::string_view bare = arg.substr(0, arg.find('='));
        throw CommandError::Usage("unknown option '" + std::string(bare) + "'");
    }
    throw CommandError::Usage("unexpected argument '" + std::string(arg) + "'");
}

std::vector<std::string_view> Operands(ArgReader& args, const std::function<bool(ArgReader&)>& option)
{
    std::vector<std::string_view> operands;
    while (!args.Done()) {
        if (option(args)) {
            continue;
        }
        if (const auto operand = args.Operand()) {
            operands.push_back(*operand);
        } else {
            args.Unknown();
        }
    }
    return operands;
}

int ParseInt(std::string_view option, std::string_view text)
{
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || end != last) {
        throw CommandError::Usage(std::string(option) + ": '" + std::string(text) + "' is not a whole number");
    }
    return value;
}

std::string ReadFileBytes(const std::string& path)
{
    std::string data;
    if (path == "-") {
        if (!ReadAllFrom(STDIN_FILENO, data)) {
            throw CommandError::BadInput(std::string("cannot read standard input: ") + std::strerror(errno));
        }
        return data;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw CommandError::BadInput("cannot open '" + path + "': " + std::strerror(errno));
    }
    const bool ok = ReadAllFrom(fd, data);
    const int readErrno = errno;
    ::close(fd);
    if (!ok) {
        throw CommandError::BadInput("cannot read '" + path + "': " + std::strerror(readErrno));
    }
    return data;
}

void WriteAll(int fd, std::string_view bytes)
{
    if (!WriteAllTo(fd, bytes)) {
        throw CommandError::Failure(std::string("cannot write output: ") + std::strerror(errno));
    }
}

namespace {

// The usage lines at the head of a command's help, up to its first blank line.
std::string_view UsageLines(std::string_view help)
{
    const std::size_t blank = help.find("\n\n");
    return blank == std::string_view::npos ? help : help.substr(0, blank + 1);
}

} // namespace

int RunCommand(const Command& command, const CommandContext& context)
{
    const std::string prefix = std::string(kToolName) + " " + std::string(command.name);
    try {
        return command.run(context);
    } catch (const CommandError& e) {
        if (e.isHelp()) {
            std::fwrite(command.help.data(), 1, command.help.size(), stdout);
            return kExitOk;
        }
        std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
        if (e.isUsage()) {
            const std::string_view usage = UsageLines(command.help);
            std::fwrite(usage.data(), 1, usage.size(), stderr);
            std::fprintf(stderr, "Try '%s --help'.\n", prefix.c_str());
        }
        return e.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
        return kExitFailure;
    }
}

int FinishOutput(int exitCode)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write output: %s\n", kToolName.data(), std::strerror(errno));
        return kExitFailure;
    }
    return exitCode;
}

} // namespace kitemail::cli
