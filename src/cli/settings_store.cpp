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

SettingsStore::SettingsStore(const std::optional<std::filesystem::path>& dataDirOption, Access access, bool yes)
    : file_(DataDirectory(dataDirOption)), ui_(yes), editor_(settings_, sender_, ui_)
{
    if (access == Access::Change) {
        if (std::optional<std::string> busy = file_.Hold()) {
            throw CommandError::Failure(SjisToUtf8(*busy));
        }
    }
    (void)file_.RemoveLeftovers();
    CheckSettingsFile(file_.Dir());
    file_.LoadMainWindowHalf(settings_);
    // An unreadable Signature.txt is never deleted by the save, which then
    // fails and says so; reading needs no signature.
    (void)editor_.Load(file_);
    WarnSettingsProblems(file_.Problems());
}

void SettingsStore::Save()
{
    const SaveResult result = editor_.Save(file_);
    if (!result.ok()) {
        throw CommandError::Failure(SjisToUtf8(result.message) + " (" + result.reason + ")");
    }
}

} // namespace kitemail::cli
