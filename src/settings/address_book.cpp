#include "settings/address_book.h"

#include "platform/file_io.h"

#include "accounting/terminal_type.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "settings/settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <numeric>

namespace kitemail {
namespace {

// The bytes from 1-based position a to b, stopping at the end of s.
std::string_view Chars(std::string_view s, std::size_t a, std::size_t b)
{
    if (b < a || a > s.size() || a == 0) {
        return {};
    }
    return s.substr(a - 1, std::min(b, s.size()) - a + 1);
}


unsigned char FoldedByte(unsigned char b) noexcept
{
    return static_cast<unsigned char>(sjis::AsciiLower(static_cast<char>(b)));
}

bool HasComma(std::string_view s) noexcept
{
    // "," lies below the trail-byte range: a plain search finds only commas.
    return s.find(',') != std::string_view::npos;
}

// Moves the line at from to index to, as a list control's move does.
void MoveLine(std::vector<std::string>& lines, std::size_t from, std::size_t to)
{
    std::string line = std::move(lines[from]);
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(from));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(to), std::move(line));
}

} // namespace

AddressBookEntry ParseAddressBookEntry(std::string_view s)
{
    std::array<std::size_t, 5> p{};
    std::size_t found = 0;
    for (std::size_t i = 0; i < s.size() && found < p.size(); ++i) {
        if (s[i] == ',') {
            p[found++] = i + 1;
        }
    }
    if (p[1] == 0) {
        p[1] = p[0] + 2;
    }
    if (p[2] == 0) {
        p[2] = p[1] + 2;
    }
    if (p[3] == 0) {
        p[3] = p[2] + 2;
    }
    if (p[4] == 0) {
        p[4] = s.size() + 1;
    }

    AddressBookEntry entry;
    entry.name = std::string(p[0] >= 1 ? Chars(s, 1, p[0] - 1) : std::string_view());
    entry.address = std::string(Chars(s, p[0] + 1, p[1] - 1));
    entry.pin = std::string(Chars(s, p[1] + 1, p[2] - 1));
    std::string_view typeText = Chars(s, p[2] + 1, p[3] - 1);
    std::string_view senderText = Chars(s, p[3] + 1, p[4] - 1);
    if (typeText.empty()) {
        typeText = "0";
    }
    if (senderText.empty()) {
        senderText = "-1";
    }
    const std::optional<std::int32_t> type = ParseDecimal(typeText);
    const std::optional<std::int32_t> sender = ParseDecimal(senderText);
    if (type && sender) {
        entry.type = TerminalTypeFromNumber(*type);
        entry.sender = *sender;
    }
    return entry;
}

TerminalType TerminalTypeOfLine(std::string_view line, const TerminalTypes& types)
{
    return types.KnownOrUnspecified(ParseAddressBookEntry(line).type);
}

std::string FormatAddressBookEntry(std::string_view name, std::string_view address, std::string_view pin,
                                   TerminalType type, std::int32_t sender)
{
    std::string line;
    line.reserve(name.size() + address.size() + pin.size() + 8);
    line.append(name).append(",").append(address).append(",").append(pin).append(",");
    line.append(std::to_string(TerminalTypeNumber(type))).append(",").append(std::to_string(sender));
    return line;
}

bool AddressBookLineLess(std::string_view a, std::string_view b) noexcept
{
    const std::size_t n = std::min(a.size(), b.size());
    bool trail = false;
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        // A trail byte that looks like a letter is part of a character.
        if (!trail) {
            x = FoldedByte(x);
            y = FoldedByte(y);
        }
        if (x != y) {
            return x < y;
        }
        trail = !trail && sjis::IsLeadByte(a[i]);
    }
    return a.size() < b.size();
}

void SortAddressBookLines(std::vector<std::string>& lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const std::string& a, const std::string& b) { return AddressBookLineLess(a, b); });
}

AddressBookEditor::AddressBookEditor(Settings& settings, UserInterface& ui)
    : settings_(settings)
    , ui_(ui)
{
}

std::vector<std::string>& AddressBookEditor::book() noexcept
{
    return settings_.AddressBook;
}

const std::vector<std::string>& AddressBookEditor::book() const noexcept
{
    return settings_.AddressBook;
}

const std::vector<std::string>& AddressBookEditor::Lines() const noexcept
{
    return book();
}

