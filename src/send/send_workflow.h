#pragma once
// The road of a message from "送信" to the history folder: the send command
// with its checks, the optional POP before SMTP step, the send run for one
// recipient or each ticked address-book entry, splitting, each mail through
// the mail component, and the completion that counts errors and records
// history. No widgets: the window (or the command line, or a test) answers
// through UserInterface and SendView.

#include "accounting/splitter.h"
#include "mail/outgoing_mail.h"
#include "mail/send_mail.h"
#include "net/ktcp.h"
#include "send/pop_before_smtp.h"
#include "send/send_checks.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {

class MessageComposer;
class UserInterface;
class SecretStore;
struct Settings;
struct TerminalTypeState;

// The end of one mail that reached the mail component, as the command line
// reports it to scripts.
struct MailOutcome {
    std::string to;
    std::size_t part = 1; // of a split message, 1-based
    std::size_t parts = 1;
    std::int32_t error = 0;            // SendMailError; 0 when the server accepted the mail
    std::string resultText;            // the history record's result; empty for success
    std::string message;               // the message boxes' texts (code page 932), CR LF between; empty for none
    std::filesystem::path historyFile; // empty when no record was written
    bool refused = false;              // refused by the send run's checks; never reached the server
    std::optional<PopLoginResult> popLogin; // of the POP before SMTP login before the command, when one ran
};

// What the send workflow needs of the main window besides the user's boxes.
class SendView {
public:
    virtual ~SendView() = default;
    // MainPanel: every input area, the menu bar and the tool bars.
    virtual void SetMainPanelEnabled(bool enabled) = 0;
    // The abort button "中止" over the count display.
    virtual void SetAbortButtonVisible(bool visible) = 0;
    // The split result viewer, modal; true for OK.
    [[nodiscard]] virtual bool ReviewSplit(const std::string& body, const std::vector<std::string>& parts) = 0;
    // The over-limit question, answered Yes, said that the body's last
    // unsentBytes do not fit into nine parts: whether sending the nine
    // stands. The window's user read it in the question; the command line
    // asks for it on its own.
    [[nodiscard]] virtual bool AcceptsTruncatedSplit(std::size_t /*unsentBytes*/) { return true; }
    // The text of the main window's sender box.
    [[nodiscard]] virtual std::string SenderBoxText() const = 0;
    // The "アニメモード" box.
    [[nodiscard]] virtual bool AnimeMode() const { return false; }
    // The developer tool bar's "Test" switch: nothing reaches the mail component.
    [[nodiscard]] virtual bool TestSwitch() const { return false; }
    // In test mode, each mail that would have been sent.
    virtual void TestMail(const OutgoingMail& /*mail*/) {}
    // The clear command (for ClearAfterSend); the view asks its own question.
    virtual void ClearMessage() {}
    // The composer's boxes changed under the send (address and type box).
    virtual void ComposerChanged() {}
    // Each mail's end, after its history record.
    virtual void MailEnded(const MailOutcome& /*outcome*/) {}
};

// How the running command (the last one, once it has ended) stands.
struct CommandOutcome {
    // Mails that failed or were refused on their own; aborts and refusals
    // that end the command aside. The status line's count and the command
    // line's exit.
    std::int32_t errors = 0;
    // Of those, the mails whose "." went out whole without a reply: they
    // may have been delivered.
    std::int32_t unconfirmed = 0;
    // The command was refused or aborted.
    bool refusedOrAborted = false;
};

class SendWorkflow {
public:
    SendWorkflow(const Settings& settings, MessageComposer& composer, UserInterface& ui, SendView& view,
                 std::filesystem::path historyDir);
    ~SendWorkflow();
    SendWorkflow(const SendWorkflow&) = delete;
    SendWorkflow& operator=(const SendWorkflow&) = delete;

    // Where passwords kept in the keyring are read; none: they are asked for.
    void UseKeyring(SecretStore* keyring) noexcept { keyring_ = keyring; }

    // "送信" / Ctrl+G.
    void Send();
    // One mail through the mail component; returns when it has ended or was aborted.
    void SendOneMail(const OutgoingMail& mail);
    void WaitSeconds(std::int32_t seconds);
    // The abort button.
    void Abort();
    // The running or last command stopped short: the user aborted, or a
    // check refused a mail before it went out.
    [[nodiscard]] bool Aborted() const noexcept { return aborted_; }
    [[nodiscard]] const CommandOutcome& Outcome() const noexcept { return command_; }
    // The last mail made (its Message-ID, its date); none before the first.
    [[nodiscard]] const std::optional<OutgoingMail>& LastMail() const noexcept { return mail_; }

    // A mail is in flight or a wait runs: the window must not close.
    [[nodiscard]] bool Busy() const noexcept { return busy_ > 0; }

    SendMail& Mail() noexcept { return component_; }

private:
    bool RunChecks();
    bool Refuse(const std::optional<Refusal>& refusal);
    // The run for one recipient, whose values have been checked.
    void SendToRecipient(const Recipient& recipient, const TerminalTypeState& type);
    void SendToAddressBook();
    [[nodiscard]] OutgoingMail MakeMail(const Recipient& recipient, const SenderParts& sender, std::string subject,
                                        std::string body) const;
    [[nodiscard]] SplitResult CutIntoParts(const std::string& from, const std::string& subject,
                                           const TerminalTypeState& type);
    // Sends the parts of a cut message one by one, after the review.
    void SplitAndSend(const Recipient& recipient, const SenderParts& sender, const SplitResult& split);
    void FinalStatus();
    void ReportMailError(SendMailError error);
    void MailDone();
    void Refuse(const std::string& status, const std::string& message);
    void SetPanel(bool enabled);
    void ShowSending(const std::string& status, std::size_t part = 1, std::size_t parts = 1);
    void SessionStep(SendMailInfo info);
    // The SMTP password for this command: the stored one, else asked for.
    bool AskSmtpPassword();

    const Settings& settings_;
    MessageComposer& composer_;
    UserInterface& ui_;
    SendView& view_;
    std::filesystem::path historyDir_;
    SendMail component_;
    TKTcpClient tcp_;
    int busy_ = 0;
    bool aborted_ = false;      // the abort button, a refusal, a cancelled split
    bool mailEnded_ = false;    // the mail in flight has completed
    bool intervalElapsed_ = false;
    CommandOutcome command_;
    std::optional<OutgoingMail> mail_; // in flight, or the last one
    std::string sendingStatus_; // the status of the mail in flight
    MailOutcome outcome_;       // of the mail in flight
    std::string smtpPassword_;  // of the running command; a typed one is never stored
    SecretStore* keyring_ = nullptr;
    std::int32_t historyFailures_ = 0;          // records of the command that could not be written
    std::optional<PopLoginResult> popLogin_;    // of the command, when a login ran
    std::string popNote_;                       // the login's failure for the final status; empty when it succeeded
};

} // namespace kitemail
