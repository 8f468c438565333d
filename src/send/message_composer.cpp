#include "send/message_composer.h"

#include "accounting/counter.h"
#include "platform/text_codec.h"
#include "send/recipient.h"
#include "settings/address_book.h"
#include "settings/settings.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace kitemail {
namespace {

const char* AreaName(TextArea area) noexcept
{
    switch (area) {
    case TextArea::Body: return "本文";
    case TextArea::Subject: return "題名";
    case TextArea::Pin: return "PINコード";
    case TextArea::DirectAddress: return "E-mailアドレス";
    }
    return "";
}

// Enough names to find them in the text; the rest are summed up.
constexpr std::size_t kNamedCharacters = 5;

} // namespace

std::string UnmappableStatusText(TextArea area, const std::vector<char32_t>& characters)
{
    if (characters.empty()) {
        return {};
    }
    std::vector<char32_t> distinct;
    for (const char32_t c : characters) {
        if (std::find(distinct.begin(), distinct.end(), c) == distinct.end()) {
            distinct.push_back(c);
        }
    }
    std::string names;
    for (std::size_t i = 0; i < distinct.size() && i < kNamedCharacters; ++i) {
        if (i > 0) {
            names += ' ';
        }
        names += CodePointName(distinct[i]);
    }
    if (distinct.size() > kNamedCharacters) {
        names += Sj(" ほか");
    }
    return Sj(AreaName(area)) + Sj("：Shift_JISにない文字があります（") + names +
           Sj("）。送信前に別の文字に置き換えてください。");
}

MessageComposer::MessageComposer(Settings& settings, UserInterface& ui) : settings_(settings), ui_(ui) {}

// ---------------------------------------------------------------- texts

template <typename Composer>
auto& MessageComposer::FieldOf(Composer& self, TextArea area) noexcept
{
    switch (area) {
    case TextArea::Body: return self.body_;
    case TextArea::Subject: return self.subject_;
    case TextArea::Pin: return self.pin_;
    case TextArea::DirectAddress: return self.address_;
    }
    return self.body_;
}

const ComposedText& MessageComposer::Text(TextArea area) const noexcept
{
    return FieldOf(*this, area);
}

void MessageComposer::SetText(TextArea area, ComposedText text)
{
    FieldOf(*this, area) = std::move(text);
    ReportUnmappable(area);
}

void MessageComposer::ReportUnmappable(TextArea area)
{
    const ComposedText& text = Text(area);
    if (!text.unmappable.empty()) {
        ui_.SetStatusText(UnmappableStatusText(area, text.unmappable));
    }
}

void MessageComposer::SetBody(ComposedText text)
{
    SetText(TextArea::Body, std::move(text));
    Recount();
}

void MessageComposer::SetSubject(ComposedText text)
{
    SetText(TextArea::Subject, std::move(text));
    Recount();
}

void MessageComposer::SetPin(ComposedText text)
{
    // The PIN is no part of the count.
    SetText(TextArea::Pin, std::move(text));
}

void MessageComposer::SetDirectAddress(ComposedText text)
{
    SetText(TextArea::DirectAddress, std::move(text));
    Recount();
}

std::vector<char32_t> MessageComposer::UnmappableCharacters() const
{
    std::vector<char32_t> all;
    for (const ComposedText* t : {&body_, &subject_, &pin_, &address_}) {
        all.insert(all.end(), t->unmappable.begin(), t->unmappable.end());
    }
    return all;
}

void MessageComposer::Empty()
{
    for (ComposedText* t : {&body_, &subject_, &pin_, &address_}) {
        *t = {};
    }
    attachments_.clear();
    checkList_.clear();
    highlighted_ = -1;
    dragStart_ = -1;
    fromChecked_ = false;
}

void MessageComposer::SetAttachments(std::vector<std::string> paths)
{
    attachments_ = std::move(paths);
    Recount();
}

// ---------------------------------------------------------------- type

TerminalTypeState MessageComposer::TypeStateFor(TerminalType t) const
{
    TerminalTypeState state;
    state.TypeMaxLengths = settings_.TypeMaxLengths;
    (void)state.ApplyTerminalType(t, settings_.MaxLen, settings_.FixLen, settings_.Types());
    return state;
}

