#pragma once
// The message being composed in the main window and the rules around it:
// the recipient modes, the terminal type they choose, the address-book
// check list and the live count. No widgets: the window mirrors this state
// and forwards the user's actions to it.

#include "accounting/counter.h"
#include "accounting/splitter.h"
#include "accounting/terminal_type.h"
#include "platform/user_interface.h"
#include "settings/settings_editor.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kitemail {

struct Settings;

// Code page 932 text of one input box. Characters Shift_JIS cannot hold
// stand in `bytes` as the geta mark, two bytes each, so the count shows
// the room the user's replacement will take; they are listed so that the
// user is told and a send can refuse them.
struct ComposedText {
    std::string bytes;
    std::vector<char32_t> unmappable;

    friend bool operator==(const ComposedText&, const ComposedText&) = default;
};

// The geta mark, written where a character has no Shift_JIS code.
inline constexpr std::string_view kUnmappablePlaceholder = "\x81\xAC";

enum class RecipientMode { Direct, AddressBook };

// One line of the address-book check list.
struct CheckListEntry {
    std::string line; // the whole stored address-book line
    bool ticked = false;

    friend bool operator==(const CheckListEntry&, const CheckListEntry&) = default;
};

// What the status bar's count display shows.
struct CountDisplay {
    std::int32_t count = 0;
    std::int32_t limit = 384;
    bool over = false;          // red when over the limit, black at or below it
    std::int32_t gaugeMax = 384;
    std::int32_t gaugeProgress = 0;

    friend bool operator==(const CountDisplay&, const CountDisplay&) = default;
};

// The fields whose text the user types.
enum class TextArea { Body, Subject, Pin, DirectAddress };

class MessageComposer final : public SenderChoice {
public:
    // Settings are read at each use, never copied.
    MessageComposer(Settings& settings, UserInterface& ui);

    // ---- texts; each change recounts
    void SetBody(ComposedText text);
    void SetSubject(ComposedText text);
    void SetPin(ComposedText text);
    void SetDirectAddress(ComposedText text);
    [[nodiscard]] const ComposedText& Text(TextArea area) const noexcept;
    // Every character of the texts that Shift_JIS cannot hold, in area order.
    [[nodiscard]] std::vector<char32_t> UnmappableCharacters() const;

    // Empties the four texts, the attachments and the check list and
    // unticks "From : ", without a recount or a word: the clear command
    // fills in and recounts afterwards.
    void Empty();

    // ---- attachments (full paths, code page 932); a change recounts
    void SetAttachments(std::vector<std::string> paths);
    [[nodiscard]] const std::vector<std::string>& Attachments() const noexcept { return attachments_; }

    // ---- terminal type
    // Makes t current with the limits the settings hold now; a number that
    // names no type changes nothing. The caller recounts.
    bool ApplyTerminalType(TerminalType t);
    [[nodiscard]] const TerminalTypeState& TypeState() const noexcept { return type_; }
    // Type t with the limits the settings hold now, as ApplyTerminalType
    // would make it current.
    [[nodiscard]] TerminalTypeState TypeStateFor(TerminalType t) const;
    [[nodiscard]] InputAreas Areas() const noexcept { return type_.Areas(); }

    // The type box: Unspecified for no selection.
    [[nodiscard]] TerminalType TypeBox() const noexcept { return typeBox_; }
    // The box's selection changed: applies it and recounts. A number that
    // names no type leaves the box without a selection.
    void TypeBoxChanged(TerminalType type);
    // The double-click on "端末タイプ": no selection, so the unspecified type.
    void ClearTypeBox();
    // Sets the box without applying it (start-up does apply it separately).
    void SetTypeBox(TerminalType type) noexcept;
    // The ten and the defined types, as the settings hold them now.
    [[nodiscard]] TerminalTypes Types() const noexcept;
    // After the defined types changed: the box loses a type that is gone,
    // and a current defined type that is gone or counts otherwise now is
    // applied again (the selection as it stands) and recounted. True when
    // the current type changed.
    bool FollowDefinedTypes();

    // ---- recipient mode
    [[nodiscard]] RecipientMode Mode() const noexcept { return mode_; }
    void SelectDirectMode();
    void SelectAddressBookMode();

