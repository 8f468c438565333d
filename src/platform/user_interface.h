#pragma once
// What the engine may ask of the person at the keyboard. The Qt windows
// implement it with real boxes; tests and the command line with scripted
// answers. Every text is code page 932 bytes.

#include <optional>
#include <string>

namespace kitemail {

enum class YesNoCancel { Yes, No, Cancel };

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // The status line's text (the status label is put back to its start).
    virtual void SetStatusText(const std::string& text) = 0;
    // A plain modal message box.
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No confirmation box; true for Yes.
    [[nodiscard]] virtual bool Confirm(const std::string& text, const std::string& title) = 0;
    [[nodiscard]] virtual YesNoCancel AskYesNoCancel(const std::string& text, const std::string& title) = 0;
    // The exclamation beep.
    virtual void Beep() = 0;
    // A one-line password prompt; nullopt when the user cancels.
    [[nodiscard]] virtual std::optional<std::string> PromptPassword(const std::string& prompt) = 0;
    // A one-line input box showing initial; the typed text, nullopt when the
    // user cancels. Where nobody can be asked, nobody answers.
    [[nodiscard]] virtual std::optional<std::string> PromptLine(const std::string& /*caption*/,
                                                                const std::string& /*prompt*/,
                                                                const std::string& /*initial*/)
    {
        return std::nullopt;
    }
    // The SMTP login's password prompt; the POP3 one where nothing tells them apart.
    [[nodiscard]] virtual std::optional<std::string> PromptSmtpPassword(const std::string& prompt)
    {
        return PromptPassword(prompt);
    }
};

// The one pattern of every refusal: status text, beep when wanted, message box.
void Refuse(UserInterface& ui, bool beepOnMessage, const std::string& statusText, const std::string& message);

// A message box preceded by the beep when wanted.
void Notify(UserInterface& ui, bool beepOnMessage, const std::string& message);

// A Yes/No question titled "確認", preceded by the beep when wanted; true for Yes.
[[nodiscard]] bool Ask(UserInterface& ui, bool beepOnMessage, const std::string& question);

} // namespace kitemail
