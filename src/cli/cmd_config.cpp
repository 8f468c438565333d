// kitemail-cli config: the settings of the settings dialog, read and changed
// from the shell with the dialog's ranges, encodings and save.

#include "accounting/terminal_type.h"
#include "cli/command.h"
#include "cli/settings_store.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/secret_store.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "settings/keyring_passwords.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace kitemail::cli {
namespace {

enum class Kind { Text, Number, Flag, Password, Choice };

// One key of the file the config command reads and writes.
struct Key {
    std::string_view section;
    std::string key;
    Kind kind;
    std::string Settings::*text = nullptr;
    std::int32_t Settings::*number = nullptr;
    bool Settings::*flag = nullptr;
    int lengthType = -1; // [Length]: the slot of TypeMaxLengths
    NumberRange range{0, 0};
    // A choice's value as the settings file writes it, read and set.
    std::int32_t (*choice)(const Settings&) = nullptr;
    void (*setChoice)(Settings&, std::int32_t) = nullptr;
};

constexpr std::string_view kConfig = "Configuration";
constexpr std::string_view kSenders = "MyAddress";
constexpr NumberRange kAnyCount{0, std::numeric_limits<std::int32_t>::max()};

Key Text(std::string_view section, std::string key, std::string Settings::*field, Kind kind = Kind::Text)
{
    return {section, std::move(key), kind, field};
}

Key Number(std::string_view section, std::string key, std::int32_t Settings::*field, NumberRange range)
{
    return {section, std::move(key), Kind::Number, nullptr, field, nullptr, -1, range};
}

// A setting of named values, shown and set as the file's numbers 0..last.
template <auto Field, typename Value = std::remove_cvref_t<decltype(Settings{}.*Field)>>
Key Choice(std::string_view section, std::string key, Value last)
{
    Key k{section, std::move(key), Kind::Choice};
    k.range = {0, static_cast<std::int32_t>(last)};
    k.choice = [](const Settings& s) { return static_cast<std::int32_t>(s.*Field); };
    k.setChoice = [](Settings& s, std::int32_t v) { s.*Field = static_cast<Value>(v); };
    return k;
}

// Every key the settings dialog writes, in the order the dialog's pages
// show them; the address book is the book command's.
const std::vector<Key>& Keys()
{
    static const std::vector<Key> keys = [] {
        std::vector<Key> k = {
            Text(kConfig, "Server", &Settings::Server),
            Number(kConfig, "Port", &Settings::Port, RangeOf(&Settings::Port)),
            Text(kConfig, "FromUser", &Settings::FromUser),
            Number(kConfig, "Interval", &Settings::Interval, RangeOf(&Settings::Interval)),
            Choice<&Settings::DefaultType>(kConfig, "DefaultType", TerminalType::IModeFoma),
            Text(kConfig, "POP3Server", &Settings::POP3Server),
            Number(kConfig, "POP3Port", &Settings::POP3Port, RangeOf(&Settings::POP3Port)),
            Text(kConfig, "POP3USER", &Settings::POP3USER),
            {kConfig, "POP3PASS", Kind::Password, &Settings::POP3PASS, nullptr, &Settings::POP3PassInKeyring},
            Number(kConfig, "POPInterval", &Settings::POPInterval, RangeOf(&Settings::POPInterval)),
            Text(kConfig, "SignatureA", &Settings::SignatureA),
            Text(kConfig, "SignatureB", &Settings::SignatureB),
            Number(kConfig, "FontSize", &Settings::FontSize, RangeOf(&Settings::FontSize)),
            // Below 50 the file's rule would put both back to their defaults.
            Number(kConfig, "MaxLen", &Settings::MaxLen, {50, kAnyCount.max}),
            Number(kConfig, "FixLen", &Settings::FixLen, kAnyCount),
            {kConfig, "3Byte", Kind::Flag, nullptr, nullptr, &Settings::CountShiftBytes},
        };
        for (const OptionInfo& option : Options()) {
            k.push_back({kConfig, option.key, Kind::Flag, nullptr, nullptr, option.field});
        }
        for (int t = 0; t < kTerminalTypeCount; ++t) {
            k.push_back({"Length", std::to_string(t), Kind::Number, nullptr, nullptr, nullptr, t, kAnyCount});
        }
        const std::string_view submission = "Submission";
        k.push_back(Choice<&Settings::Security>(submission, "Security", SmtpSecurity::Tls));
        k.push_back(Choice<&Settings::AuthMethod>(submission, "AuthMethod", SmtpAuth::Login));
        k.push_back(Text(submission, "AuthUser", &Settings::AuthUser));
        k.push_back({submission, "AuthPass", Kind::Password, &Settings::AuthPass, nullptr, &Settings::AuthPassInKeyring});
        k.push_back(Text(submission, "CAFile", &Settings::CAFile));
        k.push_back(Choice<&Settings::POP3Security>(submission, "POP3Security", Pop3Security::Tls));
        const std::string_view network = "Network";
        k.push_back(Number(network, "ConnectTimeout", &Settings::ConnectTimeout, {1, kMaxNetworkSeconds}));
        k.push_back(Number(network, "ReplyTimeout", &Settings::ReplyTimeout, {1, kMaxNetworkSeconds}));
        k.push_back(Number(network, "DataTimeout", &Settings::DataTimeout, {1, kMaxNetworkSeconds}));
        k.push_back({"Draft", "RestoreOnStart", Kind::Flag, nullptr, nullptr, &Settings::RestoreDraftOnStart});
        return k;
    }();
    return keys;
}

bool SameName(std::string_view a, std::string_view b)
{
    return sjis::EqualsIgnoringAsciiCase(a, b);
}

std::string Name(const Key& k)
{
    return std::string(k.section) + "/" + k.key;
}

std::int32_t& NumberOf(Settings& s, const Key& k)
{
    return k.lengthType >= 0 ? s.TypeMaxLengths[static_cast<std::size_t>(k.lengthType)] : s.*k.number;
}

// What `get` and `list` print (UTF-8); a stored password only says it is there.
std::string Shown(Settings& s, const Key& k)
{
    switch (k.kind) {
    case Kind::Text: return SjisToUtf8(s.*k.text);
    case Kind::Password: return s.*k.flag ? "(keyring)" : (s.*k.text).empty() ? "" : "(set)";
    case Kind::Number: return std::to_string(NumberOf(s, k));
    case Kind::Choice: return std::to_string(k.choice(s));
    case Kind::Flag: return s.*k.flag ? "1" : "0";
    }
    return {};
}

// SECTION/KEY: a key of the table, or an item of the sender list.
struct Target {
    const Key* key = nullptr;
    std::optional<std::size_t> sender; // MyAddress/N
};

Target Find(std::string_view name)
{
    const std::size_t slash = name.find('/');
    if (slash != std::string_view::npos) {
        const std::string_view section = name.substr(0, slash);
        const std::string_view key = name.substr(slash + 1);
        if (SameName(section, kSenders)) {
            const std::optional<std::int32_t> index = ParseDecimal(key);
            if (index && *index >= 0) {
                return {nullptr, static_cast<std::size_t>(*index)};
            }
        }
        for (const Key& k : Keys()) {
            if (SameName(section, k.section) && SameName(key, k.key)) {
                return {&k, std::nullopt};
            }
        }
    }
    throw CommandError::Usage("no setting '" + std::string(name) + "'; 'kitemail-cli config list' shows them");
}

std::vector<std::string>& Senders(Settings& s, std::size_t index, bool appendable)
{
    if (index > s.SenderList.size() || (index == s.SenderList.size() && !appendable)) {
        throw CommandError::BadInput("the sender list has " + std::to_string(s.SenderList.size())
                                     + " items (MyAddress/0 to /" + std::to_string(s.SenderList.size())
                                     + ", the last one adding a sender)");
    }
    return s.SenderList;
}

// The settings file gives back no more of a value than this; a longer one
// would come back cut.
void RefuseTooLong(std::string_view stored, const std::string& name)
{
    if (stored.size() > kProfileMaxValueBytes) {
        throw CommandError::BadInput(name + ": too long for the settings file (at most "
                                     + std::to_string(kProfileMaxValueBytes) + " bytes as stored)");
    }
}

std::string SettingText(std::string_view value, const std::string& name)
{
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        throw CommandError::BadInput(name + ": a setting holds one line");
    }
    std::string text = TextToSjis(value, name);
    RefuseTooLong(text, name);
    return text;
}

