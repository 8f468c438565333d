// The draft's reader over any bytes a crash, a disk or a hand left in
// Draft.txt: it ends with a draft or none, and what it reads, written and
// read again, reads the same from then on.

#include "fuzz_support.h"
#include "send/draft.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kitemail;
    const std::optional<Draft> first = ParseDraft(fuzz::Bytes(data, size));
    if (!first) {
        return 0;
    }
    // One write may drop what no file line can hold (a ticked line or a
    // path with a line break); after it, a write and a read change nothing.
    const std::string written = FormatDraft(*first);
    FUZZ_CHECK(written.starts_with("Kitemail-Draft: 1\r\n"));
    const std::optional<Draft> second = ParseDraft(written);
    FUZZ_CHECK(second.has_value());
    const std::optional<Draft> third = ParseDraft(FormatDraft(*second));
    FUZZ_CHECK(third.has_value() && *third == *second);
    return 0;
}
