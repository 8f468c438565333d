#pragma once
// The road of a message from "送信" to the history folder: the send command
// with its checks, the optional POP before SMTP step, the send run for one
// recipient or each ticked address-book entry, splitting, each mail through
// the mail component, and the completion that counts errors and records
// history. No widgets: the window (or the command line, or a test) answers
// through UserInterface and SendView.

#include "accounting/splitter.h"
#include "mail/send_mail.h"
#include "net/ktcp.h"
#include "send/pop_before_smtp.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {

class MessageComposer;
class UserInterface;
struct Settings;

// One mail as the send run hands it to the mail component.
struct OutgoingMail {
    std::string to;
    std::string from;
    std::string replyTo;
    std::string subject; // Shift_JIS, before encoding
    std::string body;    // Shift_JIS, before conversion
    std::vector<std::string> attachments;
};

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
    // The type name the address-book editor shows, for the history record.
    [[nodiscard]] virtual std::string EditorTypeName() const { return {}; }
    // The composer's boxes changed under the send (address, PIN, type box).
    virtual void ComposerChanged() {}
    // Each mail's end, after its history record.
    virtual void MailEnded(const MailOutcome& /*outcome*/) {}
};

class SendWorkflow {
public:
    SendWorkflow(Settings& settings, MessageComposer& composer, UserInterface& ui, SendView& view,
                 std::filesystem::path historyDir);
    ~SendWorkflow();
    SendWorkflow(const SendWorkflow&) = delete;
    SendWorkflow& operator=(const SendWorkflow&) = delete;

    // "送信" / Ctrl+G.
    void Send();
    // The run for the recipient in the direct-address box.
    void SendToRecipient();
    void SendOneMail(const std::string& to, const std::string& from, const std::string& replyTo,
                     const std::string& subject, const std::string& body);
    void SplitAndSend(const std::string& to, const std::string& from, const std::string& replyTo,
                      const std::string& subject);
    void WaitSeconds(std::int32_t seconds);
    // The abort button.
    void Abort();
    // The running or last command stopped short: the user aborted, or a
    // check refused a mail before it went out.
    [[nodiscard]] bool Aborted() const noexcept { return SendAborted; }

    // A mail is in flight or a wait runs: the window must not close.
    [[nodiscard]] bool Busy() const noexcept { return busy_ > 0; }

    SendMail& Mail() noexcept { return mail_; }
    PopBeforeSmtpOptions& PopOptions() noexcept { return popOptions_; }

    // Send state, shared with the splitter and the completion handler.
    bool SendAborted = false;
    bool SendDone = false;
    bool IntervalElapsed = false;
    // Mails of the running command (the last one, once it has ended) that
    // failed or were refused on their own; aborts and refusals that end the
    // command aside. The status line's count and the command line's exit.
    std::int32_t ErrorCount = 0;
    std::string SentBody;
    std::string SentSubject;
    std::string MessageId;
    std::vector<std::string> SplitParts;

    // Of the mails that failed since the last Send (ErrorCount), those whose
    // "." went out whole without a reply: they may have been delivered.
    std::int32_t UnconfirmedMailsThisCommand = 0;
    // Set when the command was refused or aborted.
    bool RefusedOrAborted = false;

private:
    bool RunChecks();
    // Refuses (and says why) a value that would change the mail or its
    // history record if it went out as typed.
    bool RefuseUnsafeValues(const std::string& to, const std::string& senderAddress, const std::string& subject,
                            std::int32_t type);
    [[nodiscard]] SplitResult CutIntoParts(const std::string& from, const std::string& subject);
    void SendParts(const std::string& to, const std::string& from, const std::string& replyTo,
                   const SplitResult& split);
    void SendToAddressBook();
    void FinalStatus();
    void ReportMailError(SendMailError error);
    void MailDone();
    void Refuse(const std::string& status, const std::string& message);
    [[nodiscard]] std::string PhoneTypeName() const;
    void SetPanel(bool enabled);
    void ShowSending(const std::string& status, std::size_t part = 1, std::size_t parts = 1);
    void SessionStep(SendMailInfo info);
    // The SMTP password for this command: the stored one, else asked for.
    bool AskSmtpPassword();

    Settings& settings_;
    MessageComposer& composer_;
    UserInterface& ui_;
    SendView& view_;
    std::filesystem::path historyDir_;
    SendMail mail_;
    TKTcpClient tcp_;
    PopBeforeSmtpOptions popOptions_;
    int busy_ = 0;
    std::string sendingStatus_; // the status of the mail in flight
    MailOutcome outcome_;       // of the mail in flight
    std::string smtpPassword_;  // of the running command; a typed one is never stored
    std::int32_t historyFailures_ = 0;          // records of the command that could not be written
    std::optional<PopLoginResult> popLogin_;    // of the command, when a login ran
    std::string popNote_;                       // the login's failure for the final status; empty when it succeeded
};

} // namespace kitemail
