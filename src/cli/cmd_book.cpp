// kitemail-cli book: the address book of the settings dialog's first page,
// edited from the shell through the same editor, with its refusals.

#include "accounting/terminal_type.h"
#include "cli/command.h"
#include "cli/settings_store.h"
#include "cli/user_input.h"
#include "platform/text_codec.h"
#include "settings/address_book.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kitemail::cli {
namespace {

// The PIN box takes four characters.
constexpr std::size_t kPinCharacters = 4;

struct BookArguments {
    std::vector<std::string_view> operands;
    std::optional<TerminalType> type;
    std::optional<std::string_view> pin;
    std::optional<std::string_view> sender;
    bool json = false;
    bool yes = false;
};

BookArguments ParseBookArguments(std::span<const std::string_view> argv)
{
    BookArguments a;
    ArgReader args(argv);
    a.operands = Operands(args, [&a](ArgReader& r) {
        if (const auto type = r.Value("--type")) {
            a.type = TerminalTypeFromNumber(ParseInt("--type", *type));
        } else if (const auto pin = r.Value("--pin")) {
            a.pin = *pin;
        } else if (const auto sender = r.Value("--sender")) {
            a.sender = *sender;
        } else if (r.Flag("--json")) {
            a.json = true;
        } else if (r.Flag("--yes")) {
            a.yes = true;
        } else {
            return false;
        }
        return true;
    });
    if (a.operands.empty()) {
        throw CommandError::Usage("give list, add, replace, delete, move or sort");
    }
    return a;
}

// "#I" (or I): a number of 'book list'.
std::int32_t EntryNumber(const std::vector<std::string>& book, std::string_view text)
{
    const std::string_view digits = text.starts_with('#') ? text.substr(1) : text;
    const int number = ParseInt("the entry number", digits);
    if (number < 0 || static_cast<std::size_t>(number) >= book.size()) {
        throw CommandError::BadInput("no entry " + std::string(text) + ": the address book has "
                                     + std::to_string(book.size()) + " entries");
    }
    return number;
}

std::string TypeName(const TerminalTypes& types, TerminalType type)
{
    return types.Knows(type) ? SjisToUtf8(types.BoxText(type)) : "type " + std::to_string(TerminalTypeNumber(type));
}

// The sender an entry chose; empty for none (the first sender is used).
std::string SenderText(const Settings& s, std::int32_t sender)
{
    return sender >= 0 && static_cast<std::size_t>(sender) < s.SenderList.size()
        ? s.SenderList[static_cast<std::size_t>(sender)]
        : std::string();
}

std::string List(const Settings& s, bool json)
{
    std::string out;
    QJsonArray entries;
    for (std::size_t i = 0; i < s.AddressBook.size(); ++i) {
        const AddressBookEntry e = ParseAddressBookEntry(s.AddressBook[i]);
        const std::string sender = SenderText(s, e.sender);
        if (json) {
            entries.append(QJsonObject{
                {"number", static_cast<qint64>(i)}, {"name", DecodeSjis(e.name)},
                {"address", DecodeSjis(e.address)}, {"pin", DecodeSjis(e.pin)}, {"type", TerminalTypeNumber(e.type)},
                {"typeName", QString::fromStdString(TypeName(s.Types(), e.type))}, {"sender", e.sender},
                {"senderAddress", DecodeSjis(sender)}});
        } else {
            out += "#" + std::to_string(i) + "\t" + SjisToUtf8(e.name) + "\t" + SjisToUtf8(e.address) + "\t"
                + TypeName(s.Types(), e.type) + "\t" + (sender.empty() ? "-" : SjisToUtf8(sender)) + "\n";
        }
    }
    return json ? QJsonDocument(entries).toJson(QJsonDocument::Compact).toStdString() + "\n" : out;
}

// The options of add and replace into the editor's fields.
void FillFields(AddressBookEditor& editor, const Settings& s, const BookArguments& a)
{
    if (a.operands.size() > 2) {
        editor.SetName(TextToSjis(a.operands[a.operands.size() - 2], "the name"));
        editor.SetAddress(TextToSjis(a.operands.back(), "the address"));
    }
    if (a.pin) {
        const std::string pin = TextToSjis(*a.pin, "the PIN");
        if (DecodeSjis(pin).size() > static_cast<qsizetype>(kPinCharacters)) {
            throw CommandError::BadInput("the PIN has at most 4 characters");
        }
        editor.SetPin(pin);
    }
    if (a.type) {
        if (!s.Types().Knows(*a.type)) {
            throw CommandError::BadInput("--type must be 0 to 9 or a type of 'kitemail-cli types list', not "
                                         + std::to_string(TerminalTypeNumber(*a.type)));
        }
        editor.SetType(*a.type);
    }
    if (a.sender) {
        const int sender = *a.sender == "none" ? -1 : ParseInt("--sender", *a.sender);
        if (sender < -1 || sender >= static_cast<int>(s.SenderList.size())) {
            throw CommandError::BadInput("--sender is none or a number of the sender list (0 to "
                                         + std::to_string(static_cast<int>(s.SenderList.size()) - 1) + ")");
        }
        editor.SenderCheckClicked(sender >= 0);
        editor.SetSenderIndex(sender);
    }
}

int RunBook(const CommandContext& context)
{
    const BookArguments a = ParseBookArguments(context.args);
    const std::string_view verb = a.operands[0];
    const auto expect = [&](bool ok, const char* usage) {
        if (!ok) {
            throw CommandError::Usage(std::string("usage: book ") + usage);
        }
    };
    SettingsStore store(context.dataDir,
                        verb == "list" ? SettingsStore::Access::Read : SettingsStore::Access::Change, a.yes);
    Settings& s = store.Values();
    AddressBookEditor& editor = store.Editor().Book();
    if (verb == "list") {
        expect(a.operands.size() == 1, "list [--json]");
        WriteAll(STDOUT_FILENO, List(s, a.json));
        return kExitOk;
    }
    // One change per command: the edits must not replace the line field by
    // field as they would while the user types.
    const bool autoReplace = s.AutoReplaceOnInput;
    s.AutoReplaceOnInput = false;
    editor.PageShown();
    if (verb == "add") {
        expect(a.operands.size() == 3, "add NAME ADDRESS --type N [--pin P] [--sender I]");
        editor.NewEntry();
        FillFields(editor, s, a);
        editor.AddEntry();
    } else if (verb == "replace") {
        expect(a.operands.size() == 2 || a.operands.size() == 4,
               "replace #I [NAME ADDRESS] [--type N] [--pin P] [--sender I|none]");
        editor.Select(EntryNumber(s.AddressBook, a.operands[1]));
        editor.ShowEntry();
        FillFields(editor, s, a);
        editor.ReplaceEntry();
    } else if (verb == "delete") {
        expect(a.operands.size() == 2, "delete #I --yes");
        editor.Select(EntryNumber(s.AddressBook, a.operands[1]));
        const std::size_t before = s.AddressBook.size();
        editor.DeleteEntry();
        if (s.AddressBook.size() == before) {
            return kExitFailure; // the question was answered no
        }
    } else if (verb == "move") {
        expect(a.operands.size() == 3 && (a.operands[2] == "up" || a.operands[2] == "down"), "move #I up|down");
        editor.Select(EntryNumber(s.AddressBook, a.operands[1]));
        if (editor.Sorted()) {
            throw CommandError::BadInput("the address book is sorted; 'kitemail-cli book sort off' first");
        }
        editor.MoveEntry(a.operands[2] == "up" ? -1 : 1);
    } else if (verb == "sort") {
        expect(a.operands.size() == 2 && (a.operands[1] == "on" || a.operands[1] == "off"), "sort on|off");
        editor.SetSorted(a.operands[1] == "on");
    } else {
        throw CommandError::Usage("unknown book command '" + std::string(verb) + "'");
    }
    if (store.Ui().Messages() > 0) {
        return kExitUsage; // the editor refused, and said why
    }
    s.AutoReplaceOnInput = autoReplace;
    store.Save();
    return kExitOk;
}

} // namespace

