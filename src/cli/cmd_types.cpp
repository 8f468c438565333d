// kitemail-cli types: the terminal types the user defines ([TerminalTypes]
// of Kiteml.ini), listed, added, changed and deleted with the editing rules
// the settings dialog keeps.

#include "accounting/terminal_type.h"
#include "cli/command.h"
#include "cli/settings_store.h"
#include "cli/user_input.h"
#include "platform/text_codec.h"
#include "settings/defined_types.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kitemail::cli {
namespace {

// The words of each choice, in the order of the numbers the file stores.
constexpr std::array<std::string_view, 4> kSenderWords = {"none", "whole", "capped-at-55", "up-to-at"};
constexpr std::array<std::string_view, 3> kSubjectWords = {"none", "plain", "capped-at-40"};
constexpr std::array<std::string_view, 3> kShiftWords = {"never", "always", "with-3byte"};
constexpr std::array<std::string_view, 3> kAttachmentWords = {"none", "sizes", "sizes-and-paths"};

struct TypesArguments {
    std::vector<std::string_view> operands;
    std::optional<std::string_view> name;
    std::optional<std::string_view> limit;
    std::optional<std::string_view> fixed;
    std::optional<std::string_view> sender;
    std::optional<std::string_view> subject;
    std::optional<std::string_view> shifts;
    std::optional<std::string_view> attachments;
    std::optional<std::string_view> finalBreak;
    std::optional<std::string_view> areas;
    bool json = false;
    bool yes = false;

    [[nodiscard]] bool ChangesAType() const
    {
        return name || limit || fixed || sender || subject || shifts || attachments || finalBreak || areas;
    }
};

TypesArguments ParseTypesArguments(std::span<const std::string_view> argv)
{
    TypesArguments a;
    ArgReader args(argv);
    a.operands = Operands(args, [&a](ArgReader& r) {
        using Option = std::pair<std::string_view, std::optional<std::string_view>*>;
        for (const auto& [option, field] :
             std::initializer_list<Option>{{"--name", &a.name}, {"--limit", &a.limit}, {"--fixed", &a.fixed},
                                           {"--sender", &a.sender}, {"--subject", &a.subject}, {"--shifts", &a.shifts},
                                           {"--attachments", &a.attachments}, {"--final-break", &a.finalBreak},
                                           {"--areas", &a.areas}}) {
            if (const auto v = r.Value(option)) {
                *field = *v;
                return true;
            }
        }
        if (r.Flag("--json")) {
            a.json = true;
        } else if (r.Flag("--yes")) {
            a.yes = true;
        } else {
            return false;
        }
        return true;
    });
    if (a.operands.empty()) {
        throw CommandError::Usage("give list, add, set or delete");
    }
    return a;
}

// A word of the choice, or the number the file stores for it.
template <typename Choice, std::size_t N>
Choice ParseChoice(std::string_view option, std::string_view text, const std::array<std::string_view, N>& words)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text == words[i] || text == std::to_string(i)) {
            return static_cast<Choice>(i);
        }
    }
    std::string allowed;
    for (const std::string_view w : words) {
        allowed += (allowed.empty() ? "" : ", ") + std::string(w);
    }
    throw CommandError::BadInput(std::string(option) + " takes " + allowed + " (or 0 to " + std::to_string(N - 1)
                                 + "), not '" + std::string(text) + "'");
}

template <typename Choice, std::size_t N>
std::string_view Word(Choice c, const std::array<std::string_view, N>& words)
{
    const auto i = static_cast<std::size_t>(c);
    return i < N ? words[i] : words[0];
}

bool ParseOnOff(std::string_view option, std::string_view text)
{
    if (text == "on" || text == "1" || text == "yes") {
        return true;
    }
    if (text == "off" || text == "0" || text == "no") {
        return false;
    }
    throw CommandError::BadInput(std::string(option) + " is on or off, not '" + std::string(text) + "'");
}

