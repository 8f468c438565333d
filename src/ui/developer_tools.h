#pragma once
// The developer tool bar's controls: the "Test" switch (send runs that stop
// short of the mail component), "for test" (no function), "POP3認証" (the
// POP before SMTP step alone) and "My SMTP test" (the message as the boxes
// stand, by plain SMTP to a server on this machine).

#include "send/ktcp.h"
#include "send/loopback_smtp_test.h"

#include <QObject>

class QAction;
class QCheckBox;
class QToolBar;

namespace kitemail {

class MainWindow;
struct Settings;

class DeveloperTools : public QObject {
    Q_OBJECT
public:
    // Fills bar, which owns this.
    DeveloperTools(QToolBar* bar, Settings& settings, MainWindow& mainWindow);
    ~DeveloperTools() override;

    [[nodiscard]] bool TestSwitch() const;
    // Its server and port may be changed (tests use their own peer).
    [[nodiscard]] LoopbackSmtpTest& SmtpTest() noexcept { return smtpTest_; }

    void RunPopLogin();
    void RunSmtpTest();

private:
    Settings& settings_;
    MainWindow& main_;
    QCheckBox* testCheck_ = nullptr;
    QAction* popButton_ = nullptr;
    TKTcpClient popClient_;
    LoopbackSmtpTest smtpTest_;
};

} // namespace kitemail
