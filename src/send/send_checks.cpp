#include "send/send_checks.h"

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "mail/mail_types.h"
#include "mail/outgoing_mail.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "text/text_lines.h"

#include <QList>

#include <algorithm>

namespace kitemail {
namespace {

std::size_t CharacterCount(std::string_view sjisText)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < sjisText.size(); ++n) {
        i += (sjis::IsLeadByte(sjisText[i]) && i + 1 < sjisText.size()) ? 2 : 1;
    }
    return n;
}

std::string UnmappableList(const std::vector<char32_t>& chars)
{
    std::string out;
    for (const char32_t c : chars) {
        if (!out.empty()) {
            out += ", ";
        }
        out += CodePointName(c);
    }
    return out;
}

// "髙 (U+9AD9), ..." for code page 932 characters.
std::string NamedCharacters(const std::vector<std::string>& chars)
{
    std::string out;
    for (const std::string& c : chars) {
        if (!out.empty()) {
            out += ", ";
        }
        out += c + " (" + CodePointName(DecodeSjis(c).toUcs4().value(0)) + ")";
    }
    return out;
}

Refusal LongLine()
{
    return {Sj("本文エラー：適切に改行してください。"), Sj("本文に991Byte以上の行が存在します。適切に改行してください。")};
}

// A value that would add a line (or, in an address, a parameter), or an
// address that is not one mailbox; field names it (UTF-8).
std::optional<Refusal> CheckValue(const std::string& field, std::string_view value, bool envelope)
{
    if (HasControlByte(value) || (envelope && value.find_first_of("<> ") != std::string_view::npos)) {
        return Refusal{Sj(field + "エラー：使えない文字を削除してください。"),
                       Sj(field + (envelope ? "に使えない文字（<、>、空白、制御文字）が含まれています。"
                                            : "に改行などの制御文字が含まれています。"))};
    }
    // An empty address is refused by its own check, with its own words.
    if (envelope && !value.empty() && !IsSafeEnvelopeAddress(value)) {
        return Refusal{Sj(field + "エラー：メールアドレスを1つだけ正しく入力してください。"),
                       Sj(field + "がメールアドレス1つの形になっていません（カンマ、2つ目の@などは使えません）。")};
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> CharactersOutsideJis(std::string_view sjis)
{
    std::vector<std::string> found;
    for (std::size_t i = 0; i < sjis.size();) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        if (!sjis::IsLeadByte(lead) || i + 1 >= sjis.size()) {
            ++i;
            continue;
        }
        std::string ch(sjis.substr(i, 2));
        if (lead >= 0xF0 && std::find(found.begin(), found.end(), ch) == found.end()) {
            found.push_back(std::move(ch));
        }
        i += 2;
    }
    return found;
}

std::size_t LongestLine(std::string_view body)
{
    std::size_t longest = 0;
    for (const std::string_view line : TextLines(body)) {
        longest = std::max(longest, line.size());
    }
    return longest;
}

std::size_t LongestWireLine(std::string_view body)
{
    return LongestLine(MailTextFor(body));
}

std::optional<Refusal> CheckMessageText(std::string_view body, std::string_view subject,
                                        const std::vector<char32_t>& unmappable)
{
    if (LongestLine(body) > kMaxBodyLineBytes || LongestWireLine(body) > kMaxWireLineBytes) {
        return LongLine();
    }
    if (subject.size() > kMaxSubjectBytes) {
        return Refusal{Sj("題名エラー：題名を4000Byte以下にしてください。"),
                       Sj("題名が4000Byteを超えています。4000Byte以下にしてください。")};
    }
    // Everything after it would be lost on its way to the server.
    if (body.find('\0') != std::string_view::npos) {
        return Refusal{Sj("本文エラー：NUL文字（0x00）を削除してください。"),
                       Sj("本文にNUL文字（0x00）が含まれています。削除してください。")};
    }
    // A character the code page cannot hold would go out as something else.
    if (!unmappable.empty()) {
        return Refusal{Sj("文字エラー：送信できない文字を置き換えてください。(") + UnmappableList(unmappable) + ")",
                       Sj("送信できない文字が含まれています: ") + UnmappableList(unmappable)};
    }
    // Vendor and user-defined characters have no 7-bit ISO-2022-JP form.
    std::vector<std::string> outside = CharactersOutsideJis(body);
    for (std::string& c : CharactersOutsideJis(subject)) {
        if (std::find(outside.begin(), outside.end(), c) == outside.end()) {
            outside.push_back(std::move(c));
        }
    }
    if (!outside.empty()) {
        const std::string list = NamedCharacters(outside);
        return Refusal{Sj("文字エラー：ISO-2022-JPで送れない文字を置き換えてください。(") + list + ")",
                       Sj("ISO-2022-JPで送れない文字が含まれています: ") + list};
    }
    return std::nullopt;
}

std::optional<Refusal> CheckPartLines(const std::vector<std::string>& parts)
{
    for (const std::string& part : parts) {
        if (LongestWireLine(part) > kMaxWireLineBytes) {
            return LongLine();
        }
    }
    return std::nullopt;
}

std::optional<Refusal> CheckPin(TerminalType type, std::string_view pin, const TerminalTypes& types)
{
    const std::size_t n = CharacterCount(pin);
    if (types.Rules(type).pinAsSubject && n != 0 && n != 4) {
        return Refusal{Sj("PINコードエラー：PINコードを正確に入力するか、削除してください。"),
                       Sj("PINコードが正しくありません。")};
    }
    return std::nullopt;
}

std::optional<Refusal> CheckRecipient(const Recipient& recipient, const TerminalTypes& types)
{
    if (recipient.address.empty()) {
        return Refusal{Sj("アドレスエラー：宛先を設定してください。"), Sj("宛先を設定してください。")};
    }
    return CheckPin(recipient.type, recipient.pin, types);
}

std::optional<Refusal> CheckCommandValues(std::string_view senderName, std::string_view server)
{
    if (auto r = CheckValue("差出人名", senderName, false)) {
        return r;
    }
    return CheckValue("SMTPサーバー", server, false);
}

std::optional<Refusal> CheckMailValues(const Recipient& recipient, std::string_view subject,
                                       const std::vector<std::string>& attachments, const TerminalTypes& types)
{
    const SenderParts sender = SplitSender(recipient.sender);
    const TypeRules rules = types.Rules(recipient.type);
    const bool pinAsSubject = rules.pinAsSubject;
    const std::optional<Refusal> refusals[] = {
        CheckValue("宛先アドレス", recipient.address, true),
        CheckValue("送信者アドレス", sender.from, true),
        CheckValue("返信先アドレス", sender.replyTo, false),
        CheckValue(pinAsSubject ? "PINコード" : "Subject", subject, false),
    };
    for (const auto& r : refusals) {
        if (r) {
            return r;
        }
    }
    if (!rules.sendsAttachments) {
        return std::nullopt;
    }
    for (const std::string& path : attachments) {
        if (HasControlByte(path)) {
            return Refusal{Sj("添付ファイル名エラー：使えない文字を削除してください。"),
                           Sj("添付ファイル名に改行などの制御文字が含まれています。")};
        }
        if (const std::string problem = AttachmentProblem(path); !problem.empty()) {
            return Refusal{Sj("添付ファイルエラー：") + problem, problem};
        }
    }
    return std::nullopt;
}

} // namespace kitemail
