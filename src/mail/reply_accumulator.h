#pragma once
// Collects the bytes the server sends and hands out complete reply lines.

#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

class ReplyAccumulator {
public:
    // RFC 5321 4.5.3.1.5: a reply line is at most 512 octets with CR LF;
    // past this a line without an end is handed out as it is, so a peer
    // that never ends its line cannot make the buffer grow without bound.
    static constexpr std::size_t kMaxPendingBytes = 4096;

    // Appends bytes and returns the lines they complete, without their ends.
    // A line ends at LF (a CR before it is dropped); zero bytes are dropped.
    [[nodiscard]] std::vector<std::string> Feed(std::string_view bytes);
    void Clear() noexcept { pending_.clear(); }
    [[nodiscard]] const std::string& Pending() const noexcept { return pending_; }

private:
    std::string pending_;
};

} // namespace kitemail
