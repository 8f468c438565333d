// The editors behind the settings dialog's pages and the message being
// composed, the settings file with several writers, the history folder, and
// the texts and tables of the engine's parts (the send run's, the text
// tools', the profile's, the data folder's rule, drafts, splits), walked by
// the scripts in tests/data/walks/unit/: each line a verb and its cells
// (texts in UTF-8), acting on them or checking what they show; most acts
// keep their answer for "result" or "listed". Each walk runs alone, named
// after its file (and a table's row, for a walk run per row); a failure
// names the walk's line.

#include "accounting/counter.h"
#include "accounting/splitter.h"
#include "fake_keyring.h"
#include "file_bytes.h"
#include "golden.h"
#include "mail/mail_types.h"
#include "mail/message_writer.h"
#include "mail/outgoing_mail.h"
#include "mail/reply_accumulator.h"
#include "mail/smtp_dialogue.h"
#include "net/ktcp_error.h"
#include "platform/data_dir.h"
#include "platform/date_text.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "scripted_ui.h"
#include "send/close_query.h"
#include "send/draft.h"
#include "send/history_folder.h"
#include "send/history_record.h"
#include "send/message_composer.h"
#include "send/recipient.h"
#include "send/send_checks.h"
#include "settings/address_book.h"
#include "settings/defined_types.h"
#include "settings/defined_types_editor.h"
#include "settings/keyring_passwords.h"
#include "settings/settings.h"
#include "settings/settings_editor.h"
#include "settings/settings_file.h"
#include "temp_dir.h"
#include "text/encoders.h"
#include "tools/text_commands.h"
#include "tools/text_tools.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <thread>
#include <utility>
#include <variant>

namespace kitemail::unit_walks {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Row = test::TableRow;
using S = Settings;

// The cells from the first on, as code page 932.
Lines Cells(const Row& r, std::size_t first = 0)
{
    Lines out;
    for (std::size_t i = first; i < r.cells.size(); ++i) {
        out.push_back(r.Sjis(i));
    }
    return out;
}

// The settings the walks set and check, by name; the value is the cells
// after the name.
using Field = std::variant<bool S::*, std::int32_t S::*, TerminalType S::*, std::string S::*, Lines S::*,
                           TypeLimits S::*>;
const std::map<std::string, Field> kFields = {
    {"AddressBook", &S::AddressBook}, {"SenderList", &S::SenderList}, {"FromUser", &S::FromUser},
    {"Server", &S::Server}, {"SignatureA", &S::SignatureA}, {"AuthUser", &S::AuthUser},
    {"AuthPass", &S::AuthPass}, {"POP3PASS", &S::POP3PASS}, {"SignatureText", &S::SignatureText},
    {"BeepOnMessage", &S::BeepOnMessage}, {"SortAddressBook", &S::SortAddressBook},
    {"AutoReplaceOnInput", &S::AutoReplaceOnInput}, {"AssumeSingleByteAtEnds", &S::AssumeSingleByteAtEnds},
    {"CountFinalLineBreakShift", &S::CountFinalLineBreakShift}, {"CountShiftBytes", &S::CountShiftBytes},
    {"ConfirmClear", &S::ConfirmClear}, {"AutoInsertSignature", &S::AutoInsertSignature},
    {"AuthPassInKeyring", &S::AuthPassInKeyring}, {"FontSize", &S::FontSize}, {"ToolLeft", &S::ToolLeft},
    {"ReplyTimeout", &S::ReplyTimeout}, {"DataTimeout", &S::DataTimeout}, {"Left", &S::Left}, {"Top", &S::Top},
    {"Width", &S::Width}, {"Height", &S::Height}, {"DeveloperToolBar", &S::DeveloperToolBar},
    {"DeveloperKlab", &S::DeveloperKlab}, {"ShowSendCompleteMessage", &S::ShowSendCompleteMessage},
    {"ScrollLongStatusHints", &S::ScrollLongStatusHints}, {"ShowSplitResult", &S::ShowSplitResult},
    {"RecordHistory", &S::RecordHistory}, {"AutoSplitOnOverflow", &S::AutoSplitOnOverflow},
    {"RememberWindowPosition", &S::RememberWindowPosition}, {"RememberWindowSize", &S::RememberWindowSize},
    {"AttachmentDoubleClickProperties", &S::AttachmentDoubleClickProperties}, {"HighlightTabs", &S::HighlightTabs},
    {"PartNumberInSubject", &S::PartNumberInSubject}, {"CheckBeforeSend", &S::CheckBeforeSend},
    {"ShowSubjectBar", &S::ShowSubjectBar}, {"ClearAfterSend", &S::ClearAfterSend},
    {"UsePopBeforeSmtp", &S::UsePopBeforeSmtp},
    {"MaxLen", &S::MaxLen}, {"FixLen", &S::FixLen}, {"Port", &S::Port}, {"DefaultType", &S::DefaultType},
    {"TypeMaxLengths", &S::TypeMaxLengths}};

void Assign(bool& f, const Row& r) { f = r[1] == "1"; }
void Assign(std::int32_t& f, const Row& r) { f = r.Int(1); }
void Assign(TerminalType& f, const Row& r) { f = TerminalTypeFromNumber(r.Int(1)); }
void Assign(std::string& f, const Row& r) { f = r.cells.size() > 1 ? r.Sjis(1) : ""; }
void Assign(Lines& f, const Row& r) { f = Cells(r, 1); }
void Assign(TypeLimits& f, const Row& r)
{
    for (std::size_t i = 0; i < f.size(); ++i) {
        f[i] = r.Int(i + 1);
    }
}

// Characters Shift_JIS cannot hold, by their code points in hex, from the
// cell first on; the text holds a placeholder for each.
std::vector<char32_t> CodePoints(const Row& r, std::size_t first)
{
    std::vector<char32_t> out;
    for (std::size_t i = first; i < r.cells.size(); ++i) {
        out.push_back(static_cast<char32_t>(std::stoul(r[i], nullptr, 16)));
    }
    return out;
}

TextArea Area(const std::string& name)
{
    return name == "body"      ? TextArea::Body
           : name == "subject" ? TextArea::Subject
           : name == "pin"     ? TextArea::Pin
                               : TextArea::DirectAddress;
}

// Five 0 or 1: subject, PIN, attachments, animation, note.
InputAreas Areas(const std::string& v)
{
    return {v.at(0) == '1', v.at(1) == '1', v.at(2) == '1', v.at(3) == '1', v.at(4) == '1'};
}

// A defined type's fields changed by "key=value" cells from the first on:
// type, limit, fixed, areas, counts (five digits: sender, subject, shifts,
// attachments, final break), attachments alone; an empty value changes nothing.
DefinedType Changed(DefinedType d, const Row& r, std::size_t first)
{
    for (std::size_t i = first; i < r.cells.size(); ++i) {
        const std::string key = r[i].substr(0, r[i].find('=')), value = r[i].substr(key.size() + 1);
        if (value.empty()) {
            continue; // as it was
        }
        if (key == "areas") {
            d.areas = Areas(value);
        } else if (key == "counts") {
            const auto n = [&](std::size_t at) { return static_cast<std::uint8_t>(value.at(at) - '0'); };
            d.counts = {SenderTerm{n(0)}, SubjectTerm{n(1)}, ShiftBytes{n(2)}, AttachmentTerm{n(3)}, n(4) == 1};
        } else if (key == "attachments") {
            d.counts.attachments = static_cast<AttachmentTerm>(std::stoi(value));
        } else {
            const std::int32_t n = std::stoi(value);
            key == "type" ? void(d.type = TerminalTypeFromNumber(n)) : void((key == "limit" ? d.limit : d.fixedCount) = n);
        }
    }
    return d;
}

// The diet's options by letter, in their order: Leading, Trailing, Inner,
// Empty lines, Join.
DietOptions DietTicks(std::string_view letters)
{
    const auto has = [letters](char c) { return letters.find(c) != std::string_view::npos; };
    return {has('L'), has('T'), has('I'), has('E'), has('J')};
}

Settings MainWindowHalf(const fs::path& dir)
{
    Settings s;
    LoadMainWindowSettings(SettingsFilePath(dir), s);
    return s;
}

class Walk : public ::testing::TestWithParam<std::string> {
protected:
    test::TempDir dir;
    Settings settings, snapshot;
    PlainSender sender;
    test::ScriptedUserInterface ui;
    SettingsEditor editor{settings, sender, ui};
    AddressBookEditor book{settings, ui};
    DefinedTypesEditor types{settings, ui};
    MessageComposer composer{settings, ui};
    TextCommands text{settings, composer, ui};
    SettingsFile file{dir.path()};
    test::FakeKeyring keyring;
    std::string result; // what the last act answered, for "result"
    Lines listed;       // and the list it answered, for "listed"
    std::string fileBefore;
    std::int32_t countBefore = 0;

