#pragma once
// The settings dialog's page of the terminal types the user defines,
// without widgets: the list of the types, the fields of the one being
// written and the buttons "追加", "置換", "削除", "新規". The rules are
// those of defined_types.h; refusals and the question before a delete go
// to the user through the UserInterface.

#include "accounting/terminal_type.h"
#include "platform/user_interface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kitemail {

struct Settings;

class DefinedTypesEditor {
public:
    DefinedTypesEditor(Settings& settings, UserInterface& ui);

    // The names of the defined types, in the list's (number) order.
    [[nodiscard]] std::vector<std::string> Names() const;
    // The position of the selected type in Names(); -1 for none (also once
    // the type is gone, deleted or by another program's save).
    [[nodiscard]] std::int32_t SelectedIndex() const noexcept;
    // Selects the type at index and loads it into the fields; an index
    // outside the list selects nothing and leaves the fields as they are.
    void Select(std::int32_t index);
    // The page became visible: the selected type is loaded again (its
    // limit may have changed on "文字数制限設定").
    void PageShown();

    // What the fields show; their type number is of no account.
    [[nodiscard]] const DefinedType& Fields() const noexcept { return fields_; }
    // The user's edits of the fields.
    void SetFields(const DefinedType& fields) { fields_ = fields; }

    [[nodiscard]] bool ReplaceEnabled() const noexcept { return SelectedIndex() >= 0; }
    [[nodiscard]] bool DeleteEnabled() const noexcept { return SelectedIndex() >= 0; }

    // "追加": a new type from the fields, under the lowest free number; it
    // becomes the selected one. Refused with the rule's message.
    void Add();
    // "置換": the selected type takes the fields, its number kept.
    void Replace();
    // "削除": asks first, naming the address-book entries of the type
    // (they become unspecified, and so does a DefaultType of it).
    void Delete();
    // "新規": the fields of a new type, nothing selected.
    void New();

private:
    [[nodiscard]] const DefinedType* Selected() const noexcept;
    void Refuse(const std::string& message);

    Settings& settings_;
    UserInterface& ui_;
    DefinedType fields_;
    // By number, not position: the list may change under the page.
    TerminalType selected_ = TerminalType::Unspecified;
};

} // namespace kitemail