bool AddressBookEditor::ValidIndex(std::int32_t index) const noexcept
{
    return index >= 0 && static_cast<std::size_t>(index) < book().size();
}

std::int32_t AddressBookEditor::SelectedIndex() const noexcept
{
    // The book may have shrunk behind the editor's back (main window drag).
    return ValidIndex(selected_) ? selected_ : -1;
}

void AddressBookEditor::Select(std::int32_t index)
{
    selected_ = ValidIndex(index) ? index : -1;
}

bool AddressBookEditor::Sorted() const noexcept
{
    return settings_.SortAddressBook;
}

bool AddressBookEditor::ReplaceButtonVisible() const noexcept
{
    return !settings_.AutoReplaceOnInput;
}

void AddressBookEditor::Message(const std::string& text)
{
    Notify(ui_, settings_.BeepOnMessage, text);
}

void AddressBookEditor::PageShown()
{
    SetSenderItems(settings_.SenderList);
    if (SelectedIndex() >= 0) {
        ShowEntry();
    }
}

void AddressBookEditor::SetSenderItems(std::vector<std::string> items)
{
    senderItems_ = std::move(items);
    fields_.senderIndex = -1;
}

void AddressBookEditor::ShowEntry()
{
    entryLoaded_ = false;
    // Without a selection there is no line to load.
    const std::int32_t index = SelectedIndex();
    if (book().empty() || index < 0) {
        return;
    }
    const AddressBookEntry entry = ParseAddressBookEntry(book()[static_cast<std::size_t>(index)]);
    fields_.name = entry.name;
    fields_.address = entry.address;
    fields_.pin = entry.pin;
    fields_.type = settings_.Types().KnownOrUnspecified(entry.type);

    const auto count = static_cast<std::int32_t>(senderItems_.size());
    if (count > entry.sender) {
        fields_.senderIndex = entry.sender >= 0 ? entry.sender : -1;
    } else {
        // A sender the list no longer holds: show the first one.
        fields_.senderIndex = count > 0 ? 0 : -1;
    }
    fields_.senderChecked = fields_.senderIndex != -1;
    entryLoaded_ = true;
}

std::string AddressBookEditor::LineFromFields() const
{
    return FormatAddressBookEntry(fields_.name, fields_.address, fields_.pin, fields_.type,
                                  fields_.senderIndex);
}

bool AddressBookEditor::RefuseComma()
{
    if (HasComma(fields_.name) || HasComma(fields_.address) || HasComma(fields_.pin)) {
        Message(Sj("入力データには、\",\"は使えません。"));
        return true;
    }
    return false;
}

// The settings file gives back no more of a line than this: a longer entry
// would come back cut, its type and sender lost.
bool AddressBookEditor::RefuseTooLong()
{
    if (LineFromFields().size() > kProfileMaxValueBytes) {
        Message(Sj("入力データが長すぎます。"));
        return true;
    }
    return false;
}

TerminalTypes AddressBookEditor::Types() const noexcept
{
    return settings_.Types();
}

// A type deleted since it was chosen counts as none: its number may name
// another type later.
bool AddressBookEditor::RefuseMissingType()
{
    if (!settings_.Types().Knows(fields_.type)) {
        Message(Sj("端末タイプを指定してください。"));
        return true;
    }
    return false;
}

void AddressBookEditor::AddEntry()
{
    if (fields_.name.empty() || fields_.address.empty()) {
        Message(Sj("名前とアドレスは必ず入力してください。"));
        return;
    }
    if (RefuseComma() || RefuseMissingType() || RefuseTooLong()) {
        return;
    }
    std::string line = LineFromFields();
    auto& lines = book();
    auto at = lines.end();
    if (Sorted()) {
        at = std::upper_bound(lines.begin(), lines.end(), line, [](const std::string& a, const std::string& b) {
            return AddressBookLineLess(a, b);
        });
    }
    const auto index = static_cast<std::int32_t>(at - lines.begin());
    const std::int32_t selected = SelectedIndex();
    lines.insert(at, std::move(line));
    // The same entry stays selected when the new line goes before it.
    if (selected >= 0 && index <= selected) {
        selected_ = selected + 1;
    }
}

void AddressBookEditor::ReplaceEntry()
{
    const std::int32_t index = SelectedIndex();
    if (!entryLoaded_ || index < 0) {
        return;
    }
    if (RefuseComma() || RefuseMissingType() || RefuseTooLong()) {
        return;
    }
    book()[static_cast<std::size_t>(index)] = LineFromFields();
    selected_ = index;
}

