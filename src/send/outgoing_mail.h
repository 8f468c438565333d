#pragma once
// What the send run derives from the message before it hands it to the mail
// component.

#include "platform/clock.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

struct SenderParts {
    std::string from;
    std::string replyTo;
};

// "A,B" gives From A and Reply-To B; without a comma both are the whole text.
[[nodiscard]] SenderParts SplitSender(std::string_view senderAddress);

// A type that sends its PIN in place of a Subject sends "#" + PIN; an
// empty result is " ".
[[nodiscard]] std::string RunSubject(std::int32_t type, std::string_view pin, std::string_view subject);

// The body as the mail carries it: ISO-2022-JP, closed with ESC ( B when the
// converted text ends in double-byte mode, split into lines, a line that
// begins with "." given one more, every line ended by CR LF.
[[nodiscard]] std::string MailTextFor(std::string_view body);

// "=?ISO-2022-JP?B?...?=" of the whole text; a single space gives "...?IA==?=".
[[nodiscard]] std::string EncodedSubject(std::string_view subject);

// RFC 5322 3.3 date-time with the local offset: "Sun, 06 Dec 2026 22:20:46 +0900".
[[nodiscard]] std::string MailDate(const LocalTime& t);

// X-Mailer, Message-ID and Reply-To, in that order.
[[nodiscard]] std::vector<std::string> MailHeaders(std::string_view messageId, std::string_view replyTo);

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

} // namespace kitemail
