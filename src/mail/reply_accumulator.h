#pragma once
// The one reader of what a server says, for the SMTP dialogue, the POP3
// login and the loopback SMTP test alike: the bytes received are collected
// into complete lines, never holding more than one line's worth, and a line
// is judged by the reply syntax of its protocol.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

class ReplyAccumulator {
public:
    // RFC 5321 4.5.3.1.5: a reply line is at most 512 octets with its CR LF
    // (RFC 1939 says the same of POP3). Far more than that still passes, for
    // servers that say too much; a line past it is a protocol error, never
    // cut into pieces that would be taken for replies of their own.
    static constexpr std::size_t kMaxLineBytes = 512 + 4096;

    // Appends bytes and returns the lines they complete, without their ends.
    // A line ends at LF; a CR before it is dropped. Once the line being
    // collected passes kMaxLineBytes, nothing more is taken.
    [[nodiscard]] std::vector<std::string> Feed(std::string_view bytes);
    // A line passed kMaxLineBytes; Pending() holds its start.
    [[nodiscard]] bool Overflowed() const noexcept { return overflowed_; }
    // Bytes received after the last complete line.
    [[nodiscard]] const std::string& Pending() const noexcept { return pending_; }
    void Clear() noexcept
    {
        pending_.clear();
        overflowed_ = false;
    }

private:
    std::string pending_;
    bool overflowed_ = false;
};

// One line of an SMTP reply as RFC 5321 4.2 writes it: three digits, then a
// space, "-" (more lines of the same reply follow) or the line's end. Every
// line of one reply carries the same code (4.2.1); the reader of the lines
// holds them to it.
struct ReplyLine {
    int code = 0;
    bool last = true;
};
[[nodiscard]] std::optional<ReplyLine> ParseReplyLine(std::string_view line);

// A POP3 status line (RFC 1939 3): "+OK" then a space or the line's end is
// positive; anything else ("-ERR", a line of no status) is not.
[[nodiscard]] bool IsPositiveStatus(std::string_view line);

} // namespace kitemail
