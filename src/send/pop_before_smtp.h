#pragma once
// POP before SMTP: a POP3 login (USER, PASS, QUIT) just before sending, for
// providers that accept mail only from a client that logged in shortly
// before. It downloads nothing; the outcome goes to the status line.

#include "mail/security_choices.h"
#include "net/ktcp.h"
#include "platform/secret_store.h"
#include "platform/user_interface.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kitemail {

struct ProgramOptions;

struct PopBeforeSmtpOptions {
    // How long the server may take to answer: its greeting, counted from
    // the connection, and each command, counted from the command. The
    // settings' ReplyTimeout, when PopBeforeSmtp runs the login.
    std::chrono::milliseconds replyTimeout = std::chrono::minutes(5);
    // Shows or hides the status bar's abort button ("中止") around the wait.
    std::function<void(bool visible)> showAbortButton;
    // Enables or disables the command that started the login (the developer
    // toolbar's "POP3認証" button) while it runs.
    std::function<void(bool enabled)> enableCommand;
    // Where PopBeforeSmtp reads a password kept in the keyring; none: the
    // keyring cannot be reached, and the password is asked for.
    SecretStore* keyring = nullptr;
    // The settings' POP3Security and CAFile, when PopBeforeSmtp runs the
    // login.
    Pop3Security security = Pop3Security::None;
    std::string caFile;
};

enum class PopLoginResult {
    NotConfigured, // no POP3 user or server: nothing was tried
    Cancelled,     // the password prompt was cancelled
    Succeeded,
    Failed,        // refused, unreachable, silent, or aborted (sendAborted tells)
};

// Runs the login with client and waits for its end, handling events. Clears
// sendAborted first; setting it during the wait (the abort button) ends the
// wait at once. Every failure has shown its own message box. True only
// when the server acknowledged QUIT (and closed the connection, or did not
// within the reply time). The connect deadline is the client's own.
[[nodiscard]] bool PopAuthenticate(TKTcpClient& client, const std::string& server, std::int32_t port,
                                   const std::string& user, const std::string& password, UserInterface& ui,
                                   bool beepOnMessage, bool& sendAborted, const PopBeforeSmtpOptions& options = {});

// The whole step as the send command and the settings dialog run it: the
// settings check, the password (the stored one, else asked for; a typed one
// is not stored), the login with the time-outs of the settings, and the
// status texts.
PopLoginResult PopBeforeSmtp(const ProgramOptions& settings, UserInterface& ui, TKTcpClient& client, bool& sendAborted,
                             const PopBeforeSmtpOptions& options = {});

// The same with a client of its own, for callers that keep none.
PopLoginResult PopBeforeSmtp(const ProgramOptions& settings, UserInterface& ui, bool& sendAborted,
                             const PopBeforeSmtpOptions& options = {});

} // namespace kitemail
