// kitemail-cli convert: Shift_JIS <-> ISO-2022-JP on standard input/output.
//
// Input is read and converted in large pieces; the streaming converters keep
// the mode and any unfinished character between pieces, so the output is
// byte for byte what converting the whole input at once gives.

#include "cli/command.h"
#include "text/jis.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include <unistd.h>

namespace kitemail::cli {
namespace {

constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;
// The piece buffer is allocated whole before the first read, so a size is
// paid in memory even for a few bytes of input; larger pieces convert no
// faster.
constexpr int kMaxChunk = 1 << 24;

// Fills buf from `filled` up to its size; returns the new fill and whether
// the input has ended.
std::pair<std::size_t, bool> Fill(int fd, std::string& buf, std::size_t filled)
{
    while (filled < buf.size()) {
        const ssize_t got = ::read(fd, buf.data() + filled, buf.size() - filled);
        if (got == 0) {
            return {filled, true};
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw CommandError::Failure(std::string("cannot read standard input: ") + std::strerror(errno));
        }
        filled += static_cast<std::size_t>(got);
    }
    return {filled, false};
}

// Converter is SjisToJisConverter or JisToSjisConverter: each call uses what
// it can decide and leaves the rest, which starts the next piece.
template <class Converter>
void Stream(int inFd, int outFd, std::size_t chunk)
{
    Converter converter;
    std::string in(chunk, '\0');
    std::string out;
    std::size_t filled = 0;
    for (;;) {
        bool eof = false;
        std::tie(filled, eof) = Fill(inFd, in, filled);
        out.clear();
        const std::size_t used = converter.Convert(std::string_view(in.data(), filled), eof, out);
        WriteAll(outFd, out);
        if (eof) {
            return;
        }
        std::memmove(in.data(), in.data() + used, filled - used);
        filled -= used;
        if (filled == in.size()) {
            in.resize(in.size() * 2); // nothing could be decided yet: read on
        }
    }
}

enum class Direction { ToJis, ToSjis };

int RunConvert(const CommandContext& context)
{
    std::optional<Direction> direction;
    std::size_t chunk = kDefaultChunk;
    ArgReader args(context.args);
    while (!args.Done()) {
        Direction d{};
        if (args.Flag("--to-jis")) {
            d = Direction::ToJis;
        } else if (args.Flag("--to-sjis")) {
            d = Direction::ToSjis;
        } else if (const auto v = args.Value("--buffer-size")) {
            const int size = ParseInt("--buffer-size", *v);
            if (size < 16 || size > kMaxChunk) {
                throw CommandError::Usage("--buffer-size must be 16 to " + std::to_string(kMaxChunk) + " bytes");
            }
            chunk = static_cast<std::size_t>(size);
            continue;
        } else {
            args.Unknown();
        }
        if (direction && *direction != d) {
            throw CommandError::Usage("give only one of --to-jis and --to-sjis");
        }
        direction = d;
    }
    if (!direction) {
        throw CommandError::Usage("give --to-jis or --to-sjis");
    }
    if (*direction == Direction::ToJis) {
        Stream<SjisToJisConverter>(STDIN_FILENO, STDOUT_FILENO, chunk);
    } else {
        Stream<JisToSjisConverter>(STDIN_FILENO, STDOUT_FILENO, chunk);
    }
    return kExitOk;
}

} // namespace

extern const Command kConvertCommand;
const Command kConvertCommand = {
    "convert",
    "convert standard input between Shift_JIS and ISO-2022-JP",
    "Usage: kitemail-cli convert --to-jis|--to-sjis [--buffer-size BYTES]\n"
    "\n"
    "Reads standard input and writes it converted to standard output, raw bytes.\n"
    "\n"
    "  --to-jis    Shift_JIS (code page 932) to ISO-2022-JP as mail is sent:\n"
    "              half-width katakana become full-width, and the text is not\n"
    "              closed with a return escape\n"
    "  --to-sjis   ISO-2022-JP to Shift_JIS\n"
    "  --buffer-size BYTES\n"
    "              size of the pieces read at a time (16 to 16777216, default\n"
    "              1048576); the output does not depend on it\n",
    RunConvert,
};

} // namespace kitemail::cli