bool MessageComposer::ApplyTerminalType(TerminalType t)
{
    // The limits are whatever the settings hold at this moment.
    type_.TypeMaxLengths = settings_.TypeMaxLengths;
    return type_.ApplyTerminalType(t, settings_.MaxLen, settings_.FixLen, settings_.Types());
}

void MessageComposer::TypeBoxChanged(TerminalType type)
{
    SetTypeBox(type);
    ApplyTerminalType(typeBox_);
    Recount();
}

void MessageComposer::ClearTypeBox()
{
    TypeBoxChanged(TerminalType::Unspecified);
}

void MessageComposer::SetTypeBox(TerminalType type) noexcept
{
    typeBox_ = settings_.Types().KnownOrUnspecified(type);
}

TerminalTypes MessageComposer::Types() const noexcept
{
    return settings_.Types();
}

bool MessageComposer::FollowDefinedTypes()
{
    const TerminalTypes types = settings_.Types();
    typeBox_ = types.KnownOrUnspecified(typeBox_);
    const TerminalType current = type_.CurrentTerminalType;
    if (!IsDefinedTypeNumber(current)) {
        return false; // the ten's limits wait for the next application
    }
    if (types.Knows(current)) {
        const TypeRules now = types.Rules(current);
        const TypeRules& applied = type_.CurrentRules;
        if (now.fixedCount == applied.fixedCount && now.areas == applied.areas && now.counts == applied.counts
            && now.sendsAttachments == applied.sendsAttachments && now.pinAsSubject == applied.pinAsSubject) {
            return false;
        }
    }
    if (mode_ == RecipientMode::Direct) {
        ApplyTerminalType(typeBox_);
        Recount();
    } else {
        ApplyTickedType();
    }
    return true;
}

// ---------------------------------------------------------------- modes

void MessageComposer::SelectDirectMode()
{
    ui_.SetStatusText(Sj("直接入力：Emailアドレスを入力してください。"));
    mode_ = RecipientMode::Direct;
    ApplyTerminalType(typeBox_);
    Recount();
}

void MessageComposer::SelectAddressBookMode()
{
    ui_.SetStatusText(Sj("アドレス帳：アドレス帳から選択してください。"));
    mode_ = RecipientMode::AddressBook;
    ApplyTickedType();
    Recount();
}

// ---------------------------------------------------------------- check list

bool MessageComposer::ValidEntry(std::int32_t index) const noexcept
{
    return index >= 0 && static_cast<std::size_t>(index) < checkList_.size();
}

std::vector<std::string> MessageComposer::CheckListLines() const
{
    std::vector<std::string> lines;
    lines.reserve(checkList_.size());
    for (const CheckListEntry& e : checkList_) {
        lines.push_back(e.line);
    }
    return lines;
}

void MessageComposer::SetCheckListLines(std::vector<std::string> lines)
{
    checkList_.clear();
    checkList_.reserve(lines.size());
    for (std::string& line : lines) {
        checkList_.push_back({std::move(line), false});
    }
    highlighted_ = -1;
    dragStart_ = -1;
}

void MessageComposer::FollowCheckListLines(std::vector<std::string> lines)
{
    std::map<std::string, int> ticked;
    for (const CheckListEntry& e : checkList_) {
        ticked[e.line] += e.ticked ? 1 : 0;
    }
    SetCheckListLines(std::move(lines));
    for (CheckListEntry& e : checkList_) {
        if (const auto it = ticked.find(e.line); it != ticked.end() && it->second > 0) {
            e.ticked = true;
            --it->second;
        }
    }
    ApplyTickedType();
}

void MessageComposer::SetTick(std::int32_t index, bool ticked)
{
    if (!ValidEntry(index)) {
        return;
    }
    checkList_[static_cast<std::size_t>(index)].ticked = ticked;
    ApplyTickedType();
}

void MessageComposer::SetEntryTypeLookup(std::function<TerminalType(std::int32_t index)> lookup)
{
    entryTypeLookup_ = std::move(lookup);
}

TerminalType MessageComposer::EntryType(std::int32_t index) const
{
    if (entryTypeLookup_) {
        return entryTypeLookup_(index);
    }
    return TerminalTypeOfLine(checkList_[static_cast<std::size_t>(index)].line, settings_.Types());
}

