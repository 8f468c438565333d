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

std::string_view CutToWholeCharacters(std::string_view text, std::size_t max) noexcept
{
    if (text.size() <= max) {
        return text;
    }
    std::size_t end = 0;
    while (end < max) {
        const std::size_t len = IsLeadByte(text[end]) ? 2 : 1;
        if (end + len > max) {
            break;
        }
        end += len;
    }
    return text.substr(0, end);
}

} // namespace kitemail::sjis
