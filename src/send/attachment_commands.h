#pragma once
// The rules of the attachment list: files dropped from the file manager or
// chosen in the dialog, removing one, clearing them all. No widgets: the
// window's list shows what the composer holds afterwards.

#include "send/message_composer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

class UserInterface;
struct Settings;

// The file-name part of a full path: what the list shows of it.
[[nodiscard]] std::string FileNamePart(std::string_view path);

class AttachmentCommands {
public:
    // Settings are read at each use, never copied.
    AttachmentCommands(Settings& settings, MessageComposer& composer, UserInterface& ui);

    // Paths (code page 932) dropped on the list, in the order the file
    // manager gives them. One already listed (an earlier one of this drop
    // included) or one that is not a readable regular file is refused, one
    // message each; the others are appended; then one recount.
    void AddDropped(const std::vector<ComposedText>& paths);
    // Paths chosen in "添付ファイルを開く(&A)...": appended even when they
    // are listed already; one that is no readable regular file is refused.
    void AddChosen(const std::vector<ComposedText>& paths);
    // "削除": the entry at index goes, without a question.
    void Remove(std::int32_t index);
    // The group's "クリア": asks first under ConfirmClear; true when emptied.
    bool ClearAsked();

private:
    void Add(const std::vector<ComposedText>& paths, bool refuseListed);

    Settings& settings_;
    MessageComposer& composer_;
    UserInterface& ui_;
};

} // namespace kitemail