void Set(Settings& s, const Key& k, std::string_view value)
{
    const std::string name = Name(k);
    switch (k.kind) {
    case Kind::Password:
        throw CommandError::Usage(name + " is set with 'kitemail-cli config password "
                                  + (k.section == kConfig ? "pop3" : "smtp") + "', never from an argument");
    case Kind::Text: s.*k.text = SettingText(value, name); return;
    case Kind::Flag:
        if (value == "1" || value == "on" || value == "true" || value == "yes") {
            s.*k.flag = true;
        } else if (value == "0" || value == "off" || value == "false" || value == "no") {
            s.*k.flag = false;
        } else {
            throw CommandError::BadInput(name + " is 1 (on) or 0 (off), not '" + std::string(value) + "'");
        }
        return;
    case Kind::Number:
    case Kind::Choice: break;
    }
    const std::int32_t number = ParseInt(name, value);
    // A typed address may default to a type the user defined, as the
    // dialog's type box offers it.
    const bool definedType = k.section == kConfig && k.key == "DefaultType"
        && s.Types().Defined(TerminalTypeFromNumber(number)) != nullptr;
    if (!definedType && (number < k.range.min || number > k.range.max)) {
        throw CommandError::BadInput(name + ": " + std::to_string(number) + " is out of range "
                                     + std::to_string(k.range.min) + ".." + std::to_string(k.range.max));
    }
    // The file's rule would silently drop a fixed count above the limit.
    if (k.number == &Settings::FixLen && number > s.MaxLen) {
        throw CommandError::BadInput(name + ": " + std::to_string(number) + " is above MaxLen ("
                                     + std::to_string(s.MaxLen) + ")");
    }
    if (k.number == &Settings::MaxLen && number < s.FixLen) {
        throw CommandError::BadInput(name + ": " + std::to_string(number) + " is below FixLen ("
                                     + std::to_string(s.FixLen) + ")");
    }
    if (k.kind == Kind::Choice) {
        k.setChoice(s, number);
    } else {
        NumberOf(s, k) = number;
    }
}

