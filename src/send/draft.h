#pragma once
// The message being written, kept in the data folder so that a killed or
// crashed window loses none of it, and the marker that tells a later start
// whether the previous run of the window ended normally.
//
// The file, Draft.txt, is "Key: value" lines, an empty line, then the body
// to the end of the file (see the README). The texts the user types are
// held here as UTF-8, exactly as typed: a draft must keep the characters
// Shift_JIS cannot hold, which the composer only lists. The file is
// Shift_JIS whenever they all convert and back unchanged.

#include "accounting/terminal_type.h"
#include "send/message_composer.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

struct Draft {
    RecipientMode mode = RecipientMode::Direct;
    std::string address; // UTF-8
    TerminalType type = TerminalType::Unspecified; // the type box
    std::vector<std::string> ticked; // the ticked address-book lines, code page 932
    std::string subject; // UTF-8
    std::string pin;     // UTF-8
    std::string body;    // UTF-8, "\n" line ends as the body box gives them
    std::vector<std::string> attachments; // full paths, code page 932
    bool animation = false;
    std::int32_t caret = 0; // the body's cursor, in UTF-16 units

    friend bool operator==(const Draft&, const Draft&) = default;
};

// The file's bytes. A ticked line or a path holding a line break cannot be
// one line of the file and is left out.
[[nodiscard]] std::string FormatDraft(const Draft& draft);
// nullopt when text is no draft (its first line is not the draft's).
[[nodiscard]] std::optional<Draft> ParseDraft(std::string_view text);

[[nodiscard]] std::filesystem::path DraftPath(const std::filesystem::path& dataDir);

// Written whole through a temporary file, so a kill never leaves half a
// draft. The reason on failure.
[[nodiscard]] std::optional<std::string> WriteDraft(const std::filesystem::path& dataDir, const Draft& draft);
// nullopt when there is no draft, or none that can be read.
[[nodiscard]] std::optional<Draft> ReadDraft(const std::filesystem::path& dataDir);
void RemoveDraft(const std::filesystem::path& dataDir);
// The temporary files of draft writes a kill cut short; only the window
// writes drafts, and only one window runs on a folder, so it calls this
// before its first write. How many went.
int RemoveDraftLeftovers(const std::filesystem::path& dataDir);

// Takes the attachments that can no longer be read out of paths and
// returns them.
[[nodiscard]] std::vector<std::string> TakeMissingAttachments(std::vector<std::string>& paths);

// The run marker: present while a window runs on the folder.
[[nodiscard]] std::filesystem::path RunMarkerPath(const std::filesystem::path& dataDir);
// Creates the marker; true when it was there already: the previous run
// did not end normally.
[[nodiscard]] bool BeginRun(const std::filesystem::path& dataDir);
// A normal end: the marker goes.
void EndRun(const std::filesystem::path& dataDir);

// "前回の下書きを復元しました。"
[[nodiscard]] std::string DraftRestoredText();
// " 見つからない添付ファイルを外しました: " and the paths; empty for none.
[[nodiscard]] std::string MissingAttachmentsText(const std::vector<std::string>& missing);

} // namespace kitemail

namespace kitemail {

// A history record as a message to send again: the recipient as a direct
// address with the type its X-ktml-PhoneType names (unspecified when
// empty or unknown), the subject, the body and the attachments.
[[nodiscard]] Draft DraftFromRecord(std::string_view record, const TerminalTypes& types = {});

} // namespace kitemail
