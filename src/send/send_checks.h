#pragma once
// The send run's checks: each refuses, in the words the user is shown, a
// message or a mail that would not go out as typed. The command's checks
// run once before anything connects, a mail's once when its value is made.

#include "send/recipient.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

// The status line's text and the message box's, code page 932.
struct Refusal {
    std::string status;
    std::string message;
    friend bool operator==(const Refusal&, const Refusal&) = default;
};

// RFC 5321 4.5.3.1.6: a text line is at most 998 octets plus CR LF; the
// conversion to ISO-2022-JP adds escapes, so the typed line is held lower,
// and the converted one is held to the RFC's own limit too.
inline constexpr std::size_t kMaxBodyLineBytes = 990;
inline constexpr std::size_t kMaxWireLineBytes = 998;
// A subject goes out folded into encoded words, so no line limits it; this
// keeps its header well inside what mail systems take (Postfix: 100 KB of
// headers) and its history line readable: 2,000 full-width characters.
inline constexpr std::size_t kMaxSubjectBytes = 4000;

// The characters (code page 932 bytes each, in order of first appearance)
// whose ISO-2022-JP form would not be 7-bit: the user-defined and IBM
// extension rows (lead bytes 0xF0 and above). Sent, they would put 8-bit
// bytes into a 7-bit mail.
[[nodiscard]] std::vector<std::string> CharactersOutsideJis(std::string_view sjis);

// The longest line of the typed body in bytes (lines end at CR, LF or CR LF).
[[nodiscard]] std::size_t LongestLine(std::string_view body);

// The longest line of the body as it goes on the wire (MailTextFor), in
// bytes without its CR LF: the conversion's escapes and a doubled leading
// dot included.
[[nodiscard]] std::size_t LongestWireLine(std::string_view body);

// The typed body and subject: line lengths, the subject's size, a NUL, a
// character Shift_JIS cannot hold (unmappable, from the input boxes), a
// character without a 7-bit ISO-2022-JP form.
[[nodiscard]] std::optional<Refusal> CheckMessageText(std::string_view body, std::string_view subject,
                                                      const std::vector<char32_t>& unmappable);
// Each part of a split body on the wire: a part starts with its number and
// may start mid-line.
[[nodiscard]] std::optional<Refusal> CheckPartLines(const std::vector<std::string>& parts);
// A PIN for a type that sends it: none, or four characters.
[[nodiscard]] std::optional<Refusal> CheckPin(TerminalType type, std::string_view pin, const TerminalTypes& types = {});
// A recipient's address (not empty) and PIN, in the send run's words.
[[nodiscard]] std::optional<Refusal> CheckRecipient(const Recipient& recipient, const TerminalTypes& types = {});
// The command's own values: the sender name and the server, which would
// add a header line or a history line.
[[nodiscard]] std::optional<Refusal> CheckCommandValues(std::string_view senderName, std::string_view server);
// One mail's values: the addresses (one mailbox each, nothing that adds a
// line or a parameter), the subject as it goes out, and, for a type that
// sends them, the attachments (their names, and files that can be read).
[[nodiscard]] std::optional<Refusal> CheckMailValues(const Recipient& recipient, std::string_view subject,
                                                     const std::vector<std::string>& attachments,
                                                     const TerminalTypes& types = {});

} // namespace kitemail
