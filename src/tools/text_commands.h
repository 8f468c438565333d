#pragma once
// The main window's commands on the message: clearing it, the texts that go
// into the body (quoted paste, signatures, telephone link, an address-book
// entry), and reading and writing the body as a file. No widgets: the
// window asks for a text, puts it in at the caret and shows the composer
// again after a clear.

#include "tools/text_tools.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kitemail {

class AddressBookEditor;
class MessageComposer;
class UserInterface;
struct Settings;

// Quoted paste: every line of text (TextLines) after "> ", empty lines too,
// each ended by CR LF. Code page 932 and UTF-8 alike.
[[nodiscard]] std::string QuotedLines(std::string_view text);

// A text file as the body: lines ended by CR LF whatever ended them in the
// file, without a break after the last one. Code page 932 and UTF-8 alike.
[[nodiscard]] std::string BodyLines(std::string_view text);

enum class Signature { A, B, Automatic };

// A body read from a file: code page 932, or UTF-8 when the user chose to
// read a UTF-8 file as such. Its characters that Shift_JIS cannot hold then
// stay as they are, for the count to name and the user to replace.
struct BodyFileText {
    std::string text;
    bool utf8 = false;
};

class TextCommands {
public:
    // Settings are read at each use, never copied.
    TextCommands(Settings& settings, MessageComposer& composer, UserInterface& ui);

    // "クリア": asks first under ConfirmClear (No changes nothing), then
    // empties the message, sets the type box to DefaultType without applying
    // it, refills the check list without ticks, chooses the first sender,
    // puts the automatic signature in under AutoInsertSignature and
    // recounts. True when the message was cleared: the window then shows the
    // composer and the settings again.
    bool Clear();

    // The text a signature item puts in; A and B are disabled while empty.
    [[nodiscard]] const std::string& SignatureText(Signature which) const noexcept;
    [[nodiscard]] bool SignatureEnabled(Signature which) const noexcept;

    // "電話番号リンク(&T)...": asks for the number; "tel:" and the number
    // exactly as typed, nullopt on Cancel.
    [[nodiscard]] std::optional<std::string> AskTelephoneLink();

    // "本文を開く(&O)...": the file as body lines; nullopt when nothing was
    // read, the user having been told why or having declined.
    [[nodiscard]] std::optional<BodyFileText> OpenBody(const std::filesystem::path& path);
    // "本文を保存(&S)...": the body, each line ended by CR LF, replacing the
    // file whole. False when nothing was written; the user was told why.
    bool SaveBody(const std::filesystem::path& path);

    // The diet dialog's OK: the body after the options. nullopt when it
    // refuses (no option, an empty body, or characters Shift_JIS cannot
    // hold, which would come back as placeholders): the exclamation beep,
    // whatever BeepOnMessage says, and a message; the body stays.
    [[nodiscard]] std::optional<std::string> Diet(const DietOptions& options);
    // "縦書き化！": the body in vertical writing; nullopt, the user told why,
    // while it holds characters Shift_JIS cannot hold.
    [[nodiscard]] std::optional<std::string> VerticalWriting();

private:
    void Tell(const std::string& message);

    Settings& settings_;
    MessageComposer& composer_;
    UserInterface& ui_;
};

// "本文中に挿入": the entry at index, selected and loaded in the
// address-book editor, as its address, " <", its name and ">"; nullopt
// when there is no such entry.
[[nodiscard]] std::optional<std::string> EntryAddressText(AddressBookEditor& editor, std::int32_t index);

} // namespace kitemail
