#pragma once
// What a dialog of the program answers for the engine: message boxes and
// questions over the dialog itself; the status line, the beep and the
// password prompts are the owner's (the main window's).

#include "platform/user_interface.h"

class QWidget;

namespace kitemail {

class DialogUserInterface : public UserInterface {
public:
    DialogUserInterface(QWidget* dialog, UserInterface& owner) : dialog_(dialog), owner_(owner) {}

    void SetStatusText(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    [[nodiscard]] bool Confirm(const std::string& text, const std::string& title) override;
    [[nodiscard]] YesNoCancel AskYesNoCancel(const std::string& text, const std::string& title) override;
    void Beep() override;
    [[nodiscard]] std::optional<std::string> PromptPassword(const std::string& prompt) override;
    [[nodiscard]] std::optional<std::string> PromptSmtpPassword(const std::string& prompt) override;

private:
    QWidget* dialog_;
    UserInterface& owner_;
};

} // namespace kitemail
