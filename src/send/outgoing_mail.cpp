#include "send/outgoing_mail.h"

#include "accounting/terminal_type.h"

namespace kitemail {

SenderParts SplitSender(std::string_view senderAddress)
{
    const std::size_t comma = senderAddress.find(',');
    if (comma == std::string_view::npos) {
        return {std::string(senderAddress), std::string(senderAddress)};
    }
    return {std::string(senderAddress.substr(0, comma)), std::string(senderAddress.substr(comma + 1))};
}

std::string RunSubject(TerminalType type, std::string_view pin, std::string_view subject)
{
    std::string result = TerminalTypeRow(type).pinAsSubject ? (pin.empty() ? std::string() : "#" + std::string(pin))
                                                            : std::string(subject);
    return result.empty() ? " " : result;
}

} // namespace kitemail
