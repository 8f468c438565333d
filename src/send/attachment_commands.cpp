#include "send/attachment_commands.h"

#include "accounting/counter.h"
#include "platform/text_codec.h"
#include "platform/user_interface.h"
#include "settings/settings.h"

#include <algorithm>

namespace kitemail {

std::string FileNamePart(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

AttachmentCommands::AttachmentCommands(Settings& settings, MessageComposer& composer, UserInterface& ui)
    : settings_(settings), composer_(composer), ui_(ui)
{
}

void AttachmentCommands::Add(const std::vector<ComposedText>& paths, bool refuseListed)
{
    std::vector<std::string> list = composer_.Attachments();
    const std::string status = Sj("添付ファイル選択エラー");
    for (const ComposedText& path : paths) {
        if (!path.unmappable.empty()) {
            // The list holds code page 932 paths: this one has no such name.
            Refuse(ui_, settings_.BeepOnMessage, status,
                   Sj("ファイル名にShift_JISで表せない文字があるため、添付できません（") +
                       CodePointNames(path.unmappable) + ")" + "\r\n" + path.bytes);
            continue;
        }
        const bool listed = std::find(list.begin(), list.end(), path.bytes) != list.end();
        // A folder, a device, a pipe or a file that cannot be read is as good
        // as missing: none of them can be sent.
        if ((refuseListed && listed) || !AttachmentProblem(path.bytes).empty()) {
            Refuse(ui_, settings_.BeepOnMessage, status, Sj("重複しているか、ファイルが存在しません。"));
            continue;
        }
        list.push_back(path.bytes);
    }
    composer_.SetAttachments(std::move(list));
}

void AttachmentCommands::AddDropped(const std::vector<ComposedText>& paths)
{
    Add(paths, true);
}

void AttachmentCommands::AddChosen(const std::vector<ComposedText>& paths)
{
    Add(paths, false);
}

void AttachmentCommands::Remove(std::int32_t index)
{
    std::vector<std::string> list = composer_.Attachments();
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return;
    }
    list.erase(list.begin() + index);
    composer_.SetAttachments(std::move(list));
}

bool AttachmentCommands::ClearAsked()
{
    if (settings_.ConfirmClear && !Ask(ui_, settings_.BeepOnMessage, Sj("添付ファイルクリアしますか？"))) {
        return false;
    }
    composer_.SetAttachments({});
    return true;
}

} // namespace kitemail