// "subject,pin,attachments,animation" in any order, or "none".
InputAreas ParseAreas(std::string_view text)
{
    InputAreas areas{false, false, false, false, false};
    if (text == "none") {
        return areas;
    }
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view word = text.substr(0, comma);
        if (word == "subject") {
            areas.subject = true;
        } else if (word == "pin") {
            areas.pin = true;
        } else if (word == "attachments") {
            areas.attachments = true;
        } else if (word == "animation") {
            areas.animationMode = true;
        } else {
            throw CommandError::BadInput("--areas takes none or a comma-separated list of subject, pin, "
                                         "attachments and animation, not '" + std::string(word) + "'");
        }
        if (comma == std::string_view::npos) {
            return areas;
        }
        text.remove_prefix(comma + 1);
    }
}

// The areas offered, in the words --areas takes.
std::vector<std::string> AreaWords(const InputAreas& areas)
{
    std::vector<std::string> words;
    for (const auto& [on, word] : std::initializer_list<std::pair<bool, const char*>>{
             {areas.subject, "subject"}, {areas.pin, "pin"}, {areas.attachments, "attachments"},
             {areas.animationMode, "animation"}}) {
        if (on) {
            words.emplace_back(word);
        }
    }
    return words;
}

std::string AreasText(const InputAreas& areas)
{
    std::string s;
    for (const std::string& word : AreaWords(areas)) {
        s += (s.empty() ? "" : ",") + word;
    }
    return s.empty() ? "none" : s;
}

// The options given, over d's values.
void ApplyOptions(DefinedType& d, const TypesArguments& a)
{
    if (a.name) {
        d.name = TextToSjis(*a.name, "the name");
    }
    if (a.limit) {
        d.limit = ParseInt("--limit", *a.limit);
    }
    if (a.fixed) {
        d.fixedCount = ParseInt("--fixed", *a.fixed);
    }
    if (a.sender) {
        d.counts.sender = ParseChoice<SenderTerm>("--sender", *a.sender, kSenderWords);
    }
    if (a.subject) {
        d.counts.subject = ParseChoice<SubjectTerm>("--subject", *a.subject, kSubjectWords);
    }
    if (a.shifts) {
        d.counts.shiftBytes = ParseChoice<ShiftBytes>("--shifts", *a.shifts, kShiftWords);
    }
    if (a.attachments) {
        d.counts.attachments = ParseChoice<AttachmentTerm>("--attachments", *a.attachments, kAttachmentWords);
    }
    if (a.finalBreak) {
        d.counts.finalLineBreak = ParseOnOff("--final-break", *a.finalBreak);
    }
    if (a.areas) {
        d.areas = ParseAreas(*a.areas);
    }
}

std::string TypesListing(const Settings& s, bool json)
{
    std::string out;
    QJsonArray array;
    for (const DefinedType& d : s.DefinedTypes) {
        const auto word = [](std::string_view w) { return QString::fromUtf8(w.data(), static_cast<qsizetype>(w.size())); };
        if (json) {
            QJsonArray areas;
            for (const std::string& area : AreaWords(d.areas)) {
                areas.append(QString::fromStdString(area));
            }
            array.append(QJsonObject{{"type", TerminalTypeNumber(d.type)}, {"name", DecodeSjis(d.name)},
                                     {"limit", d.limit}, {"fixed", d.fixedCount},
                                     {"sender", word(Word(d.counts.sender, kSenderWords))},
                                     {"subject", word(Word(d.counts.subject, kSubjectWords))},
                                     {"shifts", word(Word(d.counts.shiftBytes, kShiftWords))},
                                     {"attachments", word(Word(d.counts.attachments, kAttachmentWords))},
                                     {"finalBreak", d.counts.finalLineBreak}, {"areas", areas}});
        } else {
            out += std::to_string(TerminalTypeNumber(d.type)) + "\t" + SjisToUtf8(d.name) + "\tlimit="
                + std::to_string(d.limit) + "\tfixed=" + std::to_string(d.fixedCount) + "\tsender="
                + std::string(Word(d.counts.sender, kSenderWords)) + "\tsubject="
                + std::string(Word(d.counts.subject, kSubjectWords)) + "\tshifts="
                + std::string(Word(d.counts.shiftBytes, kShiftWords)) + "\tattachments="
                + std::string(Word(d.counts.attachments, kAttachmentWords)) + "\tfinal-break="
                + (d.counts.finalLineBreak ? "on" : "off") + "\tareas=" + AreasText(d.areas) + "\n";
        }
    }
    return json ? QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString() + "\n" : out;
}

