#include "send/recipient.h"

#include "accounting/terminal_type.h"
#include "settings/settings.h"

namespace kitemail {

SenderParts SplitSender(std::string_view senderAddress)
{
    const std::size_t comma = senderAddress.find(',');
    if (comma == std::string_view::npos) {
        return {std::string(senderAddress), std::string(senderAddress)};
    }
    return {std::string(senderAddress.substr(0, comma)), std::string(senderAddress.substr(comma + 1))};
}

std::string RunSubject(TerminalType type, std::string_view pin, std::string_view subject, const TerminalTypes& types)
{
    std::string result = types.Rules(type).pinAsSubject ? (pin.empty() ? std::string() : "#" + std::string(pin))
                                                        : std::string(subject);
    return result.empty() ? " " : result;
}

SplitInputs SendSplitInputs(const Settings& settings, const TerminalTypeState& type, std::string_view body,
                            std::string_view from, std::string_view runSubject)
{
    SplitInputs in;
    in.body = body;
    in.subject = runSubject;
    in.from = from;
    in.type = type.CurrentTerminalType;
    in.types = settings.Types();
    in.fixedLength = type.CurrentFixedLength;
    in.maxLength = type.CurrentMaxLength;
    in.countShiftBytes = settings.CountShiftBytes;
    in.assumeSingleByteAtEnds = settings.AssumeSingleByteAtEnds;
    in.partNumberInSubject = settings.PartNumberInSubject;
    return in;
}

} // namespace kitemail
