#pragma once
// How a connection to the mail servers is protected and how the SMTP login
// goes: the choices of the settings' [Submission], whose values in the
// settings file are these numbers.

#include <cstdint>

namespace kitemail {

// Plain, STARTTLS after EHLO (RFC 3207), or TLS from the connect (RFC 8314 3.3).
enum class SmtpSecurity : std::int32_t { None = 0, StartTls = 1, Tls = 2 };
// No login, the best the server offers, AUTH PLAIN (RFC 4616) or LOGIN.
enum class SmtpAuth : std::int32_t { None = 0, Best = 1, Plain = 2, Login = 3 };
// Plain, STLS after the greeting (RFC 2595 4), or TLS from the connect.
enum class Pop3Security : std::int32_t { None = 0, Stls = 1, Tls = 2 };

} // namespace kitemail