void MessageComposer::ApplyTickedType()
{
    std::vector<TerminalType> tickedTypes;
    for (std::size_t i = 0; i < checkList_.size(); ++i) {
        if (checkList_[i].ticked) {
            tickedTypes.push_back(EntryType(static_cast<std::int32_t>(i)));
        }
    }
    const TerminalType t = DeriveTypeFromTicks(tickedTypes);
    ApplyTerminalType(t);
    Recount();
    ui_.SetStatusText(settings_.Types().StatusText(t));
}

void MessageComposer::TickAll(bool ticked)
{
    for (CheckListEntry& e : checkList_) {
        e.ticked = ticked;
    }
}

void MessageComposer::SetHighlighted(std::int32_t index) noexcept
{
    highlighted_ = ValidEntry(index) ? index : -1;
}

void MessageComposer::SurveyHighlighted()
{
    if (!ValidEntry(highlighted_)) {
        return;
    }
    Notify(ui_, settings_.BeepOnMessage, settings_.Types().SurveyText(EntryType(highlighted_)));
}

void MessageComposer::DragBegin(std::int32_t index) noexcept
{
    dragStart_ = ValidEntry(index) ? index : -1;
}

void MessageComposer::DragOver(std::int32_t index) noexcept
{
    SetHighlighted(index);
}

void MessageComposer::Drop(std::int32_t index)
{
    const std::int32_t target = ValidEntry(index) ? index : -1;
    if (target != -1 && dragStart_ != -1 && target != dragStart_) {
        // The entry keeps its tick: the tick belongs to the recipient, not
        // to the row it happened to be in.
        const auto from = checkList_.begin() + dragStart_;
        const auto to = checkList_.begin() + target;
        if (dragStart_ < target) {
            std::rotate(from, from + 1, to + 1);
        } else {
            std::rotate(to, from, from + 1);
        }
    }
    SetHighlighted(target);
    settings_.AddressBook = CheckListLines();
}

// ---------------------------------------------------------------- sender

void MessageComposer::SelectFirstSender()
{
    sender_ = FirstSender(settings_);
}

void MessageComposer::SenderChanged(std::string senderText)
{
    sender_ = std::move(senderText);
    Recount();
}

void MessageComposer::FromCheckClicked(bool nowChecked)
{
    fromChecked_ = nowChecked;
    ui_.SetStatusText(nowChecked ? Sj("ここでの設定優先") : Sj("アドレス帳の設定優先"));
}

// ---------------------------------------------------------------- count

CountResult MessageComposer::CountFor(std::string_view sender, const TerminalTypeState& type) const
{
    CountInputs in;
    in.body = body_.bytes;
    in.subject = subject_.bytes;
    in.sender = sender;
    in.attachments = attachments_;
    in.type = type.CurrentTerminalType;
    in.types = settings_.Types();
    in.fixedLength = type.CurrentFixedLength;
    in.options.CountShiftBytes = settings_.CountShiftBytes;
    in.options.AssumeSingleByteAtEnds = settings_.AssumeSingleByteAtEnds;
    in.options.CountFinalLineBreakShift = settings_.CountFinalLineBreakShift;
    return CountMessageSize(in);
}

bool MessageComposer::Recount()
{
    CountResult result = CountFor(sender_, type_);
    if (!result.ok) {
        ui_.SetStatusText(result.error);
        return false;
    }
    display_.count = result.count;
    display_.limit = type_.CurrentMaxLength;
    display_.over = result.count > type_.CurrentMaxLength;
    display_.gaugeMax = std::max(type_.CurrentMaxLength, 0);
    display_.gaugeProgress = std::clamp(result.count, 0, display_.gaugeMax);
    terms_ = std::move(result.terms);
    return true;
}

std::size_t MessageComposer::FirstPartBodyBytes() const
{
    const std::string from = SplitSender(sender_).from;
    const std::string subject = RunSubject(type_.CurrentTerminalType, pin_.bytes, subject_.bytes, settings_.Types());
    return BodyBytesThatFit(SendSplitInputs(settings_, type_, body_.bytes, from, subject));
}

SplitResult MessageComposer::SplitForCurrentType() const
{
    const std::string from = SplitSender(sender_).from;
    const std::string subject = RunSubject(type_.CurrentTerminalType, pin_.bytes, subject_.bytes, settings_.Types());
    return SplitMessage(SendSplitInputs(settings_, type_, body_.bytes, from, subject));
}

} // namespace kitemail