// The type N names; a bad-input error when no type is defined under it.
TerminalType DefinedNumber(const Settings& s, std::string_view text)
{
    const TerminalType t = TerminalTypeFromNumber(ParseInt("the type number", text));
    if (s.Types().Defined(t) == nullptr) {
        throw CommandError::BadInput("no defined type " + std::string(text)
                                     + "; 'kitemail-cli types list' shows them");
    }
    return t;
}

// The editing rules' refusal as the command's error.
void Refuse(const Settings& s, const DefinedType& d)
{
    if (const std::optional<std::string> problem = DefinedTypeProblem(s, d)) {
        throw CommandError::BadInput(SjisToUtf8(*problem));
    }
}

std::string Joined(const std::vector<std::string>& sjisNames)
{
    std::string s;
    for (const std::string& name : sjisNames) {
        s += (s.empty() ? "" : ", ") + SjisToUtf8(name);
    }
    return s;
}

int RunTypes(const CommandContext& context)
{
    const TypesArguments a = ParseTypesArguments(context.args);
    const std::string_view verb = a.operands[0];
    const auto expect = [&](bool ok, const char* usage) {
        if (!ok) {
            throw CommandError::Usage(std::string("usage: types ") + usage);
        }
    };
    if (verb == "list") {
        expect(a.operands.size() == 1 && !a.ChangesAType() && !a.yes, "list [--json]");
    } else if (verb == "add") {
        expect(a.operands.size() == 2 && !a.name && !a.yes && !a.json, "add NAME [OPTIONS]");
    } else if (verb == "set") {
        expect(a.operands.size() == 2 && a.ChangesAType() && !a.yes && !a.json, "set N OPTIONS");
    } else if (verb == "delete") {
        expect(a.operands.size() == 2 && !a.ChangesAType() && !a.json, "delete N [--yes]");
    } else {
        throw CommandError::Usage("unknown types command '" + std::string(verb) + "'");
    }
    SettingsStore store(context.dataDir, verb == "list" ? SettingsStore::Access::Read : SettingsStore::Access::Change);
    Settings& s = store.Values();
    if (verb == "list") {
        WriteAll(STDOUT_FILENO, TypesListing(s, a.json));
        return kExitOk;
    }
    if (verb == "add") {
        DefinedType d;
        d.name = TextToSjis(a.operands[1], "the name");
        ApplyOptions(d, a);
        if (s.DefinedTypes.size() >= static_cast<std::size_t>(kMaxDefinedTypes)) {
            throw CommandError::BadInput("every type number (" + std::to_string(kFirstDefinedType) + " to "
                                         + std::to_string(kFirstDefinedType + kMaxDefinedTypes - 1)
                                         + ") is in use");
        }
        d.type = TerminalType::Unspecified; // a number no other type has: the name is checked against them all
        Refuse(s, d);
        const std::optional<TerminalType> added = AddDefinedType(s, d);
        if (!added) {
            throw CommandError::BadInput("the type could not be added");
        }
        store.Save();
        WriteAll(STDOUT_FILENO, std::to_string(TerminalTypeNumber(*added)) + "\n");
        return kExitOk;
    }
    const TerminalType t = DefinedNumber(s, a.operands[1]);
    if (verb == "set") {
        DefinedType d = *s.Types().Defined(t);
        ApplyOptions(d, a);
        Refuse(s, d);
        if (!ReplaceDefinedType(s, d)) {
            throw CommandError::BadInput("the type could not be changed");
        }
        store.Save();
        return kExitOk;
    }
    const std::string name = s.Types().Defined(t)->name;
    const std::vector<std::string> users = EntriesUsingType(s, t);
    const std::string number = std::to_string(TerminalTypeNumber(t));
    if (!users.empty() && !a.yes) {
        throw CommandError::Failure("type " + number + " (" + SjisToUtf8(name) + ") is the type of the address-book "
                                    + (users.size() == 1 ? "entry " : "entries ") + Joined(users)
                                    + "; --yes deletes it and makes "
                                    + (users.size() == 1 ? "that entry" : "those entries") + " unspecified");
    }
    const bool wasDefault = s.DefaultType == t;
    (void)DeleteDefinedType(s, t);
    store.Save();
    if (!users.empty()) {
        std::fprintf(stderr, "%s types: now unspecified: %s\n", kToolName.data(), Joined(users).c_str());
    }
    if (wasDefault) {
        std::fprintf(stderr, "%s types: the default type (Configuration/DefaultType) is now unspecified\n",
                     kToolName.data());
    }
    return kExitOk;
}

} // namespace

