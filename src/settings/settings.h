#pragma once
// The Settings model and its life in Kiteml.ini and Signature.txt.
//
// Two halves are loaded at start-up: the main window's (layout, bars,
// per-type limits) and the settings dialog's (everything else). The dialog
// saves its half at every close, the main window its half at program end.
// The windows call these functions and apply the visible parts themselves.

#include "accounting/terminal_type.h"
#include "mail/security_choices.h"
#include "platform/profile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

// The eight digits added to the password's bytes in their stored form.
inline constexpr std::array<std::int32_t, 8> PasswordKeyDigits = {7, 3, 9, 1, 6, 4, 8, 2};

inline constexpr std::int32_t kMaxNetworkSeconds = 3600;

// What the user chose: servers, limits, options, lists and texts.
struct ProgramOptions {
    // [Configuration]
    std::string Server;
    std::int32_t Port = 25;
    std::string FromUser;
    std::string SignatureA;
    std::string SignatureB;
    std::string POP3USER;
    std::string POP3PASS; // the plain password; stored encoded
    bool POP3PassInKeyring = false; // key POP3PassIn=keyring: POP3PASS is empty, the keyring holds it
    std::string POP3Server;
    std::int32_t POP3Port = 110;
    std::int32_t MaxLen = 384;
    std::int32_t FixLen = 55;
    bool CountShiftBytes = false; // key 3Byte
    std::int32_t FontSize = 9;
    std::int32_t Interval = 0;
    std::int32_t POPInterval = 0;
    TerminalType DefaultType = TerminalType::VodafoneLongMail;

    // Options, stored under the keys "1".."23" (not 10, not 15).
    bool ShowSendCompleteMessage = true;         // 1
    bool ScrollLongStatusHints = true;           // 2
    bool ConfirmClear = true;                    // 3
    bool ShowSplitResult = true;                 // 4
    bool BeepOnMessage = true;                   // 5
    bool RecordHistory = true;                   // 6
    bool AutoSplitOnOverflow = false;            // 7
    bool RememberWindowPosition = false;         // 8
    bool RememberWindowSize = false;             // 9
    bool AssumeSingleByteAtEnds = true;          // 11
    bool CountFinalLineBreakShift = true;        // 12
    bool AttachmentDoubleClickProperties = true; // 13
    bool HighlightTabs = false;                  // 14
    bool SortAddressBook = true;                 // 16
    bool PartNumberInSubject = false;            // 17
    bool CheckBeforeSend = true;                 // 18
    bool ShowSubjectBar = false;                 // 19
    bool ClearAfterSend = false;                 // 20
    bool UsePopBeforeSmtp = false;               // 21
    bool AutoInsertSignature = false;            // 22
    bool AutoReplaceOnInput = false;             // 23

    // [Length]
    TypeLimits TypeMaxLengths = DefaultTypeMaxLengths();
    // [TerminalTypes] (settings/defined_types.h), in number order
    std::vector<DefinedType> DefinedTypes{};
    // The ten and the defined types; valid while DefinedTypes is unchanged.
    [[nodiscard]] TerminalTypes Types() const noexcept { return TerminalTypes(DefinedTypes); }

    // [Network], in seconds (1..kMaxNetworkSeconds): how long a connect
    // (with its lookup) may take, how long the SMTP or POP3 server may take
    // to answer a command (its greeting too), and how long the SMTP server
    // may take to accept a message after its end. RFC 5321 4.5.3.2 gives
    // the reply times. Saved only where the file names the key or the value
    // is not the default, so a file that never named them stays as it was.
    std::int32_t ConnectTimeout = 60;
    std::int32_t ReplyTimeout = 300;
    std::int32_t DataTimeout = 600;

    // [Submission]: encryption and login for today's mail servers. All
    // None: the dialogues of old, byte for byte.
    SmtpSecurity Security = SmtpSecurity::None;
    SmtpAuth AuthMethod = SmtpAuth::None;
    std::string AuthUser;
    std::string AuthPass; // the plain password, empty: asked for; stored encoded as POP3PASS
    bool AuthPassInKeyring = false; // key AuthPassIn=keyring, as POP3PassIn
    std::string CAFile;   // a PEM file of certificates to trust besides the system's
    Pop3Security POP3Security = Pop3Security::None;

    // [Draft] RestoreOnStart: the draft a normal close leaves comes back
    // at the next start (after a crash it always does). Saved only where
    // the file names it or it is on.
    bool RestoreDraftOnStart = false;

    std::vector<std::string> AddressBook; // [TEL]
    std::vector<std::string> SenderList;  // [MyAddress]
    std::string SignatureText;            // Signature.txt, CR LF line breaks

    friend bool operator==(const ProgramOptions&, const ProgramOptions&) = default;
};

// Where the windows and bars stand.
struct WindowLayout {
    // Preview window (keys of [Configuration]).
    std::int32_t VCount = 10;
    std::int32_t PLeft = 0;
    std::int32_t PTop = 0;

    // Main window bounds (keys Left, top, Width, Height).
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 600;
    std::int32_t Height = 340;

