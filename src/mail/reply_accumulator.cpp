#include "mail/reply_accumulator.h"

namespace kitemail {

std::vector<std::string> ReplyAccumulator::Feed(std::string_view bytes)
{
    std::vector<std::string> lines;
    while (!overflowed_ && !bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, lf);
        if (pending_.size() + piece.size() > kMaxLineBytes) {
            pending_.append(piece.substr(0, kMaxLineBytes - pending_.size()));
            overflowed_ = true;
            break;
        }
        pending_.append(piece);
        if (lf == std::string_view::npos) {
            break;
        }
        if (!pending_.empty() && pending_.back() == '\r') {
            pending_.pop_back();
        }
        lines.push_back(std::move(pending_));
        pending_.clear();
        bytes.remove_prefix(lf + 1);
    }
    return lines;
}

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<ReplyLine> ParseReplyLine(std::string_view line)
{
    if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) {
        return std::nullopt;
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') {
        return std::nullopt;
    }
    return ReplyLine{(line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0'),
                     line.size() == 3 || line[3] == ' '};
}

bool IsPositiveStatus(std::string_view line)
{
    return line.starts_with("+OK") && (line.size() == 3 || line[3] == ' ');
}

} // namespace kitemail