extern const Command kBookCommand;
const Command kBookCommand = {
    "book",
    "list and edit the address book as the settings dialog does",
    "Usage: kitemail-cli [--data-dir DIR] book list [--json]\n"
    "       kitemail-cli [--data-dir DIR] book add NAME ADDRESS --type N [--pin P] [--sender I]\n"
    "       kitemail-cli [--data-dir DIR] book replace #I [NAME ADDRESS] [--type N] [--pin P]\n"
    "                                          [--sender I|none]\n"
    "       kitemail-cli [--data-dir DIR] book delete #I --yes\n"
    "       kitemail-cli [--data-dir DIR] book move #I up|down\n"
    "       kitemail-cli [--data-dir DIR] book sort on|off\n"
    "\n"
    "Edits the address book of Kiteml.ini with the settings dialog's editor and\n"
    "its checks; a refusal is said on standard error and changes nothing.\n"
    "\n"
    "  list          number, name, address, terminal type and chosen sender of\n"
    "                each entry, in the order the main window shows them; the\n"
    "                numbers are those 'send --entry #I' takes. --json: an array\n"
    "                of objects (number, name, address, pin, type, typeName,\n"
    "                sender, senderAddress)\n"
    "  add           a new entry: --type N (0 to 9 or a type of 'kitemail-cli\n"
    "                types list', see 'count --help'), --pin P\n"
    "                (SkyWalker/SkyMessage, at most 4 characters), --sender I (a\n"
    "                number of 'config list MyAddress'); sorted into its place\n"
    "                while sorting is on, else added at the end\n"
    "  replace #I    entry I with the values given; the others stay\n"
    "  delete #I     entry I, when --yes answers the question\n"
    "  move #I       entry I one place up or down (sorting off)\n"
    "  sort          keep the book sorted (on, the default) or in your order\n"
    "\n"
    "Names and addresses hold no \",\". Put \"--\" before a name that starts with \"-\".\n"
    "\n"
    "Exit status: 0 when done; 1 when the file could not be written or the\n"
    "deletion was not confirmed; 2 for bad arguments or a refused entry.\n",
    RunBook,
};

} // namespace kitemail::cli
