#include "tools/text_tools.h"

#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "text/jis.h"
#include "text/text_lines.h"

#include <algorithm>

namespace kitemail {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// At a line's start and end every control byte counts as a blank, inside it
// only the space.
bool IsEdgeBlank(char c) noexcept
{
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view TrimEdges(std::string_view line, const DietOptions& options) noexcept
{
    if (options.leadingBlanks) {
        const auto kept = std::ranges::find_if_not(line, IsEdgeBlank);
        line.remove_prefix(static_cast<std::size_t>(kept - line.begin()));
    }
    if (options.trailingBlanks) {
        while (!line.empty() && IsEdgeBlank(line.back())) {
            line.remove_suffix(1);
        }
    }
    return line;
}

// Bytes of the character at text[i]: a lead byte takes the next byte with it.
std::size_t CharLength(std::string_view text, std::size_t i) noexcept
{
    return sjis::IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

} // namespace

std::string DietRefusal(std::string_view body, const DietOptions& options)
{
    if (!options.Any()) {
        return Sj("いずれかのオプションを指定してください。");
    }
    if (body.empty()) {
        return Sj("文章が空なので実行できません。");
    }
    return {};
}

std::string DietText(std::string_view body, const DietOptions& options)
{
    std::string out;
    out.reserve(body.size());
    bool first = true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = body.find(kLineEnd, start);
        const bool last = end == std::string_view::npos;
        const std::string_view line = TrimEdges(body.substr(start, last ? std::string_view::npos : end - start), options);
        const bool empty = options.innerSpaces ? line.find_first_not_of(' ') == std::string_view::npos : line.empty();
        if (!(options.emptyLines && empty && !last)) {
            if (!first && !options.joinLines) {
                out += kLineEnd;
            }
            first = false;
            if (options.innerSpaces) {
                std::ranges::copy_if(line, std::back_inserter(out), [](char c) { return c != ' '; });
            } else {
                out += line;
            }
        }
        if (last) {
            return out;
        }
        start = end + kLineEnd.size();
    }
}

std::string VerticalText(std::string_view body)
{
    std::string out;
    out.reserve(3 * body.size());
    std::size_t i = 0;
    while (i < body.size()) {
        const std::size_t length = CharLength(body, i);
        const char c = body[i];
        out.append(body.substr(i, length));
        i += length;
        if (i < body.size() && c != '\r' && c != '\n') {
            out += kLineEnd;
        }
    }
    return out;
}

std::vector<std::string> PreviewRows(std::string_view text, std::int32_t columns)
{
    const auto width = static_cast<std::size_t>(2 * std::clamp(columns, kPreviewMinColumns, kPreviewMaxColumns));
    std::vector<std::string> rows;
    for (std::string_view rest : TextLines(text)) {
        while (rest.size() > width) {
            // Whether the row's last byte would start a double-byte
            // character, counted from the row's start.
            std::size_t p = 0;
            while (p < width - 1) {
                p += CharLength(rest, p);
            }
            const std::size_t cut = p == width - 1 && sjis::IsLeadByte(rest[p]) ? width - 1 : width;
            rows.emplace_back(rest.substr(0, cut));
            rest.remove_prefix(cut);
        }
        rows.emplace_back(rest);
    }
    return rows;
}

std::string PreviewText(std::string_view body, std::int32_t columns)
{
    std::string out;
    for (const std::string& row : PreviewRows(NormalizeText(body), columns)) {
        out += row;
        out += kLineEnd;
    }
    return out;
}

} // namespace kitemail
