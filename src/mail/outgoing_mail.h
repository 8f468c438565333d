#pragma once
// One mail as the send run hands it to the mail component: made once per
// mail (or part of a split one) and not changed after; the history record
// is made from the same value.

#include "mail/message_writer.h"
#include "platform/clock.h"

#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

struct OutgoingMail {
    std::string to;
    std::string from;       // MAIL FROM and the From header
    std::string replyTo;
    std::string senderName; // the From header's name, code page 932; empty for none
    std::string subject;    // code page 932, before encoding
    std::string body;       // code page 932, before conversion
    // Full paths (code page 932) of the files that go out with the mail.
    std::vector<std::string> attachments;
    bool animation = false; // the files go out as image/mtn
    std::string messageId;  // without angle brackets
    std::string date;       // the Date header's value; none when empty
    std::string typeName;   // the receiving terminal's type name; empty for the unspecified type
    std::string server;

    friend bool operator==(const OutgoingMail&, const OutgoingMail&) = default;
};

// The body as the mail carries it: ISO-2022-JP, closed with ESC ( B when the
// converted text ends in double-byte mode, split into lines, a line that
// begins with "." given one more, every line ended by CR LF.
[[nodiscard]] std::string MailTextFor(std::string_view body);

// RFC 5322 3.3 date-time with the local offset: "Sun, 06 Dec 2026 22:20:46 +0900".
[[nodiscard]] std::string MailDate(const LocalTime& t);

// X-Mailer, Message-ID and Reply-To, in that order.
[[nodiscard]] std::vector<std::string> MailHeaders(std::string_view messageId, std::string_view replyTo);

// An attachment's part: its name as an encoded header value of at most 255
// bytes (whole characters), base64, the full path as the file to read.
[[nodiscard]] AttachmentRecord AttachmentRecordFor(const std::string& path, bool animation);

} // namespace kitemail
