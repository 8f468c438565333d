#pragma once
// The frame every kitemail-cli command is written against: its entry in the
// command table, the arguments it gets and the errors it may raise.

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail::cli {

inline constexpr std::string_view kToolName = "kitemail-cli";

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // the work itself failed (e.g. output not writable)
inline constexpr int kExitUsage = 2;   // bad arguments or unusable input
inline constexpr int kExitUnconfirmed = 3; // send: a mail may or may not have been delivered

// A failure a command reports on stderr; the dispatcher prints it with the
// command's name and exits with `exitCode`.
class CommandError : public std::runtime_error {
public:
    CommandError(const std::string& message, int exitCode) : std::runtime_error(message), exitCode_(exitCode) {}
    [[nodiscard]] int exitCode() const noexcept { return exitCode_; }
    // True when the user should be shown the command's usage.
    [[nodiscard]] bool isUsage() const noexcept { return usage_; }
    // True when the arguments asked for the command's --help: not a failure.
    [[nodiscard]] bool isHelp() const noexcept { return help_; }

    static CommandError Usage(const std::string& message)
    {
        CommandError e(message, kExitUsage);
        e.usage_ = true;
        return e;
    }
    static CommandError Help()
    {
        CommandError e("help", kExitOk);
        e.help_ = true;
        return e;
    }
    static CommandError BadInput(const std::string& message) { return {message, kExitUsage}; }
    static CommandError Failure(const std::string& message) { return {message, kExitFailure}; }

private:
    int exitCode_;
    bool usage_ = false;
    bool help_ = false;
};

struct CommandContext {
    std::optional<std::filesystem::path> dataDir; // --data-dir before the command
    std::span<const std::string_view> args;       // the arguments after the command's name
};

struct Command {
    std::string_view name;
    std::string_view summary; // one line for the tool's --help
    std::string_view help;    // the command's --help text, usage line first
    int (*run)(const CommandContext&);
};

// Every command of the tool, in the order --help lists them.
[[nodiscard]] std::span<const Command> Commands() noexcept;

// Runs the command; its errors are printed with the command's name (a
// usage error with the command's usage lines) and become the exit code;
// --help prints the command's help.
[[nodiscard]] int RunCommand(const Command& command, const CommandContext& context);

// The exit code once standard output is flushed: a failure when what was
// printed could not be written (a full disk, a closed pipe).
[[nodiscard]] int FinishOutput(int exitCode);

// Walks a command's arguments: options "--name VALUE" or "--name=VALUE",
// flags "--name" and operands. An option's value is the next argument
// whatever it starts with; "--" ends the options, so that every argument
// after it is an operand. "--help" or "-h" where an option may stand asks
// for the command's help; anything else it cannot place is a usage error.
class ArgReader {
public:
    explicit ArgReader(std::span<const std::string_view> args) : args_(args) {}

    [[nodiscard]] bool Done();

    // Takes the option `name` with its value when it is the current argument.
    [[nodiscard]] std::optional<std::string_view> Value(std::string_view name);
    // Takes the flag `name` when it is the current argument.
    [[nodiscard]] bool Flag(std::string_view name);
    // Takes the current argument when it is an operand: not an option, or
    // after "--" ("-" alone is an operand: standard input).
    [[nodiscard]] std::optional<std::string_view> Operand();
    // Raises the help request or the usage error for the current argument,
    // which nobody took.
    [[noreturn]] void Unknown();

private:
    [[nodiscard]] bool AtOption();

    std::span<const std::string_view> args_;
    std::size_t pos_ = 0;
    bool optionsEnded_ = false;
};

// The operands and options of a command that takes both, each operand in
// turn: `option` is offered every argument first and takes the options it
// knows (returning true); the rest must be operands.
[[nodiscard]] std::vector<std::string_view> Operands(ArgReader& args, const std::function<bool(ArgReader&)>& option);

// The whole text as a signed 32-bit decimal number; a usage error naming
// `option` otherwise.
[[nodiscard]] int ParseInt(std::string_view option, std::string_view text);

// Reads a whole file (or standard input for "-"); a bad-input error naming
// the file otherwise.
[[nodiscard]] std::string ReadFileBytes(const std::string& path);

// Writes all bytes to a file descriptor, retrying short writes; a failure
// error when the descriptor refuses.
void WriteAll(int fd, std::string_view bytes);

} // namespace kitemail::cli
