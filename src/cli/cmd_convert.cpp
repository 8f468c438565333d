// kitemail-cli convert: Shift_JIS <-> ISO-2022-JP on standard input/output.
//
// Input is read and converted in pieces; the streaming converters keep
// the mode and any unfinished character between pieces, so the output is
// byte for byte what converting the whole input at once gives.

#include "cli/command.h"
#include "text/jis.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <unistd.h>

namespace kitemail::cli {
namespace {

// Pieces this small stay in the processor's cache from the read to the
// conversion, which makes the whole run faster than larger ones.
constexpr std::size_t kDefaultChunk = std::size_t{1} << 17;
// The piece buffer is allocated whole before the first read, so a size is
// paid in memory even for a few bytes of input.
constexpr int kMaxChunk = 1 << 24;

// Standard input a piece at a time. What a converter leaves unused starts
// the next piece; a piece of which nothing could be used grows.
class Pieces {
public:
    Pieces(int fd, std::size_t size) : fd_(fd), size_(size), buf_(new char[size]) {}

    // The bytes not yet used, filled up from the input.
    std::string_view Next()
    {
        while (!ended_ && filled_ < size_) {
            const ssize_t got = ::read(fd_, buf_.get() + filled_, size_ - filled_);
            if (got == 0) {
                ended_ = true;
            } else if (got > 0) {
                filled_ += static_cast<std::size_t>(got);
            } else if (errno != EINTR) {
                throw CommandError::Failure(std::string("cannot read standard input: ") + std::strerror(errno));
            }
        }
        return {buf_.get(), filled_};
    }
    [[nodiscard]] bool Ended() const noexcept { return ended_; }

    void Consume(std::size_t used)
    {
        std::memmove(buf_.get(), buf_.get() + used, filled_ - used);
        filled_ -= used;
        if (filled_ == size_) {
            std::unique_ptr<char[]> bigger(new char[2 * size_]);
            std::memcpy(bigger.get(), buf_.get(), filled_);
            buf_ = std::move(bigger);
            size_ *= 2;
        }
    }

private:
    int fd_;
    std::size_t size_;
    std::unique_ptr<char[]> buf_;
    std::size_t filled_ = 0;
    bool ended_ = false;
};

// Output goes straight from the converter's buffer to the descriptor.
void ToJis(int inFd, int outFd, std::size_t chunk)
{
    SjisToJisConverter converter;
    Pieces in(inFd, chunk);
    std::unique_ptr<char[]> out;
    std::size_t outSize = 0;
    for (;;) {
        const std::string_view piece = in.Next();
        if (outSize < SjisToJisConverter::MaxOutput(piece.size())) {
            outSize = SjisToJisConverter::MaxOutput(piece.size());
            out.reset(new char[outSize]);
        }
        const SjisToJisConverter::Step step = converter.ConvertInto(piece, in.Ended(), out.get());
        WriteAll(outFd, std::string_view(out.get(), step.written));
        if (in.Ended()) {
            return;
        }
        in.Consume(step.used);
    }
}

void ToSjis(int inFd, int outFd, std::size_t chunk)
{
    JisToSjisConverter converter;
    Pieces in(inFd, chunk);
    std::string out;
    for (;;) {
        const std::string_view piece = in.Next();
        out.clear();
        const std::size_t used = converter.Convert(piece, in.Ended(), out);
        WriteAll(outFd, out);
        if (in.Ended()) {
            return;
        }
        in.Consume(used);
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
        ToJis(STDIN_FILENO, STDOUT_FILENO, chunk);
    } else {
        ToSjis(STDIN_FILENO, STDOUT_FILENO, chunk);
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
    "              131072); the output does not depend on it\n",
    RunConvert,
};

} // namespace kitemail::cli
