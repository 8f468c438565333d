#include "settings/settings_editor.h"

#include "accounting/terminal_type.h"
#include "platform/text_codec.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

#include <utility>

namespace kitemail {
namespace {

const NumberSetting kNumberSettings[] = {
    {&Settings::Port, kPortRange},          {&Settings::POP3Port, kPortRange},
    {&Settings::Interval, kSecondsRange},   {&Settings::POPInterval, kSecondsRange},
    {&Settings::FontSize, kFontSizeRange},  {&Settings::MaxLen, kUnboundedRange},
    {&Settings::FixLen, kUnboundedRange},
};

} // namespace

std::span<const NumberSetting> NumberSettings() noexcept
{
    return kNumberSettings;
}

NumberRange RangeOf(std::int32_t Settings::*field) noexcept
{
    for (const NumberSetting& n : kNumberSettings) {
        if (n.field == field) {
            return n.range;
        }
    }
    return kUnboundedRange;
}

std::string OptionText(bool Settings::*field)
{
    for (const OptionInfo& option : Options()) {
        if (option.field == field) {
            return Sj(option.checkBoxText);
        }
    }
    return {};
}

std::int32_t StandardSmtpPort(SmtpSecurity security) noexcept
{
    switch (security) {
    case SmtpSecurity::StartTls: return kStandardSubmissionPort;
    case SmtpSecurity::Tls: return kStandardSubmissionsPort;
    case SmtpSecurity::None: break;
    }
    return kStandardSmtpPort;
}

std::int32_t StandardPop3Port(Pop3Security security) noexcept
{
    return security == Pop3Security::Tls ? kStandardPop3sPort : kStandardPop3Port;
}

SettingsEditor::SettingsEditor(Settings& settings, SenderChoice& sender, UserInterface& ui)
    : settings_(settings), sender_(sender), ui_(ui), book_(settings, ui), typeDefinitions_(settings, ui)
{
}

bool SettingsEditor::Load(SettingsFile& file)
{
    return file.LoadDialogHalf(settings_);
}

SaveResult SettingsEditor::Save(SettingsFile& file)
{
    return file.Save(settings_, SettingsHalf::Dialog);
}

std::optional<std::string> SettingsEditor::KeepInKeyring(StoredPassword which, bool on, SecretStore* keyring,
                                                         SettingsFile& file)
{
    if (keyring == nullptr) {
        return on ? KeyringStoreFailure(SecretError::NoService) : KeyringReadFailure(SecretError::NoService);
    }
    const PasswordSlot slot = SlotOf(which);
    const std::string before = settings_.*slot.password;
    if (std::optional<std::string> failure = MovePassword(settings_, which, on, *keyring)) {
        return failure;
    }
    if (SaveResult saved = Save(file); !saved.ok()) {
        // The file still holds the password where it was.
        if (on) {
            ForgetKeyringCopy(which, *keyring);
        }
        settings_.*slot.password = before;
        settings_.*slot.inKeyring = !on;
        return saved.message;
    }
    if (!on) {
        ForgetKeyringCopy(which, *keyring);
    }
    return std::nullopt;
}

void KeepNumbersInRange(Settings& settings) noexcept
{
    for (const NumberSetting& n : kNumberSettings) {
        settings.*n.field = n.range.Clamp(settings.*n.field);
    }
}

void SettingsEditor::Opened()
{
    book_.PageShown();
    if (settings_.SenderList.empty()) {
        senderSelection_ = -1; // the entry box keeps its text
    } else {
        ClickSender(0);
    }
    ChooseLengthType(TerminalType::VodafoneLongMail);
}

// ---------------------------------------------------------------- senders

std::int32_t SettingsEditor::SenderSelection() const noexcept
{
    // The list may have been replaced since the selection was made.
    return senderSelection_ >= 0 && static_cast<std::size_t>(senderSelection_) < settings_.SenderList.size()
        ? senderSelection_
        : -1;
}

void SettingsEditor::ClickSender(std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= settings_.SenderList.size()) {
        senderSelection_ = -1;
        return;
    }
    senderSelection_ = index;
    sender_.SetSender(settings_.SenderList[static_cast<std::size_t>(index)]);
}

void SettingsEditor::TypeSenderEntry(std::string text)
{
    sender_.SetSender(std::move(text));
}

void SettingsEditor::AddSender()
{
    settings_.SenderList.push_back(sender_.Sender());
}

void SettingsEditor::DeleteSender()
{
    const std::int32_t index = SenderSelection();
    if (index < 0) {
        return;
    }
    settings_.SenderList.erase(settings_.SenderList.begin() + index);
    senderSelection_ = -1;
}

void SettingsEditor::MoveSender(std::int32_t delta)
{
    const std::int32_t index = SenderSelection();
    if (index < 0) {
        ui_.ShowMessage(Sj("選択してください。"));
        return;
    }
    const std::int64_t target = std::int64_t{index} + delta;
    if (target < 0 || target >= static_cast<std::int64_t>(settings_.SenderList.size())) {
        return;
    }
    std::swap(settings_.SenderList[static_cast<std::size_t>(index)],
              settings_.SenderList[static_cast<std::size_t>(target)]);
    senderSelection_ = static_cast<std::int32_t>(target);
}

// ---------------------------------------------------------------- ports and options

void SettingsEditor::UseStandardPort()
{
    settings_.Port = StandardSmtpPort(settings_.Security);
}

void SettingsEditor::UseStandardPop3Port()
{
    settings_.POP3Port = StandardPop3Port(settings_.POP3Security);
}

bool SettingsEditor::ShowSplitResultEnabled() const noexcept
{
    return !settings_.AutoSplitOnOverflow;
}

void SettingsEditor::RestoreSystemDefaults()
{
    settings_.AssumeSingleByteAtEnds = true;
    settings_.CountFinalLineBreakShift = true;
}

// ---------------------------------------------------------------- length editor

namespace {

// The limit the length page edits for type t: the [Length] slot of one of
// the ten, a defined type's own; nullptr for none.
std::int32_t* LengthSlot(Settings& settings, TerminalType t) noexcept
{
    if (IsTerminalType(t)) {
        return &settings.TypeMaxLengths[TypeSlot(t)];
    }
    for (DefinedType& d : settings.DefinedTypes) {
        if (d.type == t) {
            return &d.limit;
        }
    }
    return nullptr;
}

} // namespace

void SettingsEditor::ChooseLengthType(TerminalType type)
{
    lengthType_ = settings_.Types().KnownOrUnspecified(type);
    if (std::int32_t* slot = LengthSlot(settings_, lengthType_)) {
        // What the box shows is what the slot holds.
        *slot = kUnboundedRange.Clamp(*slot);
    }
}

std::int32_t SettingsEditor::LengthOfChosenType() const noexcept
{
    return settings_.Types().Limit(lengthType_, settings_.TypeMaxLengths, 0);
}

void SettingsEditor::SetLengthOfChosenType(std::int32_t value)
{
    if (std::int32_t* slot = LengthSlot(settings_, lengthType_)) {
        *slot = kUnboundedRange.Clamp(value);
    }
}

} // namespace kitemail