extern const Command kTypesCommand;
const Command kTypesCommand = {
    "types",
    "list, add, change and delete the terminal types you define",
    "Usage: kitemail-cli [--data-dir DIR] types list [--json]\n"
    "       kitemail-cli [--data-dir DIR] types add NAME [OPTIONS]\n"
    "       kitemail-cli [--data-dir DIR] types set N OPTIONS\n"
    "       kitemail-cli [--data-dir DIR] types delete N [--yes]\n"
    "\n"
    "Terminal types of your own, for services the ten built-in types do not\n"
    "name: kept in the [TerminalTypes] section of Kiteml.ini, numbered from 10\n"
    "on, and taken by 'count --type N', 'send --type N' and 'book add --type N'\n"
    "as the ten are. Changes keep the settings dialog's rules and are saved as\n"
    "'config' saves.\n"
    "\n"
    "  list          one line per type, fields separated by tabs: the number,\n"
    "                the name, then limit=, fixed=, sender=, subject=, shifts=,\n"
    "                attachments=, final-break= and areas= as the options below\n"
    "                take them. --json: an array of objects (type, name, limit,\n"
    "                fixed, sender, subject, shifts, attachments, finalBreak,\n"
    "                areas)\n"
    "  add NAME      a new type under the lowest free number, which is printed;\n"
    "                what OPTIONS do not give: a limit of 10000 bytes, no fixed\n"
    "                overhead, the subject's bytes and the body's bytes counted,\n"
    "                the final line break counted, the subject area offered\n"
    "  set N         type N with the values given; the others stay\n"
    "  delete N      deletes type N; when address-book entries have it, they are\n"
    "                named and --yes is needed, and they become unspecified (so\n"
    "                does Configuration/DefaultType when it is N)\n"
    "\n"
    "Options (a choice by its word or by the number Kiteml.ini stores):\n"
    "  --name NAME          the name the type boxes show (set)\n"
    "  --limit BYTES        the limit of a mail\n"
    "  --fixed BYTES        the fixed overhead added to every count (below the\n"
    "                       limit)\n"
    "  --sender WORD        the sender counted: none, whole, capped-at-55 (at most\n"
    "                       55 bytes), up-to-at (up to and with the \"@\")\n"
    "  --subject WORD       the subject counted: none, plain (its bytes),\n"
    "                       capped-at-40 (its bytes and shift bytes, a flat 40 over\n"
    "                       40 bytes)\n"
    "  --shifts WORD        3 bytes per shift sequence of body and subject: never,\n"
    "                       always, with-3byte (with the 3Byte setting)\n"
    "  --attachments WORD   attachments counted: none, sizes, sizes-and-paths (size\n"
    "                       + full path + 20 each); counted ones need the\n"
    "                       attachments area\n"
    "  --final-break on|off 2 bytes more for a body that ends on a double-byte\n"
    "                       character (with option 12)\n"
    "  --areas LIST         the main window's areas it offers: none, or some of\n"
    "                       subject, pin, attachments, animation, comma-separated;\n"
    "                       attachments offered are sent, a PIN without the\n"
    "                       subject goes out as the Subject\n"
    "\n"
    "Exit status: 0 when done; 1 when the file could not be written, or a type\n"
    "in use was left because --yes was not given; 2 for bad arguments or a\n"
    "type the rules refuse.\n",
    RunTypes,
};

} // namespace kitemail::cli
