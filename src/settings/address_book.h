#pragma once
// Address-book lines and the editor of the settings dialog's first page,
// without widgets: the dialog window mirrors this state and forwards the
// user's actions to it.

#include "accounting/terminal_type.h"
#include "platform/user_interface.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

struct Settings;

// One line: name "," address "," PIN "," type "," sender, no escaping.
struct AddressBookEntry {
    std::string name;
    std::string address;
    std::string pin;
    TerminalType type = TerminalType::VodafoneLongMail; // as stored, maybe a number that names no type
    std::int32_t sender = -1; // index into the SenderList, -1 for none

    friend bool operator==(const AddressBookEntry&, const AddressBookEntry&) = default;
};

// Takes a line apart by its first five commas. Missing fields come out
// empty (type "0", sender "-1"). A type or sender that is not a decimal
// number gives type 0 and sender -1.
[[nodiscard]] AddressBookEntry ParseAddressBookEntry(std::string_view line);

// The type of a line: its type field when that names one of types (an
// empty field counts as 0), else Unspecified.
[[nodiscard]] TerminalType TerminalTypeOfLine(std::string_view line, const TerminalTypes& types = {});

[[nodiscard]] std::string FormatAddressBookEntry(std::string_view name, std::string_view address,
                                                 std::string_view pin, TerminalType type, std::int32_t sender);

// Ascending order of the whole line, ASCII letters without regard to case;
// equal lines keep their order.
[[nodiscard]] bool AddressBookLineLess(std::string_view a, std::string_view b) noexcept;
void SortAddressBookLines(std::vector<std::string>& lines);

// The fields of the entry editor.
struct AddressBookFields {
    std::string name;
    std::string address;
    std::string pin;
    TerminalType type = TerminalType::Unspecified; // Unspecified: the type box has no selection
    bool senderChecked = false;    // "送信元指定"
    std::int32_t senderIndex = -1; // -1: the sender box has no selection

    friend bool operator==(const AddressBookFields&, const AddressBookFields&) = default;
};

// The editor works on settings.AddressBook and reads BeepOnMessage,
// AutoReplaceOnInput and SortAddressBook from settings when it needs them.
class AddressBookEditor {
public:
    AddressBookEditor(Settings& settings, UserInterface& ui);

    [[nodiscard]] const std::vector<std::string>& Lines() const noexcept;
    [[nodiscard]] std::int32_t SelectedIndex() const noexcept; // -1 for none
    void Select(std::int32_t index); // an index outside the list selects nothing
    [[nodiscard]] const AddressBookFields& Fields() const noexcept { return fields_; }
    [[nodiscard]] const std::vector<std::string>& SenderItems() const noexcept { return senderItems_; }
    [[nodiscard]] bool EntryLoaded() const noexcept { return entryLoaded_; }
    [[nodiscard]] std::int32_t EditorDragStartIndex() const noexcept { return dragStart_; }
    [[nodiscard]] bool Sorted() const noexcept;
    [[nodiscard]] bool ArrowButtonsVisible() const noexcept { return !Sorted(); }
    [[nodiscard]] bool ReplaceButtonVisible() const noexcept;
    [[nodiscard]] bool DeleteEnabled() const noexcept { return SelectedIndex() >= 0; }
    [[nodiscard]] bool SenderBoxEnabled() const noexcept { return fields_.senderChecked; }
    // The types the type box lists.
    [[nodiscard]] TerminalTypes Types() const noexcept;

    // The page became visible: sender items from the SenderList, and the
    // selected entry loaded again.
    void PageShown();
    void SetSenderItems(std::vector<std::string> items);

    // The list's click: loads the selected line into the fields.
    void ShowEntry();
    void AddEntry();     // "追加"
    void ReplaceEntry(); // "置換"
    void DeleteEntry();  // "削除", asks first
    void NewEntry();     // "新規"
    void MoveEntry(std::int32_t delta); // "↑" -1, "↓" +1
    void SetSorted(bool on);            // "ソート"

    // Selects entry i, loads it and returns the type box's type
    // (Unspecified when i is beyond the list or its type names none).
    TerminalType TerminalTypeOfEntry(std::int32_t i);

    // The user's edits of the fields; each may replace the selected line at
    // once when AutoReplaceOnInput is on.
    void SetName(std::string text);
    void SetAddress(std::string text);
    void SetPin(std::string text); // the window limits the box to 4 characters
    void SetType(TerminalType type); // a number that names no type clears the box
    void SetSenderIndex(std::int32_t index);
    void SenderCheckClicked(bool nowChecked);

    // Dragging inside the list; index is the entry under the mouse, -1 for none.
    void DragBegin(std::int32_t index);
    void DragOver(std::int32_t index);
    void Drop(std::int32_t index);

private:
    [[nodiscard]] std::vector<std::string>& book() noexcept;
    [[nodiscard]] const std::vector<std::string>& book() const noexcept;
    [[nodiscard]] bool ValidIndex(std::int32_t index) const noexcept;
    [[nodiscard]] bool RefuseComma();
    [[nodiscard]] bool RefuseTooLong();
    [[nodiscard]] bool RefuseMissingType();
    [[nodiscard]] std::string LineFromFields() const;
    void FieldChanged();
    void Message(const std::string& text);

    Settings& settings_;
    UserInterface& ui_;
    AddressBookFields fields_;
    std::vector<std::string> senderItems_;
    std::int32_t selected_ = -1;
    std::int32_t dragStart_ = -1;
    bool entryLoaded_ = false;
};

} // namespace kitemail