void Unset(Settings& s, const Key& k)
{
    static Settings defaults;
    if (k.kind == Kind::Text || k.kind == Kind::Password) {
        (s.*k.text).clear();
        if (k.kind == Kind::Password) {
            s.*k.flag = false; // the keyring's copy goes after the save
        }
    } else if (k.kind == Kind::Flag) {
        s.*k.flag = defaults.*k.flag;
    } else if (k.kind == Kind::Choice) {
        k.setChoice(s, k.choice(defaults));
    } else {
        NumberOf(s, k) = NumberOf(defaults, k);
    }
}

std::string List(Settings& s, std::optional<std::string_view> section)
{
    std::string out;
    for (const Key& k : Keys()) {
        if (!section || SameName(*section, k.section)) {
            out += Name(k) + "=" + Shown(s, k) + "\n";
        }
    }
    if (!section || SameName(*section, kSenders)) {
        for (std::size_t i = 0; i < s.SenderList.size(); ++i) {
            out += std::string(kSenders) + "/" + std::to_string(i) + "=" + SjisToUtf8(s.SenderList[i]) + "\n";
        }
    }
    return out;
}

// A keyring failure as the command line reports it: our words, then the
// keyring's own.
std::string KeyringFailureText(const std::string& sjis, const SecretResult& result)
{
    std::string text = SjisToUtf8(sjis);
    if (!result.detail.empty()) {
        text += " (" + result.detail + ")";
    }
    return text;
}

// The password from the terminal without echo, else one line of standard input.
std::string ReadPassword(std::string_view which)
{
    std::optional<std::string> line;
    if (::isatty(STDIN_FILENO) != 0) {
        line = ReadHiddenLine(std::string(which) + " password:");
    } else {
        line = ReadFileBytes("-");
        line->erase(std::min(line->find('\n'), line->size()));
        if (line->ends_with('\r')) {
            line->pop_back();
        }
    }
    if (!line) {
        throw CommandError::Failure("no password read: no terminal");
    }
    std::string password = TextToSjis(*line, "the password");
    RefuseTooLong(EncodePop3Password(password), "the password");
    return password;
}

