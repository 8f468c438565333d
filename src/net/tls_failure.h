#pragma once
// Why an encrypted connection was not made: what is wrong with the server's
// certificate, or what else stopped the handshake, and the certificate's
// SHA-256 fingerprint, so that a user can compare it with the one their
// provider publishes. Nothing is ever accepted in spite of it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

enum class TlsProblem : std::uint8_t {
    Expired,
    NotYetValid,
    NameMismatch,  // the certificate is for another host name
    UnknownIssuer, // not signed by anyone in the trust store or CAFile
    Other,         // another certificate fault (detail says which)
};

struct TlsFailure {
    std::vector<TlsProblem> problems; // empty: the handshake failed for another reason
    std::string fingerprint;          // "AB:CD:...", empty when no certificate was seen
    std::string detail;               // the TLS library's or our own words (code page 932)

    friend bool operator==(const TlsFailure&, const TlsFailure&) = default;
};

// Extra certificates to trust (a PEM file, the setting CAFile; code page 932
// path, empty for none) besides the system's store.
struct TlsOptions {
    std::string caFile;
};

// English, for the mail component's error text and the history record:
// "certificate expired, host name mismatch; SHA-256 AB:CD:...".
[[nodiscard]] std::string TlsFailureText(const TlsFailure& failure);
// The same for a message box (code page 932), one fact a line.
[[nodiscard]] std::string TlsFailureMessage(const TlsFailure& failure);

// "AB:CD:..." of raw digest bytes.
[[nodiscard]] std::string FingerprintText(std::string_view digest);

} // namespace kitemail
