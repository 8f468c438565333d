#pragma once
// Outcome, progress and command codes of the mail component.

#include <cstdint>
#include <string>
#include <string_view>

namespace kitemail {

enum class SendMailError : std::uint8_t {
    No_Error = 0,
    Winsock_NotInitialized = 1,
    Network_Down = 2,
    Invalid_Address = 3,
    Internal_Error = 4,
    General_WinsockError = 5,
    Connection_Aborted = 6,
    Connection_Reset = 7,
    Connection_Timeout = 8,
    Out_Of_Sockets = 9,
    Network_Unreachable = 10,
    Address_NotAvailable = 11,
    Connection_Refused = 12,
    Unexpected_Response = 13,
    Transaction_Canceled = 14,
    Other_WinsockError = 15,
    Address_Resolution = 16,
    Premature_Disconnect = 17,
    No_Destination = 18,
    Host_Unreachable = 19,
    // An attachment could not be opened or read while the message was
    // written: sent without it, the mail would not be the one counted.
    Attachment_Unreadable = 20,
    // The encrypted connection could not be made: the server's certificate
    // failed its check, or STARTTLS was not offered or was refused.
    Tls_Failure = 21,
    // The server refused the login, or offers no way of logging in that we
    // speak.
    Authentication_Failed = 22,
    // The server's SIZE limit is below the message's size.
    Message_Too_Large = 23,
    // A password would have gone over an unencrypted connection to a server
    // elsewhere than on this machine.
    Insecure_Authentication = 24,
    // The message's final "." went out whole and no reply came (time-out,
    // close or reset): the server may have taken the mail, or not.
    Delivery_Unconfirmed = 25,
};

enum class SendMailInfo : std::uint8_t {
    Info_Connected = 0,
    Info_Received = 1,
    Info_Sending = 2,
    Info_Disconnected = 3,
    Info_MailAccepted = 4,
    Info_AttachmentStart = 5,
    Info_AttachmentSize = 6,
    Info_AttachmentProgress = 7,
    Info_RecipientRefused = 8,
    Info_RecipientSent = 9,
    Info_BodySize = 10,
    Info_BodyProgress = 11,
    Info_AttachmentFailed = 12,
    Info_Busy = 13,
    Info_Resolved = 14,
    Info_Resolving = 15,
    Info_TlsStarting = 16,     // TLS from the connect, or after STARTTLS
    Info_TlsEstablished = 17,  // the connection is encrypted, the server verified
    Info_Authenticating = 18,  // AUTH goes out
    Info_Authenticated = 19,   // the server accepted the login
};

enum class TMailAction : std::uint8_t { None, Send_Mail, Cancel_SendMail };

// One failure of a request, told three ways and kept apart: our code, our
// own words for it (the text OnMailError carries), and the server's line
// when a reply of the server ended the request.
struct MailFailure {
    SendMailError code = SendMailError::No_Error;
    std::string text;
    std::string serverLine; // as received; show it through PrintableServerLine
    // Our words for the user beyond what the code's own message says (a
    // certificate's faults and fingerprint, a setting to check): code page 932.
    std::string detail;
};

// A server's line fit to be shown: its control bytes left out, so that it
// can neither add lines nor move the cursor of whatever shows it.
[[nodiscard]] std::string PrintableServerLine(std::string_view line);

// A byte below 0x20 or 0x7F (a tab only unless allowTab): in a command, a
// header line or a history line it would end the line early and start one
// of its own.
[[nodiscard]] bool HasControlByte(std::string_view value, bool allowTab = false);

// One mailbox as MAIL FROM:<...> and RCPT TO:<...> carry it (RFC 5321
// 4.1.2): a local part, "@", a domain or an address literal, and nothing
// else, so that no comma, second "@", bracket or blank can add a recipient
// or a parameter. The local part's dots may stand anywhere ("a..b.",
// as some Japanese carriers gave out); a quoted local part is taken.
[[nodiscard]] bool IsSafeEnvelopeAddress(std::string_view address);

// No CR, LF or NUL: a line break inside a command's value would end the
// command early and let the rest reach the server as a command of its own.
[[nodiscard]] bool FitsOnOneLine(std::string_view value);

struct MappedSocketError {
    SendMailError error;
    std::string_view text;
};

// The component's error and the text it reports for a Windows Sockets error
// number (non-zero).
[[nodiscard]] MappedSocketError MapSocketError(std::uint16_t wsaError) noexcept;

// Texts the component reports for its own failures.
inline constexpr std::string_view kTextUnexpectedResponse = "Unexpected response: ";
inline constexpr std::string_view kTextOwnTimeout = "Connection timed out";
// The server stopped taking the message while it was written.
inline constexpr std::string_view kTextDataBlockTimeout = "Data block timed out";
inline constexpr std::string_view kTextUnconfirmed = "No reply to the end of the message";
inline constexpr std::string_view kTextPrematureDisconnect = "Prematurely Disconnected";
inline constexpr std::string_view kTextNoDestination = "Mail Destination Error";
inline constexpr std::string_view kTextInvalidAddress = "Invalid address specified";
// A header value holding a control byte, refused before connecting.
inline constexpr std::string_view kTextInvalidHeader = "Invalid header value";
inline constexpr std::string_view kTextAttachmentUnreadable = "Attachment could not be read: ";

} // namespace kitemail
