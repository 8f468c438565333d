#pragma once
// The settings dialog without widgets: what happens each time it opens, the
// sender list, the standard ports, the per-type length editor, the system
// defaults, the number ranges, loading and saving. The dialog
// window mirrors this state and forwards the user's actions to it; the
// address-book page has an editor of its own, held here.

#include "accounting/terminal_type.h"
#include "mail/security_choices.h"
#include "platform/profile.h"
#include "platform/user_interface.h"
#include "settings/address_book.h"
#include "settings/defined_types_editor.h"
#include "settings/keyring_passwords.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace kitemail {

struct Settings;
class SettingsFile;

// The values a number box keeps to, whether stepped, left or loaded.
struct NumberRange {
    std::int32_t min;
    std::int32_t max;
    [[nodiscard]] constexpr std::int32_t Clamp(std::int32_t v) const noexcept
    {
        return v < min ? min : (v > max ? max : v);
    }
};

inline constexpr NumberRange kPortRange{0, 65535};
inline constexpr NumberRange kSecondsRange{0, 10};
inline constexpr NumberRange kFontSizeRange{1, 50};
// The boxes "without limits": a size below 0 means nothing.
inline constexpr NumberRange kUnboundedRange{0, std::numeric_limits<std::int32_t>::max()};

// One setting the dialog edits in a number box.
struct NumberSetting {
    std::int32_t Settings::*field;
    NumberRange range;
};
[[nodiscard]] std::span<const NumberSetting> NumberSettings() noexcept;
// Every number of a box put into the box's range, as loading does.
void KeepNumbersInRange(Settings& settings) noexcept;
// The range of a field's box; kUnboundedRange for a field without one.
[[nodiscard]] NumberRange RangeOf(std::int32_t Settings::*field) noexcept;

// The check box text of an option field (code page 932), empty for none.
[[nodiscard]] std::string OptionText(bool Settings::*field);

inline constexpr std::int32_t kStandardSmtpPort = 25;
inline constexpr std::int32_t kStandardPop3Port = 110;
// RFC 6409 3.1 submission with STARTTLS, RFC 8314 3.3 SMTP and POP3 over TLS.
inline constexpr std::int32_t kStandardSubmissionPort = 587;
inline constexpr std::int32_t kStandardSubmissionsPort = 465;
inline constexpr std::int32_t kStandardPop3sPort = 995;

// The standard port for a connection's protection.
[[nodiscard]] std::int32_t StandardSmtpPort(SmtpSecurity security) noexcept;
[[nodiscard]] std::int32_t StandardPop3Port(Pop3Security security) noexcept;

// The sender chosen now. The message being composed owns it; the sender
// entry box shows it and sets it, without a recount.
class SenderChoice {
public:
    [[nodiscard]] virtual const std::string& Sender() const noexcept = 0;
    virtual void SetSender(std::string text) = 0;

protected:
    ~SenderChoice() = default;
};

// A sender for a tool without a message being composed.
class PlainSender final : public SenderChoice {
public:
    [[nodiscard]] const std::string& Sender() const noexcept override { return text_; }
    void SetSender(std::string text) override { text_ = std::move(text); }

private:
    std::string text_;
};

class SettingsEditor {
public:
    SettingsEditor(Settings& settings, SenderChoice& sender, UserInterface& ui);

    [[nodiscard]] AddressBookEditor& Book() noexcept { return book_; }
    // The page of the types the user defines.
    [[nodiscard]] DefinedTypesEditor& TypeDefinitions() noexcept { return typeDefinitions_; }

    // The dialog's half of the settings file, with every number in its
    // box's range. False when Signature.txt exists but could not be read.
    bool Load(SettingsFile& file);
    // Written at every close, whatever closed the dialog: what its user
    // changed, merged into the file as it is then.
    [[nodiscard]] SaveResult Save(SettingsFile& file);

    // Each time the dialog opens: the address-book page shows, the first
    // sender is chosen as a click would, the length editor shows type 0.
    void Opened();

    // ---- the sender list; the entry box holds the sender chosen now
    [[nodiscard]] std::int32_t SenderSelection() const noexcept;
    void ClickSender(std::int32_t index); // the entry box takes the item
    void TypeSenderEntry(std::string text);
    void AddSender();    // appends the entry box's text as it is
    void DeleteSender(); // asks nothing
    void MoveSender(std::int32_t delta); // "Up" -1, "Down" +1

    // ---- "< 標準": the port of the chosen security
    void UseStandardPort();
    void UseStandardPop3Port();

    // ---- "キーリングに保存": the password into the keyring (on) or back,
    // and the settings file saved at once, so that the file never holds a
    // password the keyring has, nor loses one. Nothing changes on failure;
    // the message (code page 932) says why. No keyring: none runs.
    [[nodiscard]] std::optional<std::string> KeepInKeyring(StoredPassword which, bool on, SecretStore* keyring,
                                                           SettingsFile& file);

    // ---- options
    // ShowSplitResult has no say while splitting is automatic.
    [[nodiscard]] bool ShowSplitResultEnabled() const noexcept;
    // "デフォルト値に戻す": the two counting options of the system page.
    void RestoreSystemDefaults();

    // ---- the per-type length editor ("文字数設定")
    [[nodiscard]] TerminalType LengthType() const noexcept { return lengthType_; }
    void ChooseLengthType(TerminalType type);
    // The limit of the chosen type; 0 when none is chosen.
    [[nodiscard]] std::int32_t LengthOfChosenType() const noexcept;
    // Written into TypeMaxLengths at once; nothing without a chosen type.
    void SetLengthOfChosenType(std::int32_t value);

private:
    Settings& settings_;
    SenderChoice& sender_;
    UserInterface& ui_;
    AddressBookEditor book_;
    DefinedTypesEditor typeDefinitions_;
    std::int32_t senderSelection_ = -1;
    TerminalType lengthType_ = TerminalType::Unspecified;
};

} // namespace kitemail