    // ---- address-book check list
    [[nodiscard]] const std::vector<CheckListEntry>& CheckList() const noexcept { return checkList_; }
    [[nodiscard]] std::vector<std::string> CheckListLines() const;
    // Replaces the lines; every tick is cleared, nothing is highlighted.
    void SetCheckListLines(std::vector<std::string> lines);
    // Replaces the lines with another program's: a line still there keeps
    // its tick (equal lines in their order), and the ticked type is applied.
    void FollowCheckListLines(std::vector<std::string> lines);
    // A tick set by the user: the type of the ticked entries is applied.
    void SetTick(std::int32_t index, bool ticked);
    // Derives the common type of the ticked entries, applies it, recounts
    // and shows its selection status text.
    void ApplyTickedType();
    // How the type of entry i is read; by default from its line. The
    // program reads it through the address-book editor, which then shows
    // that entry (the history record names the type shown there).
    void SetEntryTypeLookup(std::function<TerminalType(std::int32_t index)> lookup);
    // "全てにチェックを入れる" / "全てのチェックを外す": ticks only.
    void TickAll(bool ticked);
    [[nodiscard]] std::int32_t Highlighted() const noexcept { return highlighted_; }
    void SetHighlighted(std::int32_t index) noexcept;
    // "使用端末調査" and "本文中に挿入" need a highlighted entry.
    [[nodiscard]] bool EntryMenuItemsEnabled() const noexcept { return highlighted_ >= 0; }
    // "使用端末調査": the survey text of the highlighted entry's type.
    void SurveyHighlighted();

    // Reordering by dragging; index is the entry under the mouse, -1 for none.
    void DragBegin(std::int32_t index) noexcept;
    void DragOver(std::int32_t index) noexcept;
    void Drop(std::int32_t index);
    [[nodiscard]] std::int32_t DragStartIndex() const noexcept { return dragStart_; }

    // ---- sender: the text chosen now ("From" or "From,Reply-To"); the
    // counter counts it and a direct send goes out from it
    [[nodiscard]] const std::string& Sender() const noexcept override { return sender_; }
    // Without a recount: the settings dialog's entry box.
    void SetSender(std::string text) override { sender_ = std::move(text); }
    // The first of the sender list, or none; without a recount.
    void SelectFirstSender();
    // The sender box's text became senderText: it is the sender from now on.
    void SenderChanged(std::string senderText);
    void FromCheckClicked(bool nowChecked);
    [[nodiscard]] bool FromChecked() const noexcept { return fromChecked_; }

    // ---- counting
    // Recounts and updates the display; on failure (an attachment that
    // cannot be read) the display keeps its values, the status line says
    // why, and false is returned.
    bool Recount();
    [[nodiscard]] const CountDisplay& Display() const noexcept { return display_; }
    // The terms of the count shown, from the last recount that succeeded.
    [[nodiscard]] const MessageTerms& Terms() const noexcept { return terms_; }
    // How many bytes of the body a first part holds when a send to the
    // current type cuts it; the whole body when it all fits.
    [[nodiscard]] std::size_t FirstPartBodyBytes() const;
    // The body cut as a send to the current type would cut it.
    [[nodiscard]] SplitResult SplitForCurrentType() const;
    // The count of this message from sender to a terminal of the given type.
    [[nodiscard]] CountResult CountFor(std::string_view sender, const TerminalTypeState& type) const;

private:
    template <typename Composer>
    static auto& FieldOf(Composer& self, TextArea area) noexcept;
    void SetText(TextArea area, ComposedText text);
    void ReportUnmappable(TextArea area);
    [[nodiscard]] bool ValidEntry(std::int32_t index) const noexcept;
    [[nodiscard]] TerminalType EntryType(std::int32_t index) const;

    Settings& settings_;
    UserInterface& ui_;
    ComposedText body_;
    ComposedText subject_;
    ComposedText pin_;
    ComposedText address_;
    std::vector<std::string> attachments_;
    TerminalTypeState type_;
    TerminalType typeBox_ = TerminalType::VodafoneLongMail;
    RecipientMode mode_ = RecipientMode::Direct;
    std::vector<CheckListEntry> checkList_;
    std::function<TerminalType(std::int32_t)> entryTypeLookup_;
    std::int32_t highlighted_ = -1;
    std::int32_t dragStart_ = -1;
    std::string sender_;
    bool fromChecked_ = false;
    CountDisplay display_;
    MessageTerms terms_;
};

// "本文：" style status text naming the characters of an area that
// Shift_JIS cannot hold; empty when there are none.
[[nodiscard]] std::string UnmappableStatusText(TextArea area, const std::vector<char32_t>& characters);

} // namespace kitemail
