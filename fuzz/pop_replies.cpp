// A POP3 server's side of the login, as any bytes, each line read in pieces
// of any sizes. The answers (commands, failure text) never depend on where
// a line was cut; the login succeeds only after a positive reply to each of
// its commands.
//
// Input: one byte choosing the cut points and STLS, then what the server
// sends.

#include "fuzz_support.h"
#include "mail/pop_dialogue.h"

#include <random>
#include <string>
#include <vector>

namespace {

using namespace kitemail;

struct Outcome {
    std::vector<std::string> said; // commands, "TLS" and failure texts in order
    bool succeeded = false;

    void Record(const PopDialogue::Reaction& r)
    {
        if (!r.command.empty()) {
            said.push_back(r.command);
        }
        if (!r.failText.empty()) {
            said.push_back("fail " + r.failText);
        }
    }

    bool operator==(const Outcome&) const = default;
};

// Each line of `stream` (a server never sends the next reply before our
// command) goes in pieces whose sizes `next` gives; an unfinished tail last.
template <class Next>
Outcome Run(std::string_view stream, bool stls, Next next)
{
    PopDialogue pop("user", "secret", stls);
    Outcome out;
    const auto take = [&](const PopDialogue::Reaction& r) {
        out.Record(r);
        if (r.startTls) {
            out.said.emplace_back("TLS");
            out.Record(pop.Encrypted());
        }
    };
    for (std::size_t pos = 0; pos < stream.size() && pop.Running();) {
        const std::size_t lineEnd = std::min(stream.find('\n', pos), stream.size() - 1) + 1;
        while (pos < lineEnd && pop.Running()) {
            const std::size_t n = std::min(next(), lineEnd - pos);
            take(pop.Received(stream.substr(pos, n)));
            pos += n;
        }
    }
    pop.Disconnected();
    out.succeeded = pop.Succeeded();
    return out;
}

std::size_t PositiveLines(std::string_view stream)
{
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < stream.size();) {
        const std::size_t end = stream.find('\n', pos);
        if (end == std::string_view::npos) {
            break;
        }
        const std::string_view line = stream.substr(pos, end - pos);
        n += line.starts_with("+OK") && (line.size() == 3 || line[3] == ' ' || line[3] == '\r');
        pos = end + 1;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const bool stls = (data[0] & 1) != 0;
    const std::string_view stream = kitemail::fuzz::Bytes(data + 1, size - 1);

    const Outcome whole = Run(stream, stls, [] { return std::size_t(-1); });
    std::minstd_rand cuts(data[0]);
    const Outcome pieces = Run(stream, stls, [&cuts] { return std::size_t(1 + cuts() % 16); });
    const Outcome bytes = Run(stream, stls, [] { return std::size_t(1); });

    FUZZ_CHECK(whole == pieces);
    FUZZ_CHECK(whole == bytes);
    if (whole.succeeded) {
        // The greeting, STLS's agreement, USER, PASS and QUIT.
        FUZZ_CHECK(PositiveLines(stream) >= (stls ? 5u : 4u));
    }
    return 0;
}