int RunConfig(const CommandContext& context)
{
    ArgReader args(context.args);
    std::optional<bool> toKeyring; // config password: --keyring or --file
    const std::vector<std::string_view> operands = Operands(args, [&](ArgReader& a) {
        const bool keyring = a.Flag("--keyring");
        if (!keyring && !a.Flag("--file")) {
            return false;
        }
        if (toKeyring) {
            throw CommandError::Usage("give --keyring or --file once");
        }
        toKeyring = keyring;
        return true;
    });
    if (toKeyring && (operands.empty() || operands[0] != "password")) {
        throw CommandError::Usage("--keyring and --file go with config password");
    }
    if (operands.empty()) {
        throw CommandError::Usage("give list, get, set, unset or password");
    }
    const std::string_view verb = operands[0];
    const auto expect = [&](std::size_t count, const char* usage) {
        if (operands.size() != count) {
            throw CommandError::Usage(std::string("usage: config ") + usage);
        }
    };
    // Typed before the lock is taken: nobody waits for the user's typing.
    // The keyring answers through the event loop.
    const std::unique_ptr<QCoreApplication> app = ApplicationIfNone();
    std::optional<std::string> password;
    const StoredPassword which = operands.size() > 1 && operands[1] == "pop3" ? StoredPassword::Pop3 : StoredPassword::Smtp;
    const PasswordSlot slot = SlotOf(which);
    const std::unique_ptr<SecretStore> keyring = DesktopKeyring(DataDirectory(context.dataDir));
    if (verb == "password") {
        expect(2, "password pop3|smtp [--keyring|--file]");
        if (operands[1] != "pop3" && operands[1] != "smtp") {
            throw CommandError::Usage("config password takes pop3 or smtp, not '" + std::string(operands[1]) + "'");
        }
        password = ReadPassword(operands[1] == "pop3" ? "POP3" : "SMTP");
        if (!toKeyring) {
            toKeyring = SettingsStore(context.dataDir, SettingsStore::Access::Read).Values().*slot.inKeyring;
        }
        if (*toKeyring && password->empty()) {
            throw CommandError::Usage("an empty password is asked for at each send; it is not kept in the keyring");
        }
        // Also before the lock: the keyring may ask the user to unlock it.
        if (*toKeyring) {
            if (const SecretResult stored = keyring->Store(slot.keyringName, *password); !stored.ok()) {
                throw CommandError::Failure(KeyringFailureText(KeyringStoreFailure(stored.error), stored));
            }
            password->clear();
        }
    }
    const bool changes = verb == "set" || verb == "unset" || verb == "password";
    SettingsStore store(context.dataDir, changes ? SettingsStore::Access::Change : SettingsStore::Access::Read);
    Settings& s = store.Values();
    if (verb == "list") {
        if (operands.size() > 2) {
            throw CommandError::Usage("usage: config list [SECTION]");
        }
        WriteAll(STDOUT_FILENO, List(s, operands.size() == 2 ? std::optional(operands[1]) : std::nullopt));
        return kExitOk;
    }
    if (verb == "password") {
        const bool wasInKeyring = s.*slot.inKeyring;
        s.*slot.password = std::move(*password);
        s.*slot.inKeyring = *toKeyring;
        store.Save();
        if (wasInKeyring && !*toKeyring) {
            ForgetKeyringCopy(which, *keyring);
        }
        return kExitOk;
    }
    if (verb != "get" && verb != "set" && verb != "unset") {
        throw CommandError::Usage("unknown config command '" + std::string(verb) + "'");
    }
    expect(verb == "set" ? 3 : 2, verb == "set" ? "set SECTION/KEY VALUE" : "get|unset SECTION/KEY");
    const Target target = Find(operands[1]);
    if (verb == "get") {
        const std::string value = target.key ? Shown(s, *target.key)
                                             : SjisToUtf8(Senders(s, *target.sender, false)[*target.sender]);
        WriteAll(STDOUT_FILENO, value + "\n");
        return kExitOk;
    }
    // A password unset leaves the keyring too.
    const bool forget = target.key && target.key->kind == Kind::Password && verb == "unset" && s.*target.key->flag;
    if (target.key) {
        verb == "set" ? Set(s, *target.key, operands[2]) : Unset(s, *target.key);
        // Sorting on sorts the book as the settings window does; a file
        // left unsorted would be sorted by the next load instead.
        if (target.key->kind == Kind::Flag && target.key->flag == &Settings::SortAddressBook) {
            store.Editor().Book().SetSorted(s.SortAddressBook);
        }
    } else if (verb == "set") {
        const std::string sender = SettingText(operands[2], std::string(operands[1]));
        std::vector<std::string>& senders = Senders(s, *target.sender, true);
        if (*target.sender == senders.size()) {
            senders.push_back(sender);
        } else {
            senders[*target.sender] = sender;
        }
    } else {
        std::vector<std::string>& senders = Senders(s, *target.sender, false);
        senders.erase(senders.begin() + static_cast<std::ptrdiff_t>(*target.sender));
    }
    store.Save();
    if (forget) {
        ForgetKeyringCopy(target.key->flag == &Settings::POP3PassInKeyring ? StoredPassword::Pop3 : StoredPassword::Smtp,
                          *keyring);
    }
    return kExitOk;
}

} // namespace

