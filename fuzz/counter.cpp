// The counter's one-pass measure equals its literal definition on any bytes:
// the length, shift sequences and last character of the text after the trip
// to ISO-2022-JP and back, for body and subject, under every option.

#include "accounting/counter.h"
#include "fuzz_support.h"
#include "platform/sjis.h"
#include "text/jis.h"

namespace {

using namespace kitemail;

std::int64_t Count(std::int32_t type, std::string_view body, std::string_view subject, const CountOptions& options)
{
    CountInputs in;
    in.body = body;
    in.subject = subject;
    in.type = TerminalTypeFromNumber(type);
    in.options = options;
    const CountResult result = CountMessageSize(in);
    FUZZ_CHECK(result.ok);
    return result.count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = kitemail::fuzz::Bytes(data, size);
    const std::string normalized = NormalizeText(text);
    const auto length = static_cast<std::int64_t>(normalized.size());
    for (const bool ends : {false, true}) {
        const std::int64_t shiftBytes = 3 * std::int64_t{CountShiftSequences(normalized, ends)};
        const std::int64_t finalShift = sjis::EndsWithDoubleByte(normalized) ? 2 : 0;
        for (const bool countFinal : {false, true}) {
            const CountOptions options{false, ends, countFinal};
            const std::int64_t bodyEnd = countFinal ? finalShift : 0;
            // i-mode counts the body alone, SkyWalker adds its shift
            // sequences; EZweb the subject alone, free range its shifts with
            // the subject capped at 40.
            FUZZ_CHECK(Count(3, text, {}, options) == length + bodyEnd);
            FUZZ_CHECK(Count(2, text, {}, options) == length + shiftBytes + bodyEnd);
            FUZZ_CHECK(Count(7, {}, text, options) == length);
            FUZZ_CHECK(Count(1, {}, text, options) == (length > 40 ? 40 : length + shiftBytes));
        }
    }
    return 0;
}
