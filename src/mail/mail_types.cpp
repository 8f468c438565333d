#include "mail/mail_types.h"

#include "net/winsock_errors.h"

#include <algorithm>

namespace kitemail {

std::string PrintableServerLine(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    for (const char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) {
            out.push_back(c);
        }
    }
    return out;
}

bool HasControlByte(std::string_view value, bool allowTab)
{
    return std::any_of(value.begin(), value.end(), [allowTab](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && !(allowTab && b == '\t')) || b == 0x7F;
    });
}

bool FitsOnOneLine(std::string_view value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

namespace {

bool IsAtext(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool IsLetDig(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Quoted-string: printable ASCII between the quotes, "\" before a quote or
// a backslash.
bool IsQuotedLocalPart(std::string_view s)
{
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') {
        return false;
    }
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        const char c = s[i];
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
        if (c == '\\') {
            if (++i + 1 >= s.size() || s[i] < 0x20 || s[i] > 0x7E) {
                return false;
            }
        } else if (c == '"') {
            return false;
        }
    }
    return true;
}

bool IsDotLocalPart(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return IsAtext(c) || c == '.'; });
}

// Sub-domains of letters, digits and inner hyphens, joined by dots.
bool IsDomain(std::string_view s)
{
    if (s.empty()) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = s.find('.', start);
        const std::string_view label = s.substr(start, dot == std::string_view::npos ? s.npos : dot - start);
        if (label.empty() || !IsLetDig(label.front()) || !IsLetDig(label.back())
            || !std::all_of(label.begin(), label.end(), [](char c) { return IsLetDig(c) || c == '-'; })) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        start = dot + 1;
    }
}

// "[...]" of printable ASCII without brackets or backslash (IPv4, IPv6 or a
// tagged literal; their inner syntax is the server's to judge).
bool IsBracketedAddressLiteral(std::string_view s)
{
    return s.size() > 2 && s.front() == '[' && s.back() == ']'
        && std::all_of(s.begin() + 1, s.end() - 1,
                       [](char c) { return c >= 0x21 && c <= 0x7E && c != '[' && c != ']' && c != '\\'; });
}

} // namespace

bool IsSafeEnvelopeAddress(std::string_view address)
{
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos) {
        return false;
    }
    const std::string_view local = address.substr(0, at);
    const std::string_view domain = address.substr(at + 1);
    return (IsDotLocalPart(local) || IsQuotedLocalPart(local)) && (IsDomain(domain) || IsBracketedAddressLiteral(domain));
}

MappedSocketError MapSocketError(std::uint16_t wsaError) noexcept
{
    using E = SendMailError;
    switch (wsaError) {
    case wsa::kNotInitialised: return {E::Winsock_NotInitialized, "Winsock not initialized"};
    case wsa::kNetworkDown: return {E::Network_Down, "Network down"};
    case wsa::kAccessDenied: return {E::Invalid_Address, kTextInvalidAddress};
    case wsa::kInterrupted:
    case wsa::kFault:
    case wsa::kInvalidArgument:
    case wsa::kInProgress:
    case wsa::kNotSocket:
    case wsa::kMessageSize:
    case wsa::kOperationSupport:
    case wsa::kFamilySupport:
    case wsa::kAddressInUse:
    case wsa::kIsConnected:
    case wsa::kNotConnected:
    case wsa::kShutdown: return {E::Internal_Error, "Unexpected internal error in component"};
    case wsa::kNetworkReset:
    case wsa::kNoBuffers: return {E::General_WinsockError, "General Winsock Error"};
    case wsa::kConnectionAborted: return {E::Connection_Aborted, "Connection aborted due to timeout or other failure"};
    case wsa::kConnectionReset: return {E::Connection_Reset, "Connection reset by remote side"};
    case wsa::kTimedOut: return {E::Connection_Timeout, "timeout"};
    case wsa::kTooManyFiles: return {E::Out_Of_Sockets, "Out of sockets"};
    case wsa::kNetworkUnreachable: return {E::Network_Unreachable, "Network unreachable"};
    case wsa::kAddressNotAvailable: return {E::Address_NotAvailable, "Address not available"};
    case wsa::kConnectionRefused: return {E::Connection_Refused, "Connection Refused"};
    case wsa::kHostNotFound:
    case wsa::kTryAgain:
    case wsa::kNoRecovery:
    case wsa::kNoData: return {E::Address_Resolution, "Address resolution error"};
    case wsa::kHostUnreachable: return {E::Host_Unreachable, "Host Unreachable"};
    default: return {E::Other_WinsockError, "Unknown Error"};
    }
}

} // namespace kitemail
