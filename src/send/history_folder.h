#pragma once
// The history folder read back: its records in order, each record's first
// line for the list, its header fields, and deleting one record or all of
// them. The history window and the command line both work through
// HistoryBrowser, so that a record number means the same record in each.

#include "accounting/terminal_type.h"
#include "platform/user_interface.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

// Every "*.eml" entry of folder (folders named so too: they keep their
// place in the numbering), oldest first: by the send time the name begins
// with, then by the counter after it as a number (..., 99, 100, ...),
// ignoring ASCII case. Empty when the folder cannot be read.
[[nodiscard]] std::vector<std::filesystem::path> ListHistoryFiles(const std::filesystem::path& folder);

// The record's first line without its line end (CR, LF or CR LF ends it),
// read without reading the rest; empty for an empty file, nullopt when path
// is not a readable file.
[[nodiscard]] std::optional<std::string> ReadFirstLine(const std::filesystem::path& path);

// The header fields the command line lists, as stored (code page 932).
struct HistoryFields {
    std::string to;
    std::string date;
    std::string subject;
    std::string result;
    std::string phoneType;   // X-ktml-PhoneType
    std::string attachments; // X-ktml-Attachments, as CommaText wrote it
};
// Reads "Name: value" lines up to the first empty line.
[[nodiscard]] HistoryFields ParseHistoryFields(std::string_view record);

// What follows the header's empty line, without the line end the writer
// put after the body; empty when there is no empty line.
[[nodiscard]] std::string HistoryBody(std::string_view record);
// The type a record's X-ktml-PhoneType names among types; unspecified
// when it is empty or names none.
[[nodiscard]] TerminalType RecordTerminalType(std::string_view phoneType, const TerminalTypes& types = {});
// The items CommaText joined, quotes undone.
[[nodiscard]] std::vector<std::string> SplitCommaText(std::string_view text);

// Creates the folder when missing (0700: its owner's alone; its parents as
// the umask has them); false when it neither exists nor can be made.
[[nodiscard]] bool EnsureHistoryFolder(const std::filesystem::path& folder);

// "送信履歴フォルダが不正です。"
[[nodiscard]] std::string HistoryFolderInvalidText();
// "[すべての宛先]", the filter's first item.
[[nodiscard]] std::string AllRecipientsText();

class HistoryBrowser {
public:
    // One line of the record list.
    struct Item {
        std::size_t number = 0; // from 1, the place in Files()
        std::string firstLine;
    };

    explicit HistoryBrowser(std::filesystem::path folder);

    // Rereads the folder, after removing what killed writers left there: the
    // list of every record and the filter reset to all recipients. False (after the beep and the folder message) when the
    // folder neither exists nor can be made; everything is empty then.
    bool Load(UserInterface& ui, bool beepOnMessage);
    // The same without telling anyone.
    [[nodiscard]] bool Reload();

    [[nodiscard]] const std::filesystem::path& Folder() const noexcept { return folder_; }
    [[nodiscard]] const std::vector<std::filesystem::path>& Files() const noexcept { return files_; }
    // The list under the current filter, oldest first.
    [[nodiscard]] const std::vector<Item>& Items() const noexcept { return items_; }
    // AllRecipientsText(), then each distinct first line in the order met.
    [[nodiscard]] const std::vector<std::string>& FilterItems() const noexcept { return filterItems_; }
    [[nodiscard]] std::size_t Filter() const noexcept { return filter_; }
    // Lists the records whose first line is filter item `index` (all for 0).
    void SetFilter(std::size_t index);
    // The list entry "N:first line".
    [[nodiscard]] static std::string ItemText(const Item& item);

    // The whole record behind list entry `row`; nullopt when it cannot be read.
    [[nodiscard]] std::optional<std::string> RecordText(std::size_t row) const;
    // "表示メール：" row+1 "/" list size.
    [[nodiscard]] std::string PositionText(std::size_t row) const;

    // "1件削除" on list entry `row`: asks and deletes that file; true when
    // it went (the caller then reloads, as the window does on showing).
    bool DeleteOne(std::size_t row, UserInterface& ui, bool beepOnMessage);
    // "クリア": asks, then deletes every "*.eml" file of the folder (other
    // files stay). True when asked Yes and the folder was usable; `failed`
    // gets the records that could not be deleted.
    bool Clear(UserInterface& ui, bool beepOnMessage, std::vector<std::filesystem::path>* failed = nullptr);

    // The same without asking, for the command line (numbers from 1).
    [[nodiscard]] bool DeleteRecord(std::size_t number, std::string& error);
    [[nodiscard]] std::vector<std::filesystem::path> DeleteAll();

private:
    void Reset();

    std::filesystem::path folder_;
    std::vector<std::filesystem::path> files_;
    std::vector<std::optional<std::string>> firstLines_; // nullopt: not a file
    std::vector<Item> items_;
    std::vector<std::string> filterItems_;
    std::size_t filter_ = 0;
};

} // namespace kitemail