extern const Command kConfigCommand;
const Command kConfigCommand = {
    "config",
    "read and change the settings (Kiteml.ini) as the settings dialog does",
    "Usage: kitemail-cli [--data-dir DIR] config list [SECTION]\n"
    "       kitemail-cli [--data-dir DIR] config get SECTION/KEY\n"
    "       kitemail-cli [--data-dir DIR] config set SECTION/KEY VALUE\n"
    "       kitemail-cli [--data-dir DIR] config unset SECTION/KEY\n"
    "       kitemail-cli [--data-dir DIR] config password pop3|smtp [--keyring|--file]\n"
    "\n"
    "Reads and changes Kiteml.ini in the data folder as the settings dialog does:\n"
    "the same ranges (a value outside is refused, with the range), the same file,\n"
    "replaced whole in one step, holding Kiteml.ini.lock from the read to the\n"
    "write, so that the window and other commands lose nothing; only the value\n"
    "changed is written. Values are UTF-8 here and Shift_JIS in the file;\n"
    "a character Shift_JIS cannot hold is refused by name. 'config list' shows\n"
    "every key as SECTION/KEY=VALUE; 'unset' puts a key back to its default.\n"
    "\n"
    "  Configuration/Server, Port        the SMTP server and port (0..65535)\n"
    "  Configuration/FromUser            the sender name\n"
    "  MyAddress/N                       sender N (0-based): an address, optionally\n"
    "                                    \",\" and a Reply-To address; setting the\n"
    "                                    number after the last adds one, unset\n"
    "                                    removes one\n"
    "  Configuration/Interval            seconds between split parts (0..10)\n"
    "  Configuration/DefaultType         the terminal type of a typed address (0..9,\n"
    "                                    or a type of 'kitemail-cli types list')\n"
    "  Configuration/1 .. 23             the options, 1 (on) or 0 (off); 21 is\n"
    "                                    POP before SMTP, 6 the send history\n"
    "  Configuration/POP3Server, POP3Port, POP3USER, POPInterval\n"
    "  Configuration/MaxLen, FixLen      the unspecified type's limit (50 or more)\n"
    "                                    and fixed count (at most MaxLen)\n"
    "  Length/0 .. 9                     the limit of each terminal type\n"
    "  Submission/Security               0 plain, 1 STARTTLS, 2 TLS\n"
    "  Submission/AuthMethod             0 none, 1 the best offered, 2 PLAIN, 3 LOGIN\n"
    "  Submission/AuthUser, CAFile, POP3Security (0 plain, 1 STLS, 2 TLS)\n"
    "  Network/ConnectTimeout            seconds a connect may take (1..3600, 60)\n"
    "  Network/ReplyTimeout              seconds a server may take to answer (300)\n"
    "  Network/DataTimeout               seconds to accept a sent message (600)\n"
    "\n"
    "Passwords are never given as arguments: 'config password pop3' (POP3PASS)\n"
    "and 'config password smtp' (Submission/AuthPass) read one from the terminal\n"
    "without echo, or the first line of standard input; an empty one is asked\n"
    "for at each send. --keyring keeps it in the desktop's keyring (the Secret\n"
    "Service: GNOME Keyring, KWallet) and leaves the file's value empty, with\n"
    "POP3PassIn=keyring (Submission/AuthPassIn=keyring) saying where it is;\n"
    "--file puts it back into the file; without either it goes where the\n"
    "password is kept now. 'get' shows such a password as (keyring); 'unset'\n"
    "removes it from the keyring too. The address book is the book command's.\n"
    "\n"
    "Exit status: 0 when done; 1 when the file could not be written (read-only,\n"
    "or its lock held by another program for ten seconds); 2 for bad\n"
    "arguments, a value out of range or a settings file that cannot be read.\n",
    RunConfig,
};

} // namespace kitemail::cli
