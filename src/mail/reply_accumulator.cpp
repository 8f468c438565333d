#include "mail/reply_accumulator.h"

namespace kitemail {

std::vector<std::string> ReplyAccumulator::Feed(std::string_view bytes)
{
    std::vector<std::string> lines;
    for (const char c : bytes) {
        if (c == '\0') {
            continue;
        }
        if (c == '\n') {
            if (!pending_.empty() && pending_.back() == '\r') {
                pending_.pop_back();
            }
            lines.push_back(std::move(pending_));
            pending_.clear();
            continue;
        }
        pending_.push_back(c);
        if (pending_.size() >= kMaxPendingBytes) {
            lines.push_back(std::move(pending_));
            pending_.clear();
        }
    }
    return lines;
}

} // namespace kitemail
