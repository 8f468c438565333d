#pragma once
// The developer tool bar's controls: the "Test" switch (send runs that stop
// short of the mail component), "for test" (no function), "POP3認証" (the
// POP before SMTP step alone) and "My SMTP test" (the message as the boxes
// stand, by plain SMTP to a server on this machine). The abort button ends
// a login or a test in flight through Abort.

#include "mail/loopback_smtp_test.h"
#include "net/ktcp.h"
#include "platform/user_interface.h"
#include "send/message_composer.h"
#include "send/send_workflow.h"

#include <QObject>

class QAction;
class QCheckBox;
class QToolBar;

namespace kitemail {

struct Settings;

class DeveloperTools : public QObject {
    Q_OBJECT
public:
    // Fills bar, which owns this. The runs talk to the user through ui, show
    // the abort button through view and take the message from composer.
    DeveloperTools(QToolBar* bar, Settings& settings, UserInterface& ui, SendView& view,
                   const MessageComposer& composer);
    ~DeveloperTools() override;

    [[nodiscard]] bool TestSwitch() const;
    // Its server and port may be changed (tests use their own peer).
    [[nodiscard]] LoopbackSmtpTest& SmtpTest() noexcept { return smtpTest_; }

    void RunPopLogin();
    void RunSmtpTest();
    // The abort button: ends the wait of the run in flight, if any.
    void Abort() noexcept { aborted_ = true; }
    // Where "POP3認証" finds a password kept in the keyring.
    void UseKeyring(SecretStore* keyring) noexcept { keyring_ = keyring; }

private:
    Settings& settings_;
    UserInterface& ui_;
    SendView& view_;
    const MessageComposer& composer_;
    bool aborted_ = false; // read by the run's wait
    SecretStore* keyring_ = nullptr;
    QCheckBox* testCheck_ = nullptr;
    QAction* popButton_ = nullptr;
    TKTcpClient popClient_;
    LoopbackSmtpTest smtpTest_;
};

} // namespace kitemail
