#include "ui/dialog_user_interface.h"

#include "ui/message_boxes.h"

namespace kitemail {

void DialogUserInterface::SetStatusText(const std::string& text)
{
    owner_.SetStatusText(text);
}

void DialogUserInterface::ShowMessage(const std::string& text)
{
    ShowMessageBox(dialog_, text);
}

bool DialogUserInterface::Confirm(const std::string& text, const std::string& title)
{
    return ConfirmBox(dialog_, text, title);
}

YesNoCancel DialogUserInterface::AskYesNoCancel(const std::string& text, const std::string& title)
{
    return YesNoCancelBox(dialog_, text, title);
}

void DialogUserInterface::Beep()
{
    owner_.Beep();
}

std::optional<std::string> DialogUserInterface::PromptPassword(const std::string& prompt)
{
    return owner_.PromptPassword(prompt);
}

std::optional<std::string> DialogUserInterface::PromptSmtpPassword(const std::string& prompt)
{
    return owner_.PromptSmtpPassword(prompt);
}

} // namespace kitemail
