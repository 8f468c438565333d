#pragma once
// The set-up of a submission session, from the server's greeting to the
// first MAIL FROM, for servers that want encryption and a login: EHLO and
// its capabilities (RFC 5321 4.1.1.1), STARTTLS and EHLO once more on the
// encrypted connection (RFC 3207 4.2), AUTH PLAIN (RFC 4616) or LOGIN
// (RFC 4954), and the server's SIZE limit (RFC 1870) checked before the
// message goes out. It does no I/O: it takes whole replies and answers
// through a sink. With security and authentication both off it is not used,
// and the dialogue greets with HELO as it always has.

#include "mail/mail_types.h"
#include "mail/security_choices.h"
#include "net/tls_failure.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {

struct SubmissionOptions {
    SmtpSecurity security = SmtpSecurity::None;
    SmtpAuth auth = SmtpAuth::None;
    std::string user;     // code page 932
    std::string password; // code page 932
    TlsOptions tls;

    // EHLO instead of HELO: something beyond the plain dialogue is wanted.
    [[nodiscard]] bool Extended() const noexcept
    {
        return security != SmtpSecurity::None || auth != SmtpAuth::None;
    }
};

// What the server announced in its reply to EHLO.
struct EhloCapabilities {
    bool startTls = false;
    bool anyAuth = false; // an AUTH line, whatever its mechanisms
    bool authPlain = false;
    bool authLogin = false;
    std::optional<std::uint64_t> sizeLimit; // SIZE with a limit above 0

    friend bool operator==(const EhloCapabilities&, const EhloCapabilities&) = default;
};
// The reply's lines as received (the first names the server); keywords and
// mechanisms in any case, "AUTH=" as old servers write it too.
[[nodiscard]] EhloCapabilities ParseEhloReply(const std::vector<std::string>& lines);

class SubmissionSink {
public:
    virtual ~SubmissionSink() = default;
    virtual void SendCommand(const std::string& line) = 0;
    // A command carrying credentials; progress shows it as shownAs.
    virtual void SendSecret(const std::string& line, const std::string& shownAs) = 0;
    // The server agreed to STARTTLS: encrypt, then call Encrypted().
    virtual void StartTls() = 0;
    [[nodiscard]] virtual bool ConnectionEncrypted() const = 0;
    [[nodiscard]] virtual bool ServerOnLoopback() const = 0;
    // The size of the message as the server counts it; nullopt when it
    // cannot be known before it is written.
    [[nodiscard]] virtual std::optional<std::uint64_t> MessageSize() = 0;
    virtual void Info(SendMailInfo info, const std::string& text) = 0;
    // The session cannot be set up; the request ends.
    virtual void SessionFailed(const MailFailure& failure) = 0;
    // Ready for MAIL FROM.
    virtual void SessionReady() = 0;
};

class SmtpSubmission {
public:
    explicit SmtpSubmission(SubmissionSink& sink) : sink_(sink) {}

    // After the greeting: sends EHLO.
    void Begin(SubmissionOptions options, std::string helloName);
    // A whole reply: its code and its lines (the last one last).
    void HandleReply(int code, const std::vector<std::string>& lines);
    // The TLS handshake after STARTTLS finished.
    void Encrypted();
    // The request ended (or never began).
    void Stop() noexcept { step_ = Step::Idle; }

    [[nodiscard]] bool Running() const noexcept { return step_ != Step::Idle; }
    // Waiting for the handshake: nothing may come from the server.
    [[nodiscard]] bool AwaitingTls() const noexcept { return step_ == Step::AwaitTls; }

private:
    enum class Step {
        Idle,
        AwaitEhlo,
        AwaitStartTls,
        AwaitTls,
        AwaitLoginUser,
        AwaitLoginPassword,
        AwaitAuthResult,
    };

    void Capabilities(const std::vector<std::string>& lines);
    void Authenticate();
    void Ready();
    void Fail(SendMailError error, std::string text, const char* detailUtf8, const std::string& serverLine = {});

    SubmissionSink& sink_;
    SubmissionOptions options_;
    std::string helloName_;
    EhloCapabilities capabilities_;
    bool authBeforeTls_ = false; // the first EHLO offered AUTH, before encryption
    Step step_ = Step::Idle;
};

} // namespace kitemail
