#include "settings/settings.h"

#include "platform/data_dir.h"
#include "platform/file_io.h"
#include "platform/program_version.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "settings/address_book.h"
#include "settings/defined_types.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>
#include <unordered_map>

namespace kitemail {
namespace {

constexpr std::string_view kConfig = "Configuration";
constexpr std::string_view kLength = "Length";
constexpr std::string_view kToolBar = "ToolBar";
constexpr std::string_view kSubjectBar = "SubjectBar";
constexpr std::string_view kDeveloper = "Developer";
constexpr std::string_view kTel = "TEL";
constexpr std::string_view kMyAddress = "MyAddress";
constexpr std::string_view kApplication = "Application";
constexpr std::string_view kNetwork = "Network";
constexpr std::string_view kSubmission = "Submission";
constexpr std::string_view kDraft = "Draft";

// A damaged or hand-edited count must not exhaust memory.
constexpr std::int32_t kMaxListItems = 100000;

constexpr mode_t kSignatureMode = 0644;

const OptionInfo kOptions[] = {
    {"1", &Settings::ShowSendCompleteMessage, true, "送信完了のメッセージを表示する"},
    {"2", &Settings::ScrollLongStatusHints, true, "ステータスバーに表示しきれないヒントはスクロールする"},
    {"3", &Settings::ConfirmClear, true, "クリアするときに確認ダイアログを表示する"},
    {"4", &Settings::ShowSplitResult, true, "分割送信時に分割処理結果を表示する"},
    {"5", &Settings::BeepOnMessage, true, "メッセージ表示時に音を鳴らす"},
    {"6", &Settings::RecordHistory, true, "送信履歴を記録する"},
    {"7", &Settings::AutoSplitOnOverflow, false, "容量オーバー時は、自動的に分割送信を選択する"},
    {"8", &Settings::RememberWindowPosition, false, "終了時にウインドウ表示位置を記憶する"},
    {"9", &Settings::RememberWindowSize, false, "終了時にウインドウ表示サイズを記憶する"},
    {"11", &Settings::AssumeSingleByteAtEnds, true, "全角・半角間の3Byte計算時に、本文の前後を半角文字として計算する"},
    {"12", &Settings::CountFinalLineBreakShift, true, "本文の最後が全角の時の改行コードの挿入を考慮する"},
    {"13", &Settings::AttachmentDoubleClickProperties, true, "添付ファイル一覧をダブルクリックでプロパティーを表示"},
    {"14", &Settings::HighlightTabs, false, "タブの強調表示"},
    {"16", &Settings::SortAddressBook, true, "ソート"},
    {"17", &Settings::PartNumberInSubject, false, "分割数表示はSubjectに挿入する（Sky*は除く）"},
    {"18", &Settings::CheckBeforeSend, true, "送信前に設定事項をチェックする"},
    {"19", &Settings::ShowSubjectBar, false, "Subjectバーを表示"},
    {"20", &Settings::ClearAfterSend, false, "送信後は設定をクリアする"},
    {"21", &Settings::UsePopBeforeSmtp, false, "POP before SMTPを使う"},
    {"22", &Settings::AutoInsertSignature, false, "署名自動挿入"},
    {"23", &Settings::AutoReplaceOnInput, false, "入力時に自動置換を行う"},
};

std::int32_t ReadClamped(const Profile& p, std::string_view key, std::int32_t def, std::int32_t lo, std::int32_t hi)
{
    return std::clamp(p.ReadInt(kConfig, key, def), lo, hi);
}

// The list keys present: "0", "1", ... as written, in numeric order.
std::vector<std::int32_t> ListKeys(const std::unordered_map<std::string, std::string>& values)
{
    std::vector<std::int32_t> keys;
    for (const auto& [key, value] : values) {
        const std::optional<std::int32_t> n = ParseDecimal(key);
        if (n && *n >= 0 && *n < kMaxListItems && std::to_string(*n) == key) {
            keys.push_back(*n);
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// How bounds what is read back, so that keys of a former, longer list stay
// hidden. A How that is not a count of the entries that follow (negative,
// not a number, past a missing entry) would hide or invent entries: the
// entries present are read instead, and the next save of the list writes
// them as they were read.
std::vector<std::string> ReadList(const Profile& p, std::string_view section)
{
    std::unordered_map<std::string, std::string> values;
    for (auto& [key, value] : p.SectionValues(section)) {
        values.emplace(key, std::move(value));
    }
    const std::vector<std::int32_t> keys = ListKeys(values);
    std::int32_t following = 0;
    while (static_cast<std::size_t>(following) < keys.size() && keys[static_cast<std::size_t>(following)] == following) {
        ++following;
    }
    const std::int32_t how = p.ReadInt(section, "How", -1);
    std::vector<std::string> items;
    if (how >= 0 && how <= following) {
        for (std::int32_t i = 0; i < how; ++i) {
            items.push_back(values.at(std::to_string(i)));
        }
        return items;
    }
    for (const std::int32_t key : keys) {
        items.push_back(values.at(std::to_string(key)));
    }
    return items;
}

} // namespace

// Keys of a former, longer list stay; How bounds what is read back.
void WriteList(Profile& p, std::string_view section, const std::vector<std::string>& items)
{
    p.WriteInt(section, "How", static_cast<std::int32_t>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        p.WriteString(section, std::to_string(i), items[i]);
    }
}

namespace {

void WriteNetwork(Profile& p, const Settings& s)
{
    const Settings defaults;
    const std::tuple<std::string_view, std::int32_t, std::int32_t> values[] = {
        {"ConnectTimeout", s.ConnectTimeout, defaults.ConnectTimeout},
        {"ReplyTimeout", s.ReplyTimeout, defaults.ReplyTimeout},
        {"DataTimeout", s.DataTimeout, defaults.DataTimeout},
    };
    for (const auto& [key, value, standard] : values) {
        if (value != standard || p.HasKey(kNetwork, key)) {
            p.WriteInt(kNetwork, key, value);
        }
    }
}

// Where a password is: "keyring", or in the file as always (the key
// missing, or "file" once it has been in the keyring).
bool ReadInKeyring(const Profile& p, std::string_view section, std::string_view key)
{
    return sjis::EqualsIgnoringAsciiCase(p.ReadString(section, key, "file"), "keyring");
}

// A file that never kept a password in the keyring stays as it was.
void WriteInKeyring(Profile& p, std::string_view section, std::string_view key, bool inKeyring)
{
    if (inKeyring || p.HasKey(section, key)) {
        p.WriteString(section, key, inKeyring ? "keyring" : "file");
    }
}

// A value outside its choices reads as 0: the plain connection of old.
template <typename Choice>
Choice ReadChoice(const Profile& p, std::string_view key, Choice last)
{
    const std::int32_t v = p.ReadInt(kSubmission, key, 0);
    return v >= 0 && v <= static_cast<std::int32_t>(last) ? static_cast<Choice>(v) : Choice{};
}

void WriteChoice(Profile& p, std::string_view key, auto choice)
{
    p.WriteInt(kSubmission, key, static_cast<std::int32_t>(choice));
}

void ReadSubmission(const Profile& p, Settings& s)
{
    s.Security = ReadChoice(p, "Security", SmtpSecurity::Tls);
    s.AuthMethod = ReadChoice(p, "AuthMethod", SmtpAuth::Login);
    s.AuthUser = p.ReadString(kSubmission, "AuthUser", "");
    s.AuthPassInKeyring = ReadInKeyring(p, kSubmission, "AuthPassIn");
    // While the keyring holds it, a value left in the file is not used.
    s.AuthPass = s.AuthPassInKeyring ? std::string() : DecodePop3Password(p.ReadString(kSubmission, "AuthPass", ""));
    s.CAFile = p.ReadString(kSubmission, "CAFile", "");
    s.POP3Security = ReadChoice(p, "POP3Security", Pop3Security::Tls);
}

// Written once anything in it is set, or it is in the file already: a file
// that never used it stays as it was.
void WriteSubmission(Profile& p, const Settings& s)
{
    const bool used = s.Security != SmtpSecurity::None || s.AuthMethod != SmtpAuth::None || !s.AuthUser.empty()
        || !s.AuthPass.empty() || s.AuthPassInKeyring || !s.CAFile.empty() || s.POP3Security != Pop3Security::None;
    if (!used && p.SectionValues(kSubmission).empty()) {
        return;
    }
    WriteChoice(p, "Security", s.Security);
    WriteChoice(p, "AuthMethod", s.AuthMethod);
    p.WriteString(kSubmission, "AuthUser", s.AuthUser);
    p.WriteString(kSubmission, "AuthPass", EncodePop3Password(s.AuthPass));
    WriteInKeyring(p, kSubmission, "AuthPassIn", s.AuthPassInKeyring);
    p.WriteString(kSubmission, "CAFile", s.CAFile);
    WriteChoice(p, "POP3Security", s.POP3Security);
}

void ReadLengthLimits(const Profile& p, Settings& s)
{
    const TypeLimits defaults = DefaultTypeMaxLengths();
    for (std::size_t t = 0; t < defaults.size(); ++t) {
        s.TypeMaxLengths[t] = p.ReadInt(kLength, std::to_string(t), defaults[t]);
    }
}

void ReadUnspecifiedLimits(const Profile& p, Settings& s)
{
    s.MaxLen = p.ReadInt(kConfig, "MaxLen", 384);
    s.FixLen = p.ReadInt(kConfig, "FixLen", 55);
    ApplyLengthRule(s.MaxLen, s.FixLen);
}

// Signature.txt holds each line ended by CR LF; in memory the text has CR LF
// between lines and none after the last.
std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string SignatureFromFile(std::string_view content)
{
    std::string text = WithCrLf(content);
    if (text.ends_with("\r\n")) {
        text.resize(text.size() - 2);
    }
    return text;
}

} // namespace

SaveResult SaveSignature(const std::filesystem::path& path, const std::string& text)
{
    if (text.empty()) {
        // A signature that could not be read was never shown, so it was
        // never emptied on purpose: leave it for the user to look at.
        if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), R_OK) != 0) {
            return SaveResult::Failure(path, "the existing file could not be read");
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            return SaveResult::Failure(path, std::string("unlink: ") + std::strerror(errno));
        }
        return {};
    }
    if (std::optional<std::string> reason = WriteFileAtomically(path, WithCrLf(text) + "\r\n", kSignatureMode)) {
        return SaveResult::Failure(path, std::move(*reason));
    }
    return {};
}

std::span<const OptionInfo> Options() noexcept
{
    return kOptions;
}

std::string EncodePop3Password(std::string_view password)
{
    std::string stored;
    for (std::size_t i = 0; i < password.size(); ++i) {
        const std::size_t position = i + 1;
        const std::int32_t value = static_cast<unsigned char>(password[i]) + PasswordKeyDigits[position % 8];
        for (const char digit : std::to_string(value)) {
            stored += static_cast<char>('a' + (digit - '0'));
        }
        stored += 'k';
    }
    return stored;
}

std::optional<std::string> TryDecodePop3Password(std::string_view stored)
{
    std::string password;
    std::size_t position = 1;
    std::string item;
    const auto takeItem = [&]() -> bool {
        if (!item.empty()) {
            const std::optional<std::int32_t> value = ParseDecimal(item);
            if (!value) {
                return false;
            }
            const std::int32_t byte = *value - PasswordKeyDigits[position % 8];
            if (byte < 0 || byte > 255) {
                return false;
            }
            password += static_cast<char>(static_cast<unsigned char>(byte));
        }
        item.clear();
        ++position;
        return true;
    };
    for (const char c : stored) {
        if (c >= 'a' && c <= 'j') {
            item += static_cast<char>('0' + (c - 'a'));
        } else if (c == 'k') {
            if (!takeItem()) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!takeItem()) {
        return std::nullopt;
    }
    return password;
}

std::string DecodePop3Password(std::string_view stored)
{
    return TryDecodePop3Password(stored).value_or(std::string());
}

void ApplyLengthRule(std::int32_t& maxLen, std::int32_t& fixLen) noexcept
{
    if (maxLen < 50) {
        maxLen = 384;
        fixLen = 55;
    }
    if (maxLen < fixLen) {
        fixLen = 0;
    }
}

void ReadMainWindowHalf(const Profile& p, Settings& s)
{
    s.RememberWindowPosition = p.ReadBool(kConfig, "8", true);
    s.Left = p.ReadInt(kConfig, "Left", 0);
    s.Top = p.ReadInt(kConfig, "top", 0);
    s.RememberWindowSize = p.ReadBool(kConfig, "9", false);
    s.Width = p.ReadInt(kConfig, "Width", 600);
    s.Height = p.ReadInt(kConfig, "Height", 340);

    s.DeveloperToolBar = p.ReadBool(kDeveloper, "ToolBar", false);
    s.DeveloperKlab = p.ReadBool(kDeveloper, "klab", false);

    s.MenuTop = p.ReadInt(kToolBar, "MenuTop", 2);
    s.MenuLeft = p.ReadInt(kToolBar, "MenuLeft", 11);
    s.ToolTop = p.ReadInt(kToolBar, "ToolTop", 26);
    s.ToolLeft = p.ReadInt(kToolBar, "ToolLeft", 11);
    s.FromTop = p.ReadInt(kToolBar, "FromTop", 2);
    s.FromLeft = p.ReadInt(kToolBar, "FromLeft", 310);
    s.SubjectTop = p.ReadInt(kSubjectBar, "SubjectTop", 26);
    s.SubjectLeft = p.ReadInt(kSubjectBar, "SubjectLeft", 147);

    ReadLengthLimits(p, s);
    s.DefinedTypes = ReadDefinedTypes(p);
    s.ShowSubjectBar = p.ReadBool(kConfig, "19", false);
    // The unspecified type needs these when DefaultType is not a type index.
    ReadUnspecifiedLimits(p, s);
    s.DefaultType = TerminalTypeFromNumber(p.ReadInt(kConfig, "DefaultType", 0));
}

void LoadMainWindowSettings(const std::filesystem::path& settingsFile, Settings& s)
{
    ReadMainWindowHalf(Profile(settingsFile), s);
}

constexpr std::int32_t kMaxPort = 65535;

void ReadDialogHalf(const Profile& p, Settings& s)
{
    s.AddressBook = ReadList(p, kTel);
    s.SenderList = ReadList(p, kMyAddress);

    s.Server = p.ReadString(kConfig, "Server", "");
    // Any TCP port: a server on 10025 must not be reached at 9999 instead.
    s.Port = ReadClamped(p, "Port", 25, 0, kMaxPort);
    s.SignatureA = p.ReadString(kConfig, "SignatureA", "");
    s.SignatureB = p.ReadString(kConfig, "SignatureB", "");
    s.POP3USER = p.ReadString(kConfig, "POP3USER", "");
    s.POP3PassInKeyring = ReadInKeyring(p, kConfig, "POP3PassIn");
    s.POP3PASS = s.POP3PassInKeyring ? std::string() : DecodePop3Password(p.ReadString(kConfig, "POP3PASS", ""));
    s.POP3Server = p.ReadString(kConfig, "POP3Server", "");
    s.POP3Port = ReadClamped(p, "POP3Port", 110, 0, kMaxPort);
    s.FromUser = p.ReadString(kConfig, "FromUser", "");

    for (const OptionInfo& option : kOptions) {
        s.*option.field = p.ReadBool(kConfig, option.key, option.defaultValue);
    }
    if (s.SortAddressBook) {
        SortAddressBookLines(s.AddressBook);
    }

    ReadUnspecifiedLimits(p, s);
    s.CountShiftBytes = p.ReadBool(kConfig, "3Byte", false);
    s.FontSize = ReadClamped(p, "FontSize", 9, 1, 50);
    s.Interval = ReadClamped(p, "Interval", 0, 0, 10);
    s.POPInterval = ReadClamped(p, "POPInterval", 0, 0, 10);
    s.DefaultType = TerminalTypeFromNumber(p.ReadInt(kConfig, "DefaultType", 0));

    const auto seconds = [&p](std::string_view key, std::int32_t def) {
        return std::clamp(p.ReadInt(kNetwork, key, def), 1, kMaxNetworkSeconds);
    };
    s.ConnectTimeout = seconds("ConnectTimeout", 60);
    s.ReplyTimeout = seconds("ReplyTimeout", 300);
    s.DataTimeout = seconds("DataTimeout", 600);
    ReadSubmission(p, s);
    s.RestoreDraftOnStart = p.ReadBool(kDraft, "RestoreOnStart", false);

    s.VCount = ReadClamped(p, "VCount", 10, 6, 20);
    s.PLeft = p.ReadInt(kConfig, "PLeft", 0);
    s.PTop = p.ReadInt(kConfig, "PTop", 0);
}

bool ReadSignature(const std::filesystem::path& signatureFile, Settings& s)
{
    std::string reason;
    const std::optional<std::string> signature = ReadWholeFile(signatureFile, reason);
    s.SignatureText = signature ? SignatureFromFile(*signature) : std::string();
    return reason.empty();
}

bool LoadDialogSettings(const std::filesystem::path& settingsFile, const std::filesystem::path& signatureFile,
                        Settings& s)
{
    ReadDialogHalf(Profile(settingsFile), s);
    return ReadSignature(signatureFile, s);
}

void WriteDialogHalf(Profile& p, const Settings& s)
{
    p.WriteString(kConfig, "Server", s.Server);
    p.WriteInt(kConfig, "Port", s.Port);
    p.WriteString(kConfig, "SignatureA", s.SignatureA);
    p.WriteString(kConfig, "SignatureB", s.SignatureB);
    p.WriteString(kConfig, "POP3USER", s.POP3USER);
    p.WriteString(kConfig, "POP3PASS", EncodePop3Password(s.POP3PASS));
    WriteInKeyring(p, kConfig, "POP3PassIn", s.POP3PassInKeyring);
    p.WriteString(kConfig, "POP3Server", s.POP3Server);
    p.WriteInt(kConfig, "POP3Port", s.POP3Port);
    p.WriteString(kConfig, "FromUser", s.FromUser);

    p.WriteInt(kConfig, "MaxLen", s.MaxLen);
    p.WriteInt(kConfig, "FixLen", s.FixLen);

    p.WriteInt(kConfig, "FontSize", s.FontSize);
    p.WriteInt(kConfig, "Interval", s.Interval);
    p.WriteInt(kConfig, "POPInterval", s.POPInterval);
    p.WriteBool(kConfig, "3Byte", s.CountShiftBytes);

    for (std::size_t t = 0; t < s.TypeMaxLengths.size(); ++t) {
        p.WriteInt(kLength, std::to_string(t), s.TypeMaxLengths[t]);
    }
    WriteDefinedTypes(p, s.DefinedTypes);

    p.WriteString(kApplication, "Ver", ProgramVersion);
    for (const OptionInfo& option : kOptions) {
        p.WriteBool(kConfig, option.key, s.*option.field);
    }
    p.WriteInt(kConfig, "DefaultType", TerminalTypeNumber(s.DefaultType));
    WriteSubmission(p, s);
    WriteNetwork(p, s);
    if (s.RestoreDraftOnStart || p.HasKey(kDraft, "RestoreOnStart")) {
        p.WriteBool(kDraft, "RestoreOnStart", s.RestoreDraftOnStart);
    }
}

void WriteMainWindowHalf(Profile& p, const Settings& s)
{
    // Written always; options 8 and 9 decide only whether they are applied.
    p.WriteInt(kConfig, "Left", s.Left);
    p.WriteInt(kConfig, "top", s.Top);
    p.WriteInt(kConfig, "Width", s.Width);
    p.WriteInt(kConfig, "Height", s.Height);

    p.WriteInt(kToolBar, "MenuTop", s.MenuTop);
    p.WriteInt(kToolBar, "MenuLeft", s.MenuLeft);
    p.WriteInt(kToolBar, "ToolTop", s.ToolTop);
    p.WriteInt(kToolBar, "ToolLeft", s.ToolLeft);
    p.WriteInt(kToolBar, "FromTop", s.FromTop);
    p.WriteInt(kToolBar, "FromLeft", s.FromLeft);
    p.WriteInt(kSubjectBar, "SubjectTop", s.SubjectTop);
    p.WriteInt(kSubjectBar, "SubjectLeft", s.SubjectLeft);

    p.WriteInt(kConfig, "VCount", s.VCount);
    p.WriteInt(kConfig, "PLeft", s.PLeft);
    p.WriteInt(kConfig, "PTop", s.PTop);
}

std::span<const SettingsList> SettingsLists(SettingsHalf half) noexcept
{
    static constexpr SettingsList kLists[] = {{kTel, &Settings::AddressBook}, {kMyAddress, &Settings::SenderList}};
    return half == SettingsHalf::Dialog ? std::span<const SettingsList>(kLists) : std::span<const SettingsList>(kLists, 1);
}

void WriteHalf(Profile& p, const Settings& s, SettingsHalf half)
{
    half == SettingsHalf::Dialog ? WriteDialogHalf(p, s) : WriteMainWindowHalf(p, s);
}

SaveResult SaveDialogSettings(const std::filesystem::path& settingsFile, const std::filesystem::path& signatureFile,
                              Settings& s)
{
    Profile p(settingsFile);
    ApplyLengthRule(s.MaxLen, s.FixLen);
    for (const SettingsList& list : SettingsLists(SettingsHalf::Dialog)) {
        WriteList(p, list.section, s.*list.items);
    }
    WriteDialogHalf(p, s);
    if (SaveResult result = p.Save(); !result.ok()) {
        return result;
    }
    return SaveSignature(signatureFile, s.SignatureText);
}

SaveResult SaveMainWindowSettings(const std::filesystem::path& settingsFile, const Settings& s)
{
    Profile p(settingsFile);
    WriteList(p, kTel, s.AddressBook);
    WriteMainWindowHalf(p, s);
    return p.Save();
}

Settings LoadAllSettings(const std::filesystem::path& dataDir)
{
    Settings s;
    LoadMainWindowSettings(SettingsFilePath(dataDir), s);
    (void)LoadDialogSettings(SettingsFilePath(dataDir), SignaturePath(dataDir), s);
    return s;
}

std::string FirstSender(const ProgramOptions& options)
{
    return options.SenderList.empty() ? std::string() : options.SenderList.front();
}

} // namespace kitemail