    // Programs on one settings file, each with what it read; "disk", the
    // settings a start would load now. "as" chooses which "set" and
    // "expect" mean, the dialog's own settings at first.
    struct Writer {
        SettingsFile file;
        Settings s;
    };
    std::map<std::string, Writer> writers;
    std::optional<HistoryBrowser> history;
    std::optional<Profile> profile; // p.ini, as last read
    ReplyAccumulator replies;
    // The world the data folder's rule looks at: variables, the program's
    // folder, the files there, and the folders it made.
    std::map<std::string, std::string> env{{"KITEMAIL_HOME", "/srv/kite"}, {"HOME", "/home/taro"}};
    std::optional<fs::path> programDir = fs::path("/opt/kitemail");
    Lines programFiles, created;
    Lines splitSteps; // what the last split showed, step by step
    QuotedPrintableEncoder qp;
    Settings disk;
    Settings* target = &settings;

    // The list with its selected item in brackets, then the entry box.
    static std::string Shown(const Lines& items, std::int32_t selected, const std::string& entry)
    {
        std::string out;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const bool is = static_cast<std::int32_t>(i) == selected;
            out += (is ? "[" : "") + items[i] + (is ? "]" : "") + " ";
        }
        return out + "| " + entry;
    }
    DefinedType* Defined(std::int32_t number)
    {
        for (DefinedType& d : target->DefinedTypes) {
            if (d.type == TerminalTypeFromNumber(number)) {
                return &d;
            }
        }
        ADD_FAILURE() << "no type " << number;
        return nullptr;
    }
    Writer& Named(const std::string& name) { return writers.try_emplace(name, Writer{SettingsFile(dir.path()), {}}).first->second; }
    SecretStore* Keyring(const Row& r, std::size_t i) { return r[i] == "keyring" ? &keyring : nullptr; }
    static StoredPassword Which(const std::string& name) { return name == "smtp" ? StoredPassword::Smtp : StoredPassword::Pop3; }
    void Answer(const std::function<bool()>& act, const char* yes) { result = act() ? yes : "no"; }

