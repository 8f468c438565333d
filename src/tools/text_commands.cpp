#include "tools/text_commands.h"

#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "platform/user_interface.h"
#include "send/message_composer.h"
#include "settings/address_book.h"
#include "settings/settings.h"
#include "text/text_lines.h"
#include "tools/text_tools.h"

#include <algorithm>

namespace kitemail {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr mode_t kBodyFileMode = 0644;

// The user's characters that Shift_JIS cannot hold, named, and what to do
// before `then`.
std::string UnmappableInBody(const std::vector<char32_t>& characters, std::string_view then)
{
    return Sj("本文にShift_JISで表せない文字があります（") + CodePointNames(characters) +
           Sj("）。別の文字に置き換えてから") + Sj(then) + Sj("してください。");
}

bool HasHighBytes(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace

std::string QuotedLines(std::string_view text)
{
    std::string out;
    for (const std::string_view line : TextLines(text)) {
        out += "> ";
        out += line;
        out += kCrLf;
    }
    return out;
}

std::string BodyLines(std::string_view text)
{
    const std::vector<std::string_view> lines = TextLines(text);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += i > 0 ? kCrLf : std::string_view();
        out += lines[i];
    }
    return out;
}

std::optional<std::string> EntryAddressText(AddressBookEditor& editor, std::int32_t index)
{
    editor.Select(index);
    editor.ShowEntry();
    if (!editor.EntryLoaded()) {
        return std::nullopt;
    }
    const AddressBookFields& f = editor.Fields();
    return f.address + " <" + f.name + ">";
}

TextCommands::TextCommands(Settings& settings, MessageComposer& composer, UserInterface& ui)
    : settings_(settings), composer_(composer), ui_(ui)
{
}

void TextCommands::Tell(const std::string& message)
{
    Notify(ui_, settings_.BeepOnMessage, message);
}

bool TextCommands::Clear()
{
    if (settings_.ConfirmClear && !Ask(ui_, settings_.BeepOnMessage, Sj("クリアしますか？"))) {
        return false;
    }
    ui_.SetStatusText({});
    composer_.Empty();
    composer_.SetTypeBox(settings_.DefaultType);
    composer_.SetCheckListLines(settings_.AddressBook);
    composer_.SelectFirstSender();
    if (settings_.AutoInsertSignature) {
        composer_.SetBody({settings_.SignatureText, {}});
    } else {
        composer_.Recount();
    }
    return true;
}

const std::string& TextCommands::SignatureText(Signature which) const noexcept
{
    switch (which) {
    case Signature::A: return settings_.SignatureA;
    case Signature::B: return settings_.SignatureB;
    case Signature::Automatic: break;
    }
    return settings_.SignatureText;
}

bool TextCommands::SignatureEnabled(Signature which) const noexcept
{
    return which == Signature::Automatic || !SignatureText(which).empty();
}

std::optional<std::string> TextCommands::AskTelephoneLink()
{
    std::optional<std::string> number = ui_.PromptLine(Sj("電話番号リンク"), Sj("電話番号を入力して下さい。"), "090");
    if (!number) {
        return std::nullopt;
    }
    return "tel:" + *number;
}

std::optional<BodyFileText> TextCommands::OpenBody(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        // A folder or a device has no text; a pipe would wait for a writer.
        Tell(DisplayPath(path) + Sj(" を読めません: 通常のファイルではありません"));
        return std::nullopt;
    }
    std::string reason;
    std::optional<std::string> bytes = ReadWholeFile(path, reason);
    if (!bytes) {
        Tell(DisplayPath(path) + Sj(" を読めません: ") + Utf8ToSjis(reason.empty() ? "not found" : reason).bytes);
        return std::nullopt;
    }
    std::string_view text = *bytes;
    const bool bom = text.starts_with(kUtf8Bom);
    if (bom) {
        text.remove_prefix(kUtf8Bom.size());
    }
    if (!bom && (!HasHighBytes(text) || (!IsUtf8Text(text) && IsSjisText(text)))) {
        return BodyFileText{BodyLines(text), false};
    }
    if (!IsUtf8Text(text)) {
        Tell(DisplayPath(path) + Sj(" はShift_JISのテキストでもUTF-8のテキストでもないため、読み込めません。"));
        return std::nullopt;
    }
    // Read as Shift_JIS, a UTF-8 text would turn into other characters
    // without a word; the user decides, knowing what will need replacing.
    std::string question = DisplayPath(path) + Sj(" はUTF-8のテキストです。UTF-8として読み込みますか？");
    if (const SjisEncoding sjis = Utf8ToSjis(text); !sjis.ok()) {
        question += "\r\n" + Sj("Shift_JISで表せない文字があります（") + CodePointNames(sjis.unmappable) +
                    Sj("）。送信前に別の文字に置き換えてください。");
    }
    if (!ui_.Confirm(question, Sj("確認"))) {
        return std::nullopt;
    }
    return BodyFileText{BodyLines(text), true};
}

bool TextCommands::SaveBody(const std::filesystem::path& path)
{
    const ComposedText& body = composer_.Text(TextArea::Body);
    if (!body.unmappable.empty()) {
        // Its placeholders would be written in their place.
        Tell(CannotWriteMessage(path) + "\r\n" + UnmappableInBody(body.unmappable, "保存"));
        return false;
    }
    std::string bytes = body.bytes;
    if (!bytes.empty()) {
        bytes += kCrLf;
    }
    if (std::optional<std::string> reason = WriteFileAtomically(path, bytes, kBodyFileMode)) {
        Tell(CannotWriteMessage(path) + "\r\n" + Utf8ToSjis(*reason).bytes);
        return false;
    }
    return true;
}

std::optional<std::string> TextCommands::Diet(const DietOptions& options)
{
    const ComposedText& body = composer_.Text(TextArea::Body);
    std::string refusal = DietRefusal(body.bytes, options);
    if (refusal.empty() && !body.unmappable.empty()) {
        refusal = UnmappableInBody(body.unmappable, "実行");
    }
    if (!refusal.empty()) {
        ui_.Beep();
        ui_.ShowMessage(refusal);
        return std::nullopt;
    }
    return DietText(body.bytes, options);
}

std::optional<std::string> TextCommands::VerticalWriting()
{
    const ComposedText& body = composer_.Text(TextArea::Body);
    if (!body.unmappable.empty()) {
        Tell(UnmappableInBody(body.unmappable, "実行"));
        return std::nullopt;
    }
    return VerticalText(body.bytes);
}

} // namespace kitemail
