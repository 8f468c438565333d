#include "mail/mail_types.h"

#include "mail/winsock_errors.h"

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
