// The main window as the engine's UserInterface and SendView: messages,
// questions and prompts, and the panel locked while a mail is in flight.

#include "ui/main_window.h"

#include "platform/text_codec.h"
#include "settings/address_book.h"
#include "ui/attachment_page.h"
#include "ui/developer_tools.h"
#include "ui/line_prompt.h"
#include "ui/message_boxes.h"
#include "ui/split_result_viewer.h"
#include "ui/status_line.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QShortcut>

namespace kitemail {

void MainWindow::SetStatusText(const std::string& text)
{
    statusLine_->SetStatusText(DecodeSjis(text));
}

void MainWindow::ShowMessage(const std::string& text)
{
    ShowMessageBox(this, text);
}

bool MainWindow::Confirm(const std::string& text, const std::string& title)
{
    return ConfirmBox(this, text, title);
}

YesNoCancel MainWindow::AskYesNoCancel(const std::string& text, const std::string& title)
{
    return YesNoCancelBox(this, text, title);
}

void MainWindow::Beep()
{
    QApplication::beep();
    emit beeped();
}

std::optional<std::string> MainWindow::PromptPassword(const std::string& /*prompt*/)
{
    return passwordPrompt_->Ask();
}

std::optional<std::string> MainWindow::PromptLine(const std::string& caption, const std::string& prompt,
                                                  const std::string& initial)
{
    LinePrompt box(DecodeSjis(caption), DecodeSjis(prompt), QLineEdit::Normal, this);
    box.setObjectName(QStringLiteral("LinePrompt"));
    return box.Ask(DecodeSjis(initial));
}

std::optional<std::string> MainWindow::PromptSmtpPassword(const std::string& /*prompt*/)
{
    return smtpPasswordPrompt_->Ask();
}

void MainWindow::SetMainPanelEnabled(bool enabled)
{
    panelEnabled_ = enabled;
    LockPanel();
}

void MainWindow::LockPanel()
{
    const bool enable = panelEnabled_ && !sending_;
    if (enable == mainPanel_->isEnabled()) {
        return;
    }
    // The box the user was typing in gets the keyboard back afterwards.
    if (!enable) {
        focusBeforeLock_ = focusWidget();
    }
    mainPanel_->setEnabled(enable);
    if (enable && focusBeforeLock_ != nullptr && focusBeforeLock_->isEnabled()) {
        focusBeforeLock_->setFocus(Qt::OtherFocusReason);
    }
}

// While anything is in flight only "中止" acts: every bar, menu and box is
// shown greyed, also after "中止" until the stopped work has ended.
void MainWindow::SetAbortButtonVisible(bool visible)
{
    sending_ = visible;
    statusLine_->SetAbortVisible(visible);
    escape_->setEnabled(visible);
    LockPanel();
}

void MainWindow::SetSending(bool sending)
{
    panelEnabled_ = !sending;
    SetAbortButtonVisible(sending);
}

bool MainWindow::ReviewSplit(const std::string& body, const std::vector<std::string>& parts)
{
    return splitViewer_->Review(body, parts);
}

std::string MainWindow::SenderBoxText() const
{
    const int i = senderBox_->currentIndex();
    return i >= 0 && i < static_cast<int>(senderItems_.size()) ? senderItems_[static_cast<std::size_t>(i)]
                                                               : composer_.Sender();
}

bool MainWindow::TestSwitch() const
{
    return developerTools_->TestSwitch();
}

bool MainWindow::AnimeMode() const
{
    return attachmentPage_->AnimeMode();
}

void MainWindow::ClearMessage()
{
    RunClear();
}

void MainWindow::ComposerChanged()
{
    SyncTexts();
    SyncAll();
}

} // namespace kitemail
