// The command-line tool's commands that only read and print (count,
// convert and the text tools diet, vertical, preview), run in-process on any
// arguments and standard input: each ends with its output or a
// usage/bad-input error, and what it prints is well formed; convert prints
// exactly the conversion of its input, whatever piece size it reads in, and
// the text tools never split a character. The others are left out: send
// would send.
//
// Input: the command and its arguments separated by NUL bytes, then
// optionally two NUL bytes and standard input. Arguments holding "/" are
// skipped, so that no path can leave the empty working folder the target
// runs in (a FIFO or a device there would block or grow without end).

#include "cli/command.h"
#include "fuzz_support.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "text/jis.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kitemail;
using kitemail::cli::CommandError;

// Standard input and output of the commands are files in memory.
struct Streams {
    int in = -1;
    int out = -1;
};

const Streams& RedirectedStreams()
{
    static const Streams streams = [] {
        Streams s{::memfd_create("stdin", 0), ::memfd_create("stdout", 0)};
        FUZZ_CHECK(s.in >= 0 && s.out >= 0);
        FUZZ_CHECK(::dup2(s.in, STDIN_FILENO) == STDIN_FILENO && ::dup2(s.out, STDOUT_FILENO) == STDOUT_FILENO);
        return s;
    }();
    return streams;
}

void SetInput(std::string_view bytes)
{
    FUZZ_CHECK(::ftruncate(STDIN_FILENO, 0) == 0 && ::ftruncate(STDOUT_FILENO, 0) == 0);
    FUZZ_CHECK(::pwrite(STDIN_FILENO, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    FUZZ_CHECK(::lseek(STDIN_FILENO, 0, SEEK_SET) == 0 && ::lseek(STDOUT_FILENO, 0, SEEK_SET) == 0);
}

std::string Output()
{
    const off_t size = ::lseek(STDOUT_FILENO, 0, SEEK_END);
    std::string out(static_cast<std::size_t>(size), '\0');
    FUZZ_CHECK(::pread(STDOUT_FILENO, out.data(), out.size(), 0) == size);
    return out;
}

constexpr std::array<std::string_view, 5> kReadAndPrint = {"count", "convert", "diet", "vertical", "preview"};

const cli::Command* FindCommand(std::string_view name)
{
    if (std::ranges::find(kReadAndPrint, name) == kReadAndPrint.end()) {
        return nullptr;
    }
    for (const cli::Command& c : cli::Commands()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

// Takes a decimal number off the front of text after `label`.
bool Number(std::string_view& text, std::string_view label, std::int64_t& value)
{
    if (!text.starts_with(label)) {
        return false;
    }
    text.remove_prefix(label.size());
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return ec == std::errc();
}

// "COUNT / LIMIT" or {"count":C,"limit":L,"over":B,"type":T}, one line.
void CheckCountLine(std::string_view line)
{
    std::int64_t count = 0;
    std::int64_t limit = 0;
    std::int64_t type = 0;
    if (line.starts_with('{')) {
        FUZZ_CHECK(Number(line, "{\"count\":", count) && Number(line, ",\"limit\":", limit));
        const std::string_view over = count > limit ? ",\"over\":true" : ",\"over\":false";
        FUZZ_CHECK(line.starts_with(over));
        line.remove_prefix(over.size());
        FUZZ_CHECK(Number(line, ",\"type\":", type) && type >= -1 && type <= 9 && line == "}\n");
    } else {
        FUZZ_CHECK(Number(line, "", count) && Number(line, " / ", limit) && line == "\n");
    }
    FUZZ_CHECK(count >= 0 && limit > 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)RedirectedStreams();
    std::string_view input = kitemail::fuzz::Bytes(data, size);
    std::string_view stdinBytes;
    if (const std::size_t split = input.find(std::string_view("\0\0", 2)); split != std::string_view::npos) {
        stdinBytes = input.substr(split + 2);
        input = input.substr(0, split);
    }
    std::vector<std::string_view> args;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\0', start), input.size());
        args.push_back(input.substr(start, end - start));
        if (args.back().find('/') != std::string_view::npos) {
            return 0;
        }
        start = end + 1;
    }
    const cli::Command* command = FindCommand(args.front());
    if (command == nullptr) {
        return 0;
    }

    SetInput(stdinBytes);
    cli::CommandContext context;
    context.dataDir = kitemail::fuzz::ScratchDir() / "data"; // empty: the default settings
    context.args = std::span<const std::string_view>(args).subspan(1);
    // In an empty folder, and back to where the fuzzer keeps its files.
    const std::filesystem::path home = std::filesystem::current_path();
    const std::filesystem::path empty = kitemail::fuzz::ScratchDir() / "cwd";
    std::filesystem::create_directory(empty);
    std::filesystem::current_path(empty);
    int exit = 0;
    bool help = false;
    try {
        exit = command->run(context);
    } catch (const CommandError& e) {
        exit = e.exitCode();
        help = e.isHelp();
    }
    std::filesystem::current_path(home);
    if (help) {
        FUZZ_CHECK(Output().empty());
        return 0;
    }
    // Bad arguments or unusable input, never a failure of the work itself;
    // but the diet refuses an empty body.
    const std::string out = Output();
    FUZZ_CHECK(exit == cli::kExitOk || exit == cli::kExitUsage ||
               (exit == cli::kExitFailure && command->name == "diet" && out.empty()));
    if (exit != cli::kExitOk) {
        FUZZ_CHECK(out.empty());
    } else if (command->name == "count") {
        CheckCountLine(out);
    } else if (command->name == "convert") {
        FUZZ_CHECK(out == SjisToJis(stdinBytes) || out == JisToSjis(stdinBytes));
    } else if (command->name == "preview" && stdinBytes.find('\x1b') != std::string_view::npos) {
        // An escape in the body shifts the phone's character set as it would
        // on the phone: the preview shows what the phone makes of it.
    } else if (std::ranges::find(args, "--sjis") != args.end()) {
        FUZZ_CHECK(IsSjisText(out));
    } else {
        // U+FFFD: Shift_JIS bytes that were no character.
        FUZZ_CHECK(IsUtf8Text(out) && out.find("\xEF\xBF\xBD") == std::string::npos);
    }
    return 0;
}
