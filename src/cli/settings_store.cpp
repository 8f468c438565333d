#include "cli/settings_store.h"

#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"

#include <cstdio>

namespace kitemail::cli {

void ShellUi::ShowMessage(const std::string& text)
{
    ++messages_;
    std::fprintf(stderr, "%s\n", SjisToUtf8(text).c_str());
}

bool ShellUi::Confirm(const std::string& text, const std::string&)
{
    if (!yes_) {
        std::fprintf(stderr, "%s -> no (give --yes to answer yes)\n", SjisToUtf8(text).c_str());
    }
    return yes_;
}

SettingsStore::SettingsStore(const std::optional<std::filesystem::path>& dataDirOption, bool yes)
    : dir_(DataDirectory(dataDirOption)), ui_(yes), editor_(settings_, ui_)
{
    CheckSettingsFile(dir_);
    LoadMainWindowSettings(SettingsFilePath(dir_), settings_);
    // An unreadable Signature.txt is never deleted by the save, which then
    // fails and says so; reading needs no signature.
    (void)editor_.Load(SettingsFilePath(dir_), SignaturePath(dir_));
}

void SettingsStore::Save()
{
    const SaveResult result = editor_.Save(SettingsFilePath(dir_), SignaturePath(dir_));
    if (!result.ok()) {
        throw CommandError::Failure(SjisToUtf8(result.message) + " (" + result.reason + ")");
    }
}

} // namespace kitemail::cli
