#pragma once
// The settings file as the commands that change it see it: loaded as the
// windows load it, edited through the settings dialog's editors, saved as
// the dialog saves at its close (one atomic write), so that the file holds
// the same bytes the window would write for the same values. A command that
// changes the file holds its lock from the read to the save: two commands
// at once change it one after the other, neither losing the other's change.

#include "platform/user_interface.h"
#include "settings/settings.h"
#include "settings/settings_editor.h"
#include "settings/settings_file.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kitemail::cli {

// The editors' messages on standard error; their questions answered by the
// command line (--yes), nothing prompted.
class ShellUi : public UserInterface {
public:
    explicit ShellUi(bool yes) : yes_(yes) {}

    void SetStatusText(const std::string&) override {}
    void ShowMessage(const std::string& text) override;
    bool Confirm(const std::string& text, const std::string& title) override;
    YesNoCancel AskYesNoCancel(const std::string&, const std::string&) override { return YesNoCancel::Cancel; }
    void Beep() override {}
    std::optional<std::string> PromptPassword(const std::string&) override { return std::nullopt; }

    // Messages shown so far: each one is an editor's refusal.
    [[nodiscard]] int Messages() const noexcept { return messages_; }

private:
    bool yes_;
    int messages_ = 0;
};

class SettingsStore {
public:
    // A settings file that exists but cannot be read is a bad-input error;
    // one held by another writer past kSettingsLockWait, a failure. What the
    // loader could not use as written is a warning on standard error.
    enum class Access { Read, Change };
    SettingsStore(const std::optional<std::filesystem::path>& dataDirOption, Access access, bool yes = false);

    [[nodiscard]] Settings& Values() noexcept { return settings_; }
    [[nodiscard]] SettingsEditor& Editor() noexcept { return editor_; }
    [[nodiscard]] const ShellUi& Ui() const noexcept { return ui_; }

    // The one atomic save; a refused one is a failure naming the file.
    void Save();

private:
    SettingsFile file_;
    Settings settings_;
    PlainSender sender_; // no message is being composed
    ShellUi ui_;
    SettingsEditor editor_;
};

} // namespace kitemail::cli
