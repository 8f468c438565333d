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

std::optional<std::string_view> ArgReader::Value(std::string_view name)
{
    if (Done()) {
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
    if (Done() || args_[pos_] != name) {
        return false;
    }
    ++pos_;
    return true;
}

void ArgReader::Unknown() const
{
    const std::string_view arg = args_[pos_];
    if (arg.starts_with("-") && arg != "-") {
        const std::string_view bare = arg.substr(0, arg.find('='));
        throw CommandError::Usage("unknown option '" + std::string(bare) + "'");
    }
    throw CommandError::Usage("unexpected argument '" + std::string(arg) + "'");
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

bool AsksForHelp(std::span<const std::string_view> args)
{
    for (std::string_view a : args) {
        if (a == "--") {
            return false;
        }
        if (a == "--help" || a == "-h") {
            return true;
        }
    }
    return false;
}

int RunCommand(const Command& command, const CommandContext& context)
{
    const std::string prefix = std::string(kToolName) + " " + std::string(command.name);
    try {
        return command.run(context);
    } catch (const CommandError& e) {
        std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
        if (e.isUsage()) {
            std::fprintf(stderr, "Try '%s --help'.\n", prefix.c_str());
        }
        return e.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", prefix.c_str(), e.what());
        return kExitFailure;
    }
}

} // namespace kitemail::cli