    const test::WalkVerbs verbs = {
        // The settings and the user's answers; the user interface's record.
        {"set", [this](const Row& r) { std::visit([&](auto f) { Assign(target->*f, r); }, kFields.at(r[0])); }},
        {"expect", [this](const Row& r) {
             std::visit([&](auto f) { auto want = target->*f; Assign(want, r); EXPECT_EQ(target->*f, want); },
                        kFields.at(r[0]));
         }},
        {"keep-as", [this](const Row& r) { Named(r[0]).s = *target; }},
        // The position and size the main window applies, as its half of the settings say.
        {"startup", [this](const Row& r) {
             const Settings s = MainWindowHalf(dir.path());
             EXPECT_EQ(std::pair(s.RememberWindowPosition, s.RememberWindowSize), std::pair(r[0] == "1", r[1] == "1"));
         }},
        {"as", [this](const Row& r) {
             target = r[0] == "settings" ? &settings
                      : r[0] == "disk"   ? &(disk = LoadAllSettings(dir.path()))
                      : r[0] == "main"   ? &(disk = MainWindowHalf(dir.path()))
                                         : &Named(r[0]).s;
         }},
        {"snapshot", [this](const Row&) { snapshot = *target; }},
        {"back-to-snapshot", [this](const Row&) { *target = snapshot; }},
        {"only-changed", [this](const Row& r) {
             Settings want = snapshot;
             for (const std::string& name : r.cells) {
                 std::visit([&](auto f) { want.*f = target->*f; }, kFields.at(name));
             }
             EXPECT_TRUE(*target == want);
         }},
        // "-" answers nothing.
        {"answers", [this](const Row& r) {
             for (const std::string& a : r.cells) {
                 a == "-" ? void() : ui.confirmAnswers.push_back(a == "yes");
             }
         }},
        {"beeps", [this](const Row& r) { EXPECT_EQ(ui.beeps, r.Int(0)); }},
        // What the user was told first, asked or shown, holds the text; nothing for none.
        {"told", [this](const Row& r) {
             const std::string told = ui.questions.empty() ? (ui.messages.empty() ? "" : ui.messages.front())
                                                           : ui.questions.front().text;
             EXPECT_NE(told.find(r.Sjis(0)), std::string::npos) << SjisToUtf8(told);
             EXPECT_EQ(told.empty(), r[0].empty());
             EXPECT_LE(ui.messages.size() + ui.questions.size(), 1U);
         }},
        {"clear-ui", [this](const Row&) { ui.Clear(); }},
        {"events", [this](const Row& r) { EXPECT_EQ(ui.events, Cells(r)); }},
        {"messages", [this](const Row& r) { EXPECT_EQ(ui.messages, Cells(r)); }},
        {"status", [this](const Row& r) { EXPECT_EQ(ui.statusTexts, Cells(r)); }},
        {"question", [this](const Row& r) {
             ASSERT_EQ(ui.questions.size(), 1U);
             EXPECT_EQ(ui.questions[0].text, r.Sjis(0));
             EXPECT_EQ(ui.questions[0].title, r.cells.size() > 1 ? r.Sjis(1) : ui.questions[0].title);
         }},
        {"result", [this](const Row& r) { EXPECT_EQ(result, r.cells.empty() ? "" : r.Sjis(0)); }},
        {"listed", [this](const Row& r) { EXPECT_EQ(listed, Cells(r)); }},

        // The settings file, and programs writing it.
        {"ini", [this](const Row& r) { test::WriteBytes(SettingsFilePath(dir.path()), r.Sjis(0)); }},
        {"ini-from", [this](const Row& r) { test::WriteBytes(SettingsFilePath(dir.path()), test::GoldenInput(r[0], r[1])); }},
        {"ini-append", [this](const Row& r) {
             test::WriteBytes(SettingsFilePath(dir.path()), test::ReadBytes(SettingsFilePath(dir.path())) + r.Sjis(0));
         }},
        // What the loader cannot use in the file, told with its line.
        {"problems", [this](const Row& r) {
             EXPECT_EQ(SettingsProblems(Profile(SettingsFilePath(dir.path())), SettingsFilePath(dir.path())), Cells(r));
         }},
        {"ini-lacks", [this](const Row& r) {
             EXPECT_EQ(test::ReadBytes(SettingsFilePath(dir.path())).find(r[0]), std::string::npos) << r[0];
         }},
        {"ini-ends-with", [this](const Row& r) { EXPECT_TRUE(test::ReadBytes(SettingsFilePath(dir.path())).ends_with(r[0])) << r[0]; }},
        // The text, after the second cell's where there is one.
        {"ini-has", [this](const Row& r) {
             const std::string ini = test::ReadBytes(SettingsFilePath(dir.path()));
             EXPECT_NE(ini.find(r.Sjis(0), r.cells.size() > 1 ? ini.find(r.Sjis(1)) : 0), std::string::npos) << r[0];
         }},
        {"ini-kept", [this](const Row&) { fileBefore = test::ReadBytes(SettingsFilePath(dir.path())); }},
        // As kept, but for the cells' pairs of texts, each the first of its kind.
        {"ini-as-kept", [this](const Row& r) {
             std::string expected = fileBefore;
             for (std::size_t i = 0; i + 1 < r.cells.size(); i += 2) {
                 expected.replace(expected.find(r.Sjis(i)), r.Sjis(i).size(), r.Sjis(i + 1));
             }
             EXPECT_EQ(test::ReadBytes(SettingsFilePath(dir.path())), expected);
         }},
        // The halves saved as the program saves them; "refused" into a
        // folder that is not there.
        {"save-dialog", [this](const Row& r) {
             const fs::path ini = r.cells.empty() ? SettingsFilePath(dir.path()) : dir.path() / "gone" / "Kiteml.ini";
             EXPECT_EQ(SaveDialogSettings(ini, SignaturePath(dir.path()), *target).ok(), r.cells.empty());
         }},
        {"save-main", [this](const Row& r) {
             const fs::path ini = r.cells.empty() ? SettingsFilePath(dir.path()) : dir.path() / "gone" / "Kiteml.ini";
             EXPECT_EQ(SaveMainWindowSettings(ini, *target).ok(), r.cells.empty());
         }},
        {"signature-file", [this](const Row& r) { test::WriteBytes(SignaturePath(dir.path()), r.Sjis(0)); }},
        {"signature-file-is", [this](const Row& r) {
             const fs::path signature = SignaturePath(dir.path());
             EXPECT_EQ(fs::exists(signature) ? std::optional(test::ReadBytes(signature)) : std::nullopt,
                       r.cells.empty() ? std::nullopt : std::optional(r.Sjis(0)));
         }},
        {"read", [this](const Row& r) {
             Writer& w = Named(r[0]);
             w.file.LoadMainWindowHalf(w.s);
             (void)w.file.LoadDialogHalf(w.s);
         }},
        {"save", [this](const Row& r) {
             EXPECT_TRUE(Named(r[0]).file.Save(Named(r[0]).s, r[1] == "dialog" ? SettingsHalf::Dialog : SettingsHalf::MainWindow).ok());
         }},
        // The second saves while the first holds the lock: it waits, and
        // writes nothing until the first lets go.
        {"save-while-held", [this](const Row& r) {
             Writer& holder = Named(r[0]);
             Writer& saver = Named(r[1]);
             ASSERT_EQ(holder.file.Hold(), std::nullopt);
             const std::string before = test::ReadBytes(SettingsFilePath(dir.path()));
             std::thread saving([&] { EXPECT_TRUE(saver.file.Save(saver.s, SettingsHalf::Dialog).ok()); });
             std::this_thread::sleep_for(std::chrono::milliseconds(300));
             EXPECT_EQ(test::ReadBytes(SettingsFilePath(dir.path())), before);
             holder.file.Release();
             saving.join();
         }},
        {"reload", [this](const Row& r) { EXPECT_EQ(Named(r[0]).file.Reload(Named(r[0]).s), r[1] == "1"); }},

        // Files and the history folder's records.
        {"file", [this](const Row& r) {
             fs::create_directories((dir.path() / r[0]).parent_path());
             (void)dir.Write(r[0], r.Sjis(1));
         }},
        {"mode", [this](const Row& r) { fs::permissions(dir.path() / r[0], fs::perms(std::stoi(r[1], nullptr, 8))); }},
        {"skip-as-root", [](const Row&) { if (::geteuid() == 0) { GTEST_SKIP() << "root writes anywhere"; } }},
        {"write-record", [this](const Row& r) {
             HistoryRecord record;
             record.messageId = "20260605064213.0000002A_me@example.jp";
             // A value in the field the second cell names.
             if (r.cells.size() > 2) {
                 const std::string& f = r[1];
                 f == "X-ktml-Attachments"
                     ? void(record.attachments = {r[2]})
                     : void((f == "To" ? record.to : f == "Subject" ? record.subject : f == "X-ktml-Server" ? record.server : record.resultText) = r[2]);
             }
             const HistoryWriteResult w = WriteHistoryRecord(dir.path() / r[0], record);
             result = w.ok ? "written" : w.error;
         }},
        {"history", [this](const Row& r) { history.emplace(dir.path() / r[0]); }},
        {"history-load", [this](const Row& r) { Answer([&] { return history->Load(ui, r[0] == "beep"); }, "loaded"); }},
        {"history-delete", [this](const Row& r) { Answer([&] { return history->DeleteOne(r.Int(0), ui, false); }, "deleted"); }},
        {"history-clear", [this](const Row&) {
             std::vector<fs::path> left;
             Answer([&] { return history->Clear(ui, false, &left); }, "cleared");
             result += " " + std::to_string(left.size()) + " left";
         }},
        {"history-items", [this](const Row& r) { EXPECT_EQ(history->Items().size(), static_cast<std::size_t>(r.Int(0))); }},
        {"filter-items", [this](const Row& r) { EXPECT_EQ(history->FilterItems().size(), static_cast<std::size_t>(r.Int(0))); }},
        {"message-has", [this](const Row& r) { EXPECT_NE(ui.messages.at(r.Int(0)).find(r.Sjis(1)), std::string::npos) << r[1]; }},
        {"status-has", [this](const Row& r) { EXPECT_NE(ui.statusTexts.at(r.Int(0)).find(r.Sjis(1)), std::string::npos) << r[1]; }},
        {"remove-file", [this](const Row& r) { fs::remove(dir.path() / r[0]); }},
        {"folder", [this](const Row& r) { fs::create_directories(dir.path() / r[0]); }},
        {"entries", [this](const Row& r) {
             const fs::path folder = dir.path() / r[0];
             EXPECT_EQ(fs::exists(folder) ? std::distance(fs::directory_iterator(folder), {}) : 0, r.Int(1));
         }},
        {"file-bytes", [this](const Row& r) { (void)dir.Write(r[0], r[1]); }},
        {"history-files", [this](const Row& r) {
             listed.clear();
             for (const fs::path& p : ListHistoryFiles(dir.path() / r[0])) {
                 listed.push_back(p.filename().string());
             }
         }},
        {"first-line", [this](const Row& r) { result = ReadFirstLine(dir.path() / r[0]).value_or("<none>"); }},
        {"undecodable", [this](const Row& r) { result = UndecodableSjisNames(r[0]); }},
        {"history-date", [this](const Row& r) { result = HistoryDate(r[0]); }},
        {"result-text", [this](const Row& r) { result = ResultText(r.Int(0)); }},
        {"error-text", [this](const Row& r) { result = ErrorMessageText(r.Int(0)); }},
        // The list as a record holds it, and read back for a resend.
        {"comma-text", [this](const Row& r) { listed = SplitCommaText(result = CommaText(Cells(r))); }},

        // "ends": the ends taken as single-byte.
        {"shift-sequences", [this](const Row& r) { result = std::to_string(CountShiftSequences(r.Sjis(0), r[1] == "ends")); }},
        {"pop3-encode", [this](const Row& r) { result = EncodePop3Password(r[0]); }},
        {"pop3-decode", [this](const Row& r) { result = TryDecodePop3Password(r[0]).value_or("<none>"); }},

        // The data folder: no cell, no option; an empty cell, an empty one.
        {"env", [this](const Row& r) { env[r[0]] = r[1]; }},
        {"program-dir", [this](const Row& r) { programDir = r.cells.empty() ? std::nullopt : std::optional<fs::path>(r[0]); }},
        {"program-files", [this](const Row& r) { programFiles = r.cells; }},
        {"resolve", [this](const Row& r) {
             DataDirProbe probe;
             probe.getEnv = [this](const char* name) { return env.contains(name) ? std::optional(env.at(name)) : std::nullopt; };
             probe.programDir = [this] { return programDir; };
             probe.exists = [this](const fs::path& path) { return std::ranges::count(programFiles, path.string()) > 0; };
             probe.createDirs = [this](const fs::path& made) { created.push_back(made.string()); return true; };
             result = ResolveDataDir(r.cells.empty() ? std::nullopt : std::optional<fs::path>(r[0]), probe).string();
         }},
        // The folders made since the last look.
        {"created", [this](const Row& r) { EXPECT_EQ(std::exchange(created, {}), r.cells); }},
        // The result the option made absolute, and made.
        {"result-in-cwd", [this](const Row& r) {
             EXPECT_EQ(result, (fs::current_path() / r[0]).lexically_normal().string());
             EXPECT_EQ(created, Lines{result});
         }},

        // A split of type, fixed length, limit, body (and sender), the ends
        // taken as single-byte: its parts, and the steps it shows.
        {"split", [this](const Row& r) {
             const std::string body = r.Sjis(3), from = r.cells.size() > 4 ? r[4] : "";
             const SplitInputs in{.body = body, .subject = {}, .from = from, .type = TerminalTypeFromNumber(r.Int(0)),
                                  .types = {}, .fixedLength = r.Int(1), .maxLength = r.Int(2)};
             splitSteps.clear();
             listed = SplitMessage(in, [this](const std::string& step) { splitSteps.push_back(step); }).parts;
         }},
        {"split-step", [this](const Row& r) { EXPECT_EQ(splitSteps.at(r.Int(0)), r.Sjis(1)); }},
        {"split-steps", [this](const Row& r) { EXPECT_EQ(splitSteps.size(), static_cast<std::size_t>(r.Int(0))); }},
        {"part-size", [this](const Row& r) { EXPECT_EQ(listed.at(r.Int(0)).size(), static_cast<std::size_t>(r.Int(1))); }},

        // Quoted-printable in pieces of one part: all it wrote, and its column.
        {"qp-encode", [this](const Row& r) { qp.Encode(r[0], result); }},
        {"qp-column", [this](const Row& r) { EXPECT_EQ(qp.Column(), r.Int(0)); }},
        {"qp-reset", [this](const Row&) { qp.Reset(); }},

        // Drafts: what is none, the leftovers of killed writes, the run's
        // marker ("unended": the previous run did not end normally).
        {"parse-draft", [this](const Row& r) { result = ParseDraft(r[0]) ? "draft" : "none"; }},
        {"draft-leftovers", [this](const Row&) { result = std::to_string(RemoveDraftLeftovers(dir.path())); }},
        {"begin-run", [this](const Row&) { result = BeginRun(dir.path()) ? "unended" : "first"; }},
        {"end-run", [this](const Row&) { EndRun(dir.path()); }},
        {"exists", [this](const Row& r) { EXPECT_EQ(fs::exists(dir.path() / r[0]), r[1] == "yes") << r[0]; }},

        // A settings file read and written by sections and keys.
        {"profile", [this](const Row&) { profile.emplace(dir.path() / "p.ini"); }},
        {"profile-string", [this](const Row& r) { result = profile->ReadString(r.Sjis(0), r.Sjis(1), r.Sjis(2)); }},
        {"profile-int", [this](const Row& r) { result = std::to_string(profile->ReadInt(r.Sjis(0), r.Sjis(1), r.Int(2))); }},
        {"profile-bool", [this](const Row& r) { result = profile->ReadBool(r[0], r[1], r[2] == "true") ? "true" : "false"; }},
        {"profile-has", [this](const Row& r) { result = profile->HasKey(r[0], r[1]) ? "yes" : "no"; }},
        {"profile-section", [this](const Row& r) {
             listed.clear();
             for (const auto& [key, value] : profile->SectionValues(r[0])) {
                 listed.push_back(key + "=" + value);
             }
         }},
        {"profile-write", [this](const Row& r) { profile->WriteString(r[0], r[1], r.Sjis(2)); }},
        {"profile-save", [this](const Row&) { EXPECT_TRUE(profile->Save().ok()); }},

        // Texts the send run makes, and the lines it reads.
        {"envelope-address", [this](const Row& r) { result = IsSafeEnvelopeAddress(r[0]) ? "1" : "0"; }},
        {"control-byte", [this](const Row& r) { result = HasControlByte(r[0], r.cells.size() > 1) ? "yes" : "no"; }},
        {"recipient-name", [this](const Row& r) { result = SplitRecipient(r[0]).name; }},
        {"reply-line", [this](const Row& r) {
             const std::optional<ReplyLine> got = ParseReplyLine(r[0]);
             result = got ? std::to_string(got->code) + (got->last ? " last" : " more") : "-";
         }},
        {"winsock-error", [this](const Row& r) {
             EXPECT_EQ(TKWinSockError(r.Int(0)).Code, r.Int(0));
             result = TKWinSockError(r.Int(0)).Message;
         }},
        {"feed", [this](const Row& r) { listed = replies.Feed(r[0]); }},
        {"feed-overflowed", [this](const Row& r) {
             EXPECT_TRUE(replies.Overflowed());
             EXPECT_EQ(replies.Pending().size(), static_cast<std::size_t>(r.Int(0)));
         }},
        {"feed-clear", [this](const Row&) { replies.Clear(); }},
        {"detect-encoding", [this](const Row& r) {
             const std::uint8_t e = DetectEncoding((dir.path() / r[0]).string());
             result = e == kEncodingPlainText ? "plain" : e == kEncodingBase64 ? "base64" : std::to_string(e);
         }},
        {"fold-header", [this](const Row& r) { listed = FoldHeaderLine(r[0]); }},
        {"split-sender", [this](const Row& r) { listed = {SplitSender(r[0]).from, SplitSender(r[0]).replyTo}; }},
        {"run-subject", [this](const Row& r) { result = RunSubject(TerminalTypeFromNumber(r.Int(0)), r[1], r.Sjis(2)); }},
        {"mail-headers", [this](const Row& r) { listed = MailHeaders(r[0], r[1]); }},
        {"mail-date", [this](const Row& r) {
             result = MailDate({r.Int(0), r.Int(1), r.Int(2), r.Int(3), r.Int(4), r.Int(5), r.Int(6)});
         }},
        {"outside-jis", [this](const Row& r) { listed = CharactersOutsideJis(r.Sjis(0)); }},
        {"longest-line", [this](const Row& r) { result = std::to_string(LongestLine(r.Sjis(0))); }},
        {"longest-wire-line", [this](const Row& r) { result = std::to_string(LongestWireLine(r.Sjis(0))); }},
        // The refusal of the check named first, or "-".
        {"send-check", [this](const Row& r) {
             const TerminalType type = r[1].empty() ? TerminalType::Unspecified : TerminalTypeFromNumber(r.Int(1));
             const std::string first = r.Sjis(2), second = r.Sjis(3), third = r.Sjis(4);
             const Lines attachments = r[5].empty() ? Lines{} : Lines{r.Sjis(5)};
             const std::optional<Refusal> refusal =
                 r[0] == "text"        ? CheckMessageText(first, second, {})
                 : r[0] == "part"      ? CheckPartLines({"ok", first})
                 : r[0] == "recipient" ? CheckRecipient({first, type, second, third})
                 : r[0] == "mail"      ? CheckMailValues({first, type, "", second}, third, attachments)
                                       : CheckCommandValues(first, second);
             result = refusal ? refusal->message : "-";
         }},

        // The text tools and the texts the commands put into the body.
        {"quoted-lines", [this](const Row& r) { result = QuotedLines(r.Sjis(0)); }},
        {"body-lines", [this](const Row& r) { result = BodyLines(r.Sjis(0)); }},
        {"date-insert", [this](const Row& r) {
             LocalTime at;
             ASSERT_EQ(std::sscanf(r[1].c_str(), "%d-%d-%d %d:%d:%d", &at.year, &at.month, &at.day, &at.hour, &at.minute,
                                   &at.second), 6);
             result = Sj(DateInsertText(at, QLocale(QString::fromStdString(r[0]))).toStdString());
         }},
        // "V" writes vertically; letters diet with those options.
        {"text-tool", [this](const Row& r) { result = r[0] == "V" ? VerticalText(r.Sjis(1)) : DietText(r.Sjis(1), DietTicks(r[0])); }},
        {"diet-at-start", [](const Row& r) { EXPECT_EQ(DietOptions{}, DietTicks(r[0])); }},
        // The rows, each ended by a bar.
        {"preview-rows", [this](const Row& r) {
             result.clear();
             for (const std::string& row : PreviewRows(r.Sjis(1), r.Int(0))) {
                 result += row + "|";
             }
         }},
        {"preview-text", [this](const Row& r) { result = PreviewText(r.Sjis(1), r.Int(0)); }},

        // Passwords in the keyring.
        {"keyring-fails", [this](const Row& r) {
             keyring.failure = r[0] == "refused" ? SecretError::Refused : r[0] == "no-service" ? SecretError::NoService : SecretError::None;
         }},
        {"keep-in-keyring", [this](const Row& r) {
             result = editor.KeepInKeyring(Which(r[0]), r[1] == "1", Keyring(r, 2), file).value_or("");
         }},
        {"login-password", [this](const Row& r) { result = PasswordForLogin(*target, Which(r[0]), Keyring(r, 1), ui); }},
        {"keyring-holds", [this](const Row& r) {
             EXPECT_EQ(keyring.secrets.at(r[0]), r[1]);
         }},
        {"keyring-empty", [this](const Row&) { EXPECT_TRUE(keyring.secrets.empty()); }},
        {"keyring-forgets", [this](const Row&) { keyring.secrets.clear(); }},

        // The settings dialog: the sender list, the lengths of the types.
        {"sender-entry", [this](const Row& r) { sender.SetSender(r[0]); }},
        {"opened", [this](const Row&) { editor.Opened(); }},
        {"up", [this](const Row&) { editor.MoveSender(-1); }},
        {"down", [this](const Row&) { editor.MoveSender(+1); }},
        {"click-sender", [this](const Row& r) { editor.ClickSender(r.Int(0)); }},
        {"type-sender", [this](const Row& r) { editor.TypeSenderEntry(r.cells.empty() ? "" : r[0]); }},
        {"add-sender", [this](const Row&) { editor.AddSender(); }},
        {"delete-sender", [this](const Row&) { editor.DeleteSender(); }},
        {"senders", [this](const Row& r) {
             EXPECT_EQ(Shown(settings.SenderList, editor.SenderSelection(), sender.Sender()), r[0]);
         }},
        {"length-type", [this](const Row& r) { editor.ChooseLengthType(TerminalTypeFromNumber(r.Int(0))); }},
        {"length", [this](const Row& r) { editor.SetLengthOfChosenType(r.Int(0)); }},
        {"shown-length", [this](const Row& r) {
             EXPECT_EQ(std::pair(editor.LengthType(), editor.LengthOfChosenType()),
                       std::pair(TerminalTypeFromNumber(r.Int(0)), r.Int(1)));
         }},
        {"restore-defaults", [this](const Row&) { editor.RestoreSystemDefaults(); }},
        {"load", [this](const Row&) { EXPECT_TRUE(editor.Load(file)); }},

        // The address book's page.
        {"page-shown", [this](const Row&) { book.PageShown(); }},
        {"fill", [this](const Row& r) {
             book.SetName(r.Sjis(0));
             book.SetAddress(r.Sjis(1));
             book.SetPin(r.Sjis(2));
             book.SetType(TerminalTypeFromNumber(r.Int(3)));
         }},
        {"name", [this](const Row& r) { book.SetName(r.cells.empty() ? "" : r.Sjis(0)); }},
        {"address", [this](const Row& r) { book.SetAddress(r.Sjis(0)); }},
        {"pin", [this](const Row& r) { book.SetPin(r.Sjis(0)); }},
        {"sender-check", [this](const Row& r) { book.SenderCheckClicked(r[0] == "1"); }},
        {"sender-index", [this](const Row& r) { book.SetSenderIndex(r.Int(0)); }},
        {"select", [this](const Row& r) { book.Select(r.Int(0)); }},
        {"load-entry", [this](const Row& r) { book.Select(r.Int(0)); book.ShowEntry(); }},
        {"add", [this](const Row&) { book.AddEntry(); }},
        {"replace", [this](const Row&) { book.ReplaceEntry(); }},
        {"delete", [this](const Row&) { book.DeleteEntry(); }},
        {"new", [this](const Row&) { book.NewEntry(); }},
        {"move", [this](const Row& r) { book.MoveEntry(r.Int(0)); }},
        {"sorted", [this](const Row& r) { book.SetSorted(r[0] == "1"); }},
        {"book", [this](const Row& r) {
             EXPECT_EQ(std::pair(settings.AddressBook, book.SelectedIndex()), std::pair(Cells(r, 1), r.Int(0)));
         }},
        {"fields", [this](const Row& r) {
             EXPECT_EQ(book.Fields(), (AddressBookFields{r.Sjis(0), r.Sjis(1), r.Sjis(2), TerminalTypeFromNumber(r.Int(3)),
                                                         r[4] == "1", r.Int(5)}));
         }},
        {"sender-items", [this](const Row& r) { EXPECT_EQ(book.SenderItems(), Cells(r)); }},
        {"drag", [this](const Row& r) {
             book.DragBegin(r.Int(0));
             book.DragOver(r.Int(1));
             EXPECT_EQ(book.SelectedIndex(), r.Int(1));
             book.Drop(r.Int(2));
         }},
        {"type-of-entry", [this](const Row& r) {
             EXPECT_EQ(book.TerminalTypeOfEntry(r.Int(0)), TerminalTypeFromNumber(r.Int(1)));
         }},

        // The page of defined types, and their rules on the settings alone.
        {"write", [this](const Row& r) {
             DefinedType d = Changed(types.Fields(), r, 1);
             d.name = r.Sjis(0);
             types.SetFields(d);
         }},
        {"type-add", [this](const Row&) { types.Add(); }},
        {"type-add-many", [this](const Row& r) {
             for (std::int32_t i = 0; i < r.Int(1); ++i) {
                 types.SetFields(DefinedType{.name = r[0] + std::to_string(i)});
                 types.Add();
             }
         }},
        {"type-replace", [this](const Row&) { types.Replace(); }},
        {"type-delete", [this](const Row&) { types.Delete(); }},
        {"type-new", [this](const Row&) { types.New(); }},
        {"type-select", [this](const Row& r) { types.Select(r.Int(0)); }},
        {"types-shown", [this](const Row& r) { EXPECT_EQ(Shown(types.Names(), types.SelectedIndex(), types.Fields().name), r.Sjis(0)); }},
        {"defined", [this](const Row& r) {
             Lines numbers;
             for (const DefinedType& d : target->DefinedTypes) {
                 numbers.push_back(std::to_string(TerminalTypeNumber(d.type)) + "=" + d.name);
             }
             EXPECT_EQ(numbers, Cells(r));
         }},
        {"defined-type", [this](const Row& r) {
             if (const DefinedType* d = Defined(r.Int(0))) {
                 EXPECT_EQ(Changed(*d, r, 1), *d);
             }
         }},
        {"change-type", [this](const Row& r) {
             if (DefinedType* d = Defined(r.Int(0))) {
                 *d = Changed(*d, r, 1);
             }
         }},
        {"drop-type", [this](const Row& r) { std::erase(settings.DefinedTypes, *Defined(r.Int(0))); }},
        {"rules-add", [this](const Row& r) {
             const std::optional<TerminalType> t = AddDefinedType(settings, Changed(DefinedType{.name = r.Sjis(0)}, r, 1));
             result = t ? std::to_string(TerminalTypeNumber(*t)) : "refused";
         }},
        {"rules-replace", [this](const Row& r) {
             Answer([&] { return ReplaceDefinedType(settings, Changed(DefinedType{.name = r.Sjis(0)}, r, 1)); }, "replaced");
         }},
        {"rules-delete", [this](const Row& r) {
             Answer([&] { return DeleteDefinedType(*target, TerminalTypeFromNumber(r.Int(0))); }, "deleted");
         }},
        {"problem", [this](const Row& r) {
             result = DefinedTypeProblem(*target, Changed(DefinedType{.name = r.Sjis(0)}, r, 1)).value_or("");
         }},
        {"users-of", [this](const Row& r) {
             result = std::to_string(EntriesUsingType(settings, TerminalTypeFromNumber(r.Int(0))).size());
         }},

        // The message being composed: its check list, type and count.
        {"check-list", [this](const Row& r) { composer.SetCheckListLines(Cells(r)); }},
        {"tick", [this](const Row& r) { composer.SetTick(r.Int(0), r[1] == "1"); }},
        {"ticks", [this](const Row& r) { for (const std::string& i : r.cells) { composer.SetTick(std::stoi(i), true); } }},
        {"tick-all", [this](const Row& r) { composer.TickAll(r[0] == "1"); }},
        {"highlight", [this](const Row& r) { composer.SetHighlighted(r.Int(0)); }},
        {"survey", [this](const Row&) { composer.SurveyHighlighted(); }},
        {"direct-mode", [this](const Row&) { composer.SelectDirectMode(); }},
        {"book-mode", [this](const Row&) { composer.SelectAddressBookMode(); }},
        {"type-box", [this](const Row& r) { composer.TypeBoxChanged(TerminalTypeFromNumber(r.Int(0))); }},
        {"clear-type-box", [this](const Row&) { composer.ClearTypeBox(); }},
        {"follow-types", [this](const Row& r) { EXPECT_EQ(composer.FollowDefinedTypes(), r[0] == "1"); }},
        {"body", [this](const Row& r) { composer.SetBody({r.cells.empty() ? "" : r.Sjis(0), CodePoints(r, 1)}); }},
        {"subject", [this](const Row& r) { composer.SetSubject({r.cells.empty() ? "" : r.Sjis(0), CodePoints(r, 1)}); }},
        {"unmappable", [this](const Row& r) { EXPECT_EQ(composer.UnmappableCharacters(), CodePoints(r, 0)); }},
        {"unmappable-text", [this](const Row& r) { result = UnmappableStatusText(Area(r[0]), CodePoints(r, 1)); }},
        {"save-body", [this](const Row& r) { Answer([&] { return text.SaveBody(dir.path() / r[0]); }, "saved"); }},
        {"open-body", [this](const Row& r) {
             const std::optional<BodyFileText> read = text.OpenBody(dir.path() / r[0]);
             result = read ? read->text : "<none>";
         }},
        // The body file's bytes, or a folder in its place.
        {"body-file", [this](const Row& r) {
             r[0] == "<folder>" ? void(fs::create_directories(dir.path() / "body")) : void(dir.Write("body", r[0]));
         }},
        // Opened: the text, as UTF-8 where the second cell is 1; "<none>", nothing.
        {"body-read", [this](const Row& r) {
             const std::optional<BodyFileText> read = text.OpenBody(dir.path() / "body");
             ASSERT_EQ(read.has_value(), r[0] != "<none>");
             if (read) {
                 EXPECT_EQ(std::pair(read->text, read->utf8), std::pair(r[1] == "1" ? r[0] : r.Sjis(0), r[1] == "1"));
             }
         }},
        // The diet with the dialog's defaults, or "diet-none", or vertical
        // writing, on a body given in UTF-8.
        {"text-command", [this](const Row& r) {
             const SjisEncoding body = Utf8ToSjis(r[1]);
             composer.SetBody({body.bytes, body.unmappable});
             result = (r[0] == "vertical" ? text.VerticalWriting() : text.Diet(r[0] == "diet" ? DietOptions{} : DietTicks(""))).value_or("<none>");
         }},
        {"file-is", [this](const Row& r) { EXPECT_EQ(test::ReadBytes(dir.path() / r[0]), r.Sjis(1)); }},
        {"pin-text", [this](const Row& r) { composer.SetPin({r.Sjis(0), {}}); }},
        {"direct-address", [this](const Row& r) { composer.SetDirectAddress({r.Sjis(0), {}}); }},
        {"sender", [this](const Row& r) { composer.SetSender(r[0]); }},
        {"sender-changed", [this](const Row& r) { composer.SenderChanged(r[0]); }},
        {"attach", [this](const Row& r) { composer.SetAttachments({dir.Write(r[0], r[1]).native()}); }},
        {"from-check", [this](const Row& r) { composer.FromCheckClicked(r[0] == "1"); }},
        {"clear", [this](const Row&) { Answer([&] { return text.Clear(); }, "cleared"); }},
        {"texts", [this](const Row& r) {
             const Lines shown = {composer.Text(Area("body")).bytes, composer.Text(Area("subject")).bytes,
                                  composer.Text(Area("pin")).bytes, composer.Text(Area("address")).bytes};
             EXPECT_EQ(shown, Cells(r));
         }},
        {"attachments", [this](const Row& r) { EXPECT_EQ(composer.Attachments().size(), static_cast<std::size_t>(r.Int(0))); }},
        {"from-checked", [this](const Row& r) { EXPECT_EQ(composer.FromChecked(), r[0] == "1"); }},
        {"sender-is", [this](const Row& r) { EXPECT_EQ(composer.Sender(), r[0]); }},
        {"signature", [this](const Row& r) {
             const Signature which = r[0] == "A" ? Signature::A : r[0] == "B" ? Signature::B : Signature::Automatic;
             result = (text.SignatureEnabled(which) ? "on:" : "off:") + text.SignatureText(which);
         }},
        {"line-answers", [this](const Row& r) {
             for (const std::string& a : r.cells) {
                 ui.lineAnswers.push_back(a == "<none>" ? std::nullopt : std::optional(r.Sjis(0)));
             }
         }},
        {"telephone-link", [this](const Row&) { result = text.AskTelephoneLink().value_or("<none>"); }},
        {"entry-address", [this](const Row& r) { result = EntryAddressText(book, r.Int(0)).value_or("<none>"); }},
        {"close-while-sending", [this](const Row& r) { Answer([&] { return MainWindowCloseQuery(r[0] == "1", settings, ui); }, "closes"); }},
        {"check-list-is", [this](const Row& r) {
             Lines shown;
             for (const CheckListEntry& e : composer.CheckList()) {
                 shown.push_back(e.line + (e.ticked ? " ticked" : ""));
             }
             EXPECT_EQ(shown, Cells(r));
         }},
        {"list-drag", [this](const Row& r) {
             composer.DragBegin(r.Int(0));
             composer.DragOver(r.Int(1));
             EXPECT_EQ(composer.Highlighted(), r.Int(1));
             composer.Drop(r.Int(2));
         }},
        {"ticked", [this](const Row& r) {
             Lines ticked;
             for (const CheckListEntry& e : composer.CheckList()) {
                 ticked.insert(ticked.end(), e.ticked, e.line);
             }
             EXPECT_EQ(ticked, Cells(r));
         }},
        {"check-list-lines", [this](const Row& r) { EXPECT_EQ(composer.CheckListLines(), Cells(r)); }},
        {"last-status", [this](const Row& r) { EXPECT_EQ(ui.statusTexts.empty() ? "" : ui.statusTexts.back(), r.Sjis(0)); }},
        // The limit and fixed length the current type brings: its own, or
        // MaxLen and FixLen for none.
        {"limits-of-the-type", [this](const Row&) {
             const TerminalType t = composer.TypeState().CurrentTerminalType;
             const bool none = t == TerminalType::Unspecified;
             EXPECT_EQ(composer.Display().limit, none ? settings.MaxLen : settings.TypeMaxLengths[TypeSlot(t)]);
             EXPECT_EQ(composer.TypeState().CurrentFixedLength, none ? settings.FixLen : TerminalTypeRow(t).rules.fixedCount);
         }},
        {"highlighted", [this](const Row& r) { EXPECT_EQ(composer.Highlighted(), r.Int(0)); }},
        {"current-type", [this](const Row& r) {
             EXPECT_EQ(composer.TypeState().CurrentTerminalType, TerminalTypeFromNumber(r.Int(0)));
         }},
        {"type-box-is", [this](const Row& r) { EXPECT_EQ(composer.TypeBox(), TerminalTypeFromNumber(r.Int(0))); }},
        {"fixed", [this](const Row& r) { EXPECT_EQ(composer.TypeState().CurrentFixedLength, r.Int(0)); }},
        {"areas", [this](const Row& r) { EXPECT_EQ(composer.Areas(), Areas(r[0])); }},
        {"display", [this](const Row& r) {
             EXPECT_EQ(composer.Display(), (CountDisplay{r.Int(0), r.Int(1), r[2] == "over", r.Int(3), r.Int(4)}));
         }},
        {"count", [this](const Row& r) { EXPECT_EQ(composer.Display().count, r.Int(0)); }},
        {"count-kept", [this](const Row&) { countBefore = composer.Display().count; }},
        {"count-as-kept", [this](const Row&) { EXPECT_EQ(composer.Display().count, countBefore); }},
        {"recount", [this](const Row& r) { EXPECT_EQ(composer.Recount(), r[0] == "1"); }},
        {"limit", [this](const Row& r) { EXPECT_EQ(composer.Display().limit, r.Int(0)); }},
    };
};

TEST_P(Walk, Steps)
{
    test::RunWalk("unit", GetParam(), verbs);
}

INSTANTIATE_TEST_SUITE_P(Walks, Walk, ::testing::ValuesIn(test::WalkNames("unit")), test::GoldenRowName());

} // namespace
} // namespace kitemail::unit_walks
