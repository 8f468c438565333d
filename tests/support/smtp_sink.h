#pragma once
// A real SMTP server for the tests: Debian's aiosmtpd on loopback (port
// chosen when it starts), storing each accepted message byte for byte.

#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

class QProcess;
class QTemporaryDir;

namespace kitemail::test {

// Debian's own interpreter: the first python3 on the PATH may lack aiosmtpd.
inline constexpr const char* kSystemPython = "/usr/bin/python3";

// A server that wants TLS (STARTTLS before MAIL, or from the connect, with
// the test certificate for localhost) and a login by one user.
struct SmtpSinkOptions {
    const char* tls = "none"; // "none", "starttls" or "tls"
    std::string user;         // not empty: AUTH PLAIN or LOGIN required
    std::string password;
};

class SmtpSink {
public:
    SmtpSink();
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    // Starts the server on a loopback address ("127.0.0.1" or "::1"); false
    // (with Error()) when it could not.
    [[nodiscard]] bool Start(const char* host = "127.0.0.1", const SmtpSinkOptions& options = {});
    void Stop();

    [[nodiscard]] std::uint16_t Port() const noexcept { return port_; }
    [[nodiscard]] const std::string& Error() const noexcept { return error_; }

    // Messages stored so far, waiting up to timeout for at least `count`.
    [[nodiscard]] int WaitForMessages(int count, std::chrono::milliseconds timeout) const;
    // Path of the n-th stored message (1-based) and its raw bytes.
    [[nodiscard]] std::string MessagePath(int n) const;
    [[nodiscard]] std::string MessageBytes(int n) const;
    // ParseStoredMail of the n-th message, its envelope too.
    [[nodiscard]] QJsonObject Envelope(int n) const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> process_;
    std::uint16_t port_ = 0;
    std::string error_;
};

// One server for a whole test suite; fixtures derive from this and use sink_.
class SmtpSinkSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { sink_.reset(); }

    static inline std::unique_ptr<SmtpSink> sink_;
};

// The stored message as Python's email package read it when it came (see
// tests/servers/parse_mail.py): subject, from, from_words, date, to, cc, has_bcc, body,
// content_type, defects and parts (content_type, filename, description,
// payload_b64); and its envelope, mail_from and rcpt_tos.
[[nodiscard]] QJsonObject ParseStoredMail(const std::string& path);

// Decodes a payload_b64 field.
[[nodiscard]] std::string DecodedBytes(const QJsonObject& object, const char* field);

} // namespace kitemail::test