    // [ToolBar] and [SubjectBar]
    std::int32_t MenuTop = 2;
    std::int32_t MenuLeft = 11;
    std::int32_t ToolTop = 26;
    std::int32_t ToolLeft = 11;
    std::int32_t FromTop = 2;
    std::int32_t FromLeft = 310;
    std::int32_t SubjectTop = 26;
    std::int32_t SubjectLeft = 147;

    // [Developer], only ever read: ToolBar and klab.
    bool DeveloperToolBar = false;
    bool DeveloperKlab = false;

    friend bool operator==(const WindowLayout&, const WindowLayout&) = default;
};

// The settings file's values. The sender chosen now is the message
// composer's (send/message_composer.h).
struct Settings : ProgramOptions, WindowLayout {
    friend bool operator==(const Settings&, const Settings&) = default;
};

// One option: its key, its field, its default and the check box text (UTF-8).
struct OptionInfo {
    const char* key;
    bool Settings::*field;
    bool defaultValue;
    const char* checkBoxText;
};
[[nodiscard]] std::span<const OptionInfo> Options() noexcept;

// "0".."9" digits become "a".."j", the separator "," becomes "k".
[[nodiscard]] std::string EncodePop3Password(std::string_view password);
// The plain password, or an empty one when the stored text does not decode.
[[nodiscard]] std::string DecodePop3Password(std::string_view stored);
// nullopt when the stored text does not decode.
[[nodiscard]] std::optional<std::string> TryDecodePop3Password(std::string_view stored);

// The sanity rule of the unspecified type's limits: a MaxLen under 50 puts
// both back to their defaults; a FixLen over MaxLen becomes 0.
void ApplyLengthRule(std::int32_t& maxLen, std::int32_t& fixLen) noexcept;

// The main window's half: bounds, developer bars, bar positions,
// TypeMaxLengths, DefinedTypes, ShowSubjectBar and DefaultType. MaxLen and FixLen come
// along (with their rule) so that an unspecified DefaultType can be applied
// before the dialog's half is loaded. RememberWindowPosition and
// RememberWindowSize are read as the window applies them at start-up,
// option 8 with default true (on the first start the window goes to 0,0);
// the dialog's half reads them again with its own defaults.
void LoadMainWindowSettings(const std::filesystem::path& settingsFile, Settings& settings);

// The dialog's half: lists, servers, the password, options (the address
// book is sorted when SortAddressBook is on), limits, preview values and
// Signature.txt. Returns false when Signature.txt exists but could not be
// read; SignatureText is then empty.
bool LoadDialogSettings(const std::filesystem::path& settingsFile, const std::filesystem::path& signatureFile,
                        Settings& settings);

// Writes the dialog's half (after applying the length rule to MaxLen and
// FixLen in settings) and then Signature.txt, which exists only while
// SignatureText is not empty. Each file is written whole or not at all; a
// refused settings file leaves Signature.txt untouched too.
[[nodiscard]] SaveResult SaveDialogSettings(const std::filesystem::path& settingsFile,
                                            const std::filesystem::path& signatureFile, Settings& settings);

// Writes the address book, the main window's bounds, the bar positions and
// the preview window's values, as the main window closes.
[[nodiscard]] SaveResult SaveMainWindowSettings(const std::filesystem::path& settingsFile,
                                                const Settings& settings);

// The sender the main window starts with: the first of the SenderList, or
// none when the list is empty.
[[nodiscard]] std::string FirstSender(const ProgramOptions& options);

// The halves on a profile already read, for a writer that must read, merge
// and write the file under one lock (see settings_file.h). Reading the
// dialog's half leaves SignatureText alone; writing a half leaves out its
// lists, which SettingsLists names.
void ReadMainWindowHalf(const Profile& profile, Settings& settings);
void ReadDialogHalf(const Profile& profile, Settings& settings);
void WriteMainWindowHalf(Profile& profile, const Settings& settings);
void WriteDialogHalf(Profile& profile, const Settings& settings);

enum class SettingsHalf { MainWindow, Dialog };
void WriteHalf(Profile& profile, const Settings& settings, SettingsHalf half);

// A list section ("How" and the items "0", "1", ...) and its field.
struct SettingsList {
    std::string_view section;
    std::vector<std::string> Settings::*items;
};
// The lists a half saves: the address book for both, the sender list for
// the dialog's.
[[nodiscard]] std::span<const SettingsList> SettingsLists(SettingsHalf half) noexcept;
// The whole list; keys of a former, longer list stay, How bounds what is
// read back.
void WriteList(Profile& profile, std::string_view section, const std::vector<std::string>& items);

// Signature.txt into SignatureText; false when it exists but cannot be read.
bool ReadSignature(const std::filesystem::path& signatureFile, Settings& settings);
// Signature.txt written whole, or removed for an empty text.
[[nodiscard]] SaveResult SaveSignature(const std::filesystem::path& signatureFile, const std::string& text);

// Both load halves for a tool without windows.
[[nodiscard]] Settings LoadAllSettings(const std::filesystem::path& dataDir);

} // namespace kitemail
