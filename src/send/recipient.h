#pragma once
// One recipient of the send run and what the run derives from it before it
// makes each mail's value (mail/outgoing_mail.h).

#include "accounting/splitter.h"
#include "accounting/terminal_type.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kitemail {

struct Settings;

// One recipient of the send run: the direct-address box with the type and
// PIN boxes, or an address-book entry's own values.
struct Recipient {
    std::string address;
    TerminalType type = TerminalType::VodafoneLongMail;
    std::string pin;
    std::string sender; // "From" or "From,Reply-To"
};

struct SenderParts {
    std::string from;
    std::string replyTo;
};

// "A,B" gives From A and Reply-To B; without a comma both are the whole text.
[[nodiscard]] SenderParts SplitSender(std::string_view senderAddress);

// A type that sends its PIN in place of a Subject sends "#" + PIN; an
// empty result is " ".
[[nodiscard]] std::string RunSubject(TerminalType type, std::string_view pin, std::string_view subject,
                                     const TerminalTypes& types = {});

// What the send run hands the splitter for this body to a terminal of this
// type, from From (without its reply-to part) with the run's Subject; the
// result views the strings given.
[[nodiscard]] SplitInputs SendSplitInputs(const Settings& settings, const TerminalTypeState& type,
                                          std::string_view body, std::string_view from, std::string_view runSubject);

} // namespace kitemail
