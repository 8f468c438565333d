#include "platform/sjis.h"

namespace kitemail::sjis {

ByteClass ClassAt(std::string_view text, std::size_t i) noexcept
{
    std::size_t p = 0;
    while (p < i) {
        p += (IsLeadByte(text[p]) && p + 1 < text.size()) ? 2 : 1;
    }
    if (p == i) {
        return IsLeadByte(text[i]) ? ByteClass::Lead : ByteClass::Single;
    }
    return ByteClass::Trail;
}

bool EndsWithDoubleByte(std::string_view text) noexcept
{
    return !text.empty() && ClassAt(text, text.size() - 1) == ByteClass::Trail;
}

} // namespace kitemail::sjis
