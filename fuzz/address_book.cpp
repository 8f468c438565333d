// Address-book lines of any bytes: each gives an entry whose fields hold no
// comma and come back whole when the entry is written and read again, and
// the book's order is a strict weak order, so sorting is safe.

#include "accounting/terminal_type.h"
#include "fuzz_support.h"
#include "settings/address_book.h"

#include <algorithm>
#include <vector>

namespace {

using namespace kitemail;

const std::vector<DefinedType> kDefinedList = {
    {.type = TerminalTypeFromNumber(10), .name = "a"}, {.type = TerminalTypeFromNumber(57), .name = "b"}};
const TerminalTypes kDefined(kDefinedList);

// Sorting and comparing take time quadratic and cubic in the lines.
constexpr std::size_t kMaxLines = 12;

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size() && lines.size() < kMaxLines) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

bool HasComma(std::string_view s)
{
    return s.find(',') != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> lines = Lines(kitemail::fuzz::Bytes(data, size));
    for (const std::string& line : lines) {
        const AddressBookEntry entry = ParseAddressBookEntry(line);
        FUZZ_CHECK(!HasComma(entry.name) && !HasComma(entry.address) && !HasComma(entry.pin));
        const std::string formatted =
            FormatAddressBookEntry(entry.name, entry.address, entry.pin, entry.type, entry.sender);
        FUZZ_CHECK(ParseAddressBookEntry(formatted) == entry);
        const TerminalType type = TerminalTypeOfLine(line);
        FUZZ_CHECK(type == TerminalType::Unspecified || IsTerminalType(type));
        // With defined types, their numbers too, and nothing else.
        const TerminalType withDefined = TerminalTypeOfLine(line, kDefined);
        FUZZ_CHECK(withDefined == type
                   || (type == TerminalType::Unspecified && kDefined.Defined(withDefined) != nullptr));
    }

    const auto less = [](const std::string& a, const std::string& b) { return AddressBookLineLess(a, b); };
    for (const std::string& a : lines) {
        FUZZ_CHECK(!less(a, a));
        for (const std::string& b : lines) {
            FUZZ_CHECK(!(less(a, b) && less(b, a)));
            for (const std::string& c : lines) {
                FUZZ_CHECK(!(less(a, b) && less(b, c)) || less(a, c));
                // Equal ranks are transitive too.
                const bool ab = !less(a, b) && !less(b, a);
                const bool bc = !less(b, c) && !less(c, b);
                FUZZ_CHECK(!(ab && bc) || (!less(a, c) && !less(c, a)));
            }
        }
    }
    std::vector<std::string> sorted = lines;
    SortAddressBookLines(sorted);
    FUZZ_CHECK(std::is_sorted(sorted.begin(), sorted.end(), less));
    FUZZ_CHECK(std::is_permutation(sorted.begin(), sorted.end(), lines.begin(), lines.end()));
    return 0;
}