void AddressBookEditor::DeleteEntry()
{
    const std::int32_t index = SelectedIndex();
    if (index < 0) {
        return;
    }
    if (settings_.BeepOnMessage) {
        ui_.Beep();
    }
    if (!ui_.Confirm(Sj("選択項目を削除してよろしいですか？"), Sj("確認"))) {
        return;
    }
    book().erase(book().begin() + index);
    selected_ = -1;
}

void AddressBookEditor::NewEntry()
{
    selected_ = -1;
    fields_.name.clear();
    fields_.address.clear();
    fields_.pin.clear();
    fields_.type = TerminalType::Unspecified;
    fields_.senderIndex = -1;
}

void AddressBookEditor::MoveEntry(std::int32_t delta)
{
    const std::int32_t index = SelectedIndex();
    if (index < 0) {
        return;
    }
    const std::int64_t target = std::int64_t{index} + delta;
    if (target < 0 || target >= static_cast<std::int64_t>(book().size())) {
        return;
    }
    MoveLine(book(), static_cast<std::size_t>(index), static_cast<std::size_t>(target));
    selected_ = static_cast<std::int32_t>(target);
}

void AddressBookEditor::SetSorted(bool on)
{
    settings_.SortAddressBook = on;
    if (!on) {
        return;
    }
    auto& lines = book();
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return AddressBookLineLess(lines[a], lines[b]); });
    std::vector<std::string> sorted;
    sorted.reserve(lines.size());
    const std::int32_t selected = SelectedIndex();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (selected >= 0 && order[i] == static_cast<std::size_t>(selected)) {
            selected_ = static_cast<std::int32_t>(i);
        }
        sorted.push_back(std::move(lines[order[i]]));
    }
    lines = std::move(sorted);
}

TerminalType AddressBookEditor::TerminalTypeOfEntry(std::int32_t i)
{
    if (!ValidIndex(i)) {
        return TerminalType::Unspecified;
    }
    Select(i);
    ShowEntry();
    return fields_.type;
}

void AddressBookEditor::FieldChanged()
{
    if (settings_.AutoReplaceOnInput) {
        ReplaceEntry();
    }
}

void AddressBookEditor::SetName(std::string text)
{
    if (text != fields_.name) {
        fields_.name = std::move(text);
        FieldChanged();
    }
}

void AddressBookEditor::SetAddress(std::string text)
{
    if (text != fields_.address) {
        fields_.address = std::move(text);
        FieldChanged();
    }
}

void AddressBookEditor::SetPin(std::string text)
{
    if (text != fields_.pin) {
        fields_.pin = std::move(text);
        FieldChanged();
    }
}

void AddressBookEditor::SetType(TerminalType type)
{
    const TerminalType value = settings_.Types().KnownOrUnspecified(type);
    if (value != fields_.type) {
        fields_.type = value;
        FieldChanged();
    }
}

void AddressBookEditor::SetSenderIndex(std::int32_t index)
{
    const std::int32_t value =
        (index >= 0 && static_cast<std::size_t>(index) < senderItems_.size()) ? index : -1;
    if (value != fields_.senderIndex) {
        fields_.senderIndex = value;
        FieldChanged();
    }
}

void AddressBookEditor::SenderCheckClicked(bool nowChecked)
{
    fields_.senderChecked = nowChecked;
    if (nowChecked) {
        if (fields_.senderIndex < 0 && !senderItems_.empty()) {
            fields_.senderIndex = 0;
        }
    } else {
        fields_.senderIndex = -1;
    }
    FieldChanged();
}

void AddressBookEditor::DragBegin(std::int32_t index)
{
    dragStart_ = ValidIndex(index) ? index : -1;
}

void AddressBookEditor::DragOver(std::int32_t index)
{
    if (ValidIndex(index)) {
        selected_ = index;
    }
}

void AddressBookEditor::Drop(std::int32_t index)
{
    const std::int32_t target = ValidIndex(index) ? index : -1;
    if (target != -1 && ValidIndex(dragStart_)) {
        MoveLine(book(), static_cast<std::size_t>(dragStart_), static_cast<std::size_t>(target));
    }
    selected_ = target;
}

} // namespace kitemail
