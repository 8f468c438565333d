#include "accounting/terminal_type.h"

#include "platform/text_codec.h"

namespace kitemail {
namespace {

using enum TerminalType;

// Attachments, three ways. Every type that offers them (areas) sends them,
// but the services count them differently: EZweb@mail takes attachments and
// does not count them against its limit, so its row has no attachment term;
// the unspecified type counts the file sizes alone. i-mode(FOMA) counts
// them, so it sends them too.
//
// Availability order: subject, PIN, attachments, animation mode, note label.
constexpr TerminalTypeInfo kUnspecifiedRow{
    .type = Unspecified, .typeBoxText = "", .mainBoxText = "", .statusText = "方式を特定出来ません",
    .surveyText = "端末を特定出来ません", .rules = {.defaultLimit = 384, .fixedCount = 55,
    .areas = {true, true, true, false, true}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::WhenCountShiftBytes, AttachmentTerm::Sizes, true},
    .sendsAttachments = true, .pinAsSubject = false, .noaAllowance = 0}};

constexpr std::array<TerminalTypeInfo, kTerminalTypeCount> kTypes{{
    {.type = VodafoneLongMail, .typeBoxText = "vodafone ロングメール", .mainBoxText = "vodafone ロングメール",
     .statusText = "vodafone ロングメール 方式を選択", .surveyText = "vodafone Vodafone live! 対応端末（ロングメール）",
     .rules = {.defaultLimit = 6000, .fixedCount = 55, .areas = {true, false, true, true, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::CappedAt40, ShiftBytes::Always, AttachmentTerm::SizesAndPaths, true}, .sendsAttachments = true, .pinAsSubject = false,
     .noaAllowance = 0}},
    {.type = VodafoneFreeRange, .typeBoxText = "vodafone 無料範囲", .mainBoxText = "vodafone 無料範囲",
     .statusText = "vodafone 無料範囲 方式を選択", .surveyText = "vodafone Vodafone live! 対応端末（無料範囲）",
     .rules = {.defaultLimit = 384, .fixedCount = 55, .areas = {true, false, false, false, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::CappedAt40, ShiftBytes::Always, AttachmentTerm::None, true}, .sendsAttachments = false, .pinAsSubject = false,
     .noaAllowance = 0}},
    {.type = SkyWalker, .typeBoxText = "SkyWalker・SkyMessage", .mainBoxText = "SkyWalker・SkyMessage",
     .statusText = "SkyWalker 方式を選択", .surveyText = "vodafone SkyWalker/Tu-Ka SkyMessage 対応端末",
     .rules = {.defaultLimit = 384, .fixedCount = 7, .areas = {false, true, false, false, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::None, ShiftBytes::Always, AttachmentTerm::None, true}, .sendsAttachments = false, .pinAsSubject = true,
     .noaAllowance = 0}},
    {.type = IMode, .typeBoxText = "i-mode", .mainBoxText = "i-mode", .statusText = "i-mode Mail 方式を選択",
     .surveyText = "NTT DoCoMo i-mode 対応端末", .rules = {.defaultLimit = 500, .fixedCount = 0,
     .areas = {true, false, false, false, false}, .counts = {SenderTerm::None, SubjectTerm::None, ShiftBytes::Never, AttachmentTerm::None, true}, .sendsAttachments = false,
     .pinAsSubject = false, .noaAllowance = 0}},
    {.type = HLink, .typeBoxText = "H\"Link", .mainBoxText = "H\"Link", .statusText = "H\"Link 方式を選択",
     .surveyText = "DDI Pocket H\"Link 対応端末", .rules = {.defaultLimit = 20000, .fixedCount = 0,
     .areas = {true, false, true, false, false}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::SizesAndPaths, true},
     .sendsAttachments = true, .pinAsSubject = false, .noaAllowance = 0}},
    {.type = Cmail, .typeBoxText = "Cmail（EZ無料範囲）", .mainBoxText = "Cmail（EZ無料範囲）",
     .statusText = "Cmail 方式を選択", .surveyText = "Cmail 対応端末", .rules = {.defaultLimit = 100, .fixedCount = 13,
     .areas = {true, false, false, false, false}, .counts = {SenderTerm::UpToAt, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None, true}, .sendsAttachments = false,
     .pinAsSubject = false, .noaAllowance = 0}},
    {.type = EZwebMail, .typeBoxText = "EZweb@mail", .mainBoxText = "EZweb@mail", .statusText = "EZweb@mail 方式を選択",
     .surveyText = "EZweb@mail 対応端末", .rules = {.defaultLimit = 10000, .fixedCount = 30,
     .areas = {true, false, true, false, false}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None, true}, .sendsAttachments = true,
     .pinAsSubject = false, .noaAllowance = 0}},
    {.type = EZweb, .typeBoxText = "EZweb", .mainBoxText = "EZweb", .statusText = "EZweb 方式を選択",
     .surveyText = "EZweb 対応端末", .rules = {.defaultLimit = 5000, .fixedCount = 30,
     .areas = {true, false, false, false, false}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None, true}, .sendsAttachments = false,
     .pinAsSubject = false, .noaAllowance = 0}},
    // Super mail carries Quillet animations (.noa files): a mail with one
    // of them goes out whole unless it is 3000 bytes or more over the limit.
    {.type = VodafoneSuperMail, .typeBoxText = "vodafone スーパーメール", .mainBoxText = "vodafone スーパーメール",
     .statusText = "vodafone スーパーメール 方式を選択", .surveyText = "vodafone Vodafone 対応端末（スーパーメール）",
     .rules = {.defaultLimit = 12000, .fixedCount = 48, .areas = {true, false, true, true, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::CappedAt40, ShiftBytes::Always, AttachmentTerm::SizesAndPaths, true}, .sendsAttachments = true, .pinAsSubject = false,
     .noaAllowance = 3000}},
    {.type = IModeFoma, .typeBoxText = "i-mode(FOMA)", .mainBoxText = "i-mode(foma)",
     .statusText = "i-mode(FOMA) 方式を選択", .surveyText = "i-mode 対応端末（FOMA）", .rules = {.defaultLimit = 5000,
     .fixedCount = 0, .areas = {true, false, true, false, false}, .counts = {SenderTerm::None, SubjectTerm::None, ShiftBytes::Never, AttachmentTerm::SizesAndPaths, true},
     .sendsAttachments = true, .pinAsSubject = false, .noaAllowance = 0}},
}};

constexpr bool RowsInTypeOrder()
{
    for (std::size_t i = 0; i < kTypes.size(); ++i) {
        if (TypeSlot(kTypes[i].type) != i || kTerminalTypes[i] != kTypes[i].type) {
            return false;
        }
    }
    return true;
}
static_assert(RowsInTypeOrder());

} // namespace

bool IsTerminalType(TerminalType t) noexcept
{
    const std::int32_t n = TerminalTypeNumber(t);
    return n >= 0 && n < kTerminalTypeCount;
}

TerminalType KnownOrUnspecified(TerminalType t) noexcept
{
    return IsTerminalType(t) ? t : Unspecified;
}

const TerminalTypeInfo& TerminalTypeRow(TerminalType t) noexcept
{
    return IsTerminalType(t) ? kTypes[TypeSlot(t)] : kUnspecifiedRow;
}

std::string TypeBoxText(TerminalType t) { return Sj(TerminalTypeRow(t).typeBoxText); }
std::string MainTypeBoxText(TerminalType t) { return Sj(TerminalTypeRow(t).mainBoxText); }
std::string SelectionStatusText(TerminalType t) { return Sj(TerminalTypeRow(t).statusText); }
std::string SurveyText(TerminalType t) { return Sj(TerminalTypeRow(t).surveyText); }

TypeLimits DefaultTypeMaxLengths() noexcept
{
    TypeLimits limits{};
    for (std::size_t i = 0; i < limits.size(); ++i) {
        limits[i] = kTypes[i].rules.defaultLimit;
    }
    return limits;
}

TypeRules RulesOf(const DefinedType& d) noexcept
{
    return {.defaultLimit = d.limit,
            .fixedCount = d.fixedCount,
            .areas = {d.areas.subject, d.areas.pin, d.areas.attachments, d.areas.animationMode, false},
            .counts = d.counts,
            .sendsAttachments = d.areas.attachments,
            .pinAsSubject = d.areas.pin && !d.areas.subject,
            .noaAllowance = 0};
}

const DefinedType* TerminalTypes::Defined(TerminalType t) const noexcept
{
    if (!IsDefinedTypeNumber(t)) {
        return nullptr;
    }
    for (const DefinedType& d : defined_) {
        if (d.type == t) {
            return &d;
        }
    }
    return nullptr;
}

bool TerminalTypes::Knows(TerminalType t) const noexcept
{
    return IsTerminalType(t) || Defined(t) != nullptr;
}

TerminalType TerminalTypes::KnownOrUnspecified(TerminalType t) const noexcept
{
    return Knows(t) ? t : Unspecified;
}

TypeRules TerminalTypes::Rules(TerminalType t) const noexcept
{
    const DefinedType* d = Defined(t);
    return d != nullptr ? RulesOf(*d) : TerminalTypeRow(t).rules;
}

std::vector<TerminalType> TerminalTypes::BoxOrder() const
{
    std::vector<TerminalType> order(kTerminalTypes.begin(), kTerminalTypes.end());
    for (const DefinedType& d : defined_) {
        order.push_back(d.type);
    }
    return order;
}

int TerminalTypes::BoxIndexOf(TerminalType t) const noexcept
{
    if (IsTerminalType(t)) {
        return TerminalTypeNumber(t);
    }
    for (std::size_t i = 0; i < defined_.size(); ++i) {
        if (defined_[i].type == t && IsDefinedTypeNumber(t)) {
            return kTerminalTypeCount + static_cast<int>(i);
        }
    }
    return -1;
}

TerminalType TerminalTypes::TypeAtBoxIndex(int index) const noexcept
{
    if (index >= 0 && index < kTerminalTypeCount) {
        return TerminalTypeFromNumber(index);
    }
    const auto i = static_cast<std::size_t>(index - kTerminalTypeCount);
    return index >= kTerminalTypeCount && i < defined_.size() ? KnownOrUnspecified(defined_[i].type) : Unspecified;
}

std::string TerminalTypes::BoxText(TerminalType t) const
{
    const DefinedType* d = Defined(t);
    return d != nullptr ? d->name : TypeBoxText(t);
}

std::string TerminalTypes::MainBoxText(TerminalType t) const
{
    const DefinedType* d = Defined(t);
    return d != nullptr ? d->name : MainTypeBoxText(t);
}

std::string TerminalTypes::StatusText(TerminalType t) const
{
    const DefinedType* d = Defined(t);
    return d != nullptr ? d->name + Sj(" 方式を選択") : SelectionStatusText(t);
}

std::string TerminalTypes::SurveyText(TerminalType t) const
{
    const DefinedType* d = Defined(t);
    return d != nullptr ? d->name + Sj(" 対応端末") : kitemail::SurveyText(t);
}

std::int32_t TerminalTypes::Limit(TerminalType t, const TypeLimits& limits, std::int32_t maxLen) const noexcept
{
    if (IsTerminalType(t)) {
        return limits[TypeSlot(t)];
    }
    const DefinedType* d = Defined(t);
    return d != nullptr ? d->limit : maxLen;
}

bool TerminalTypeState::ApplyTerminalType(TerminalType t, std::int32_t maxLen, std::int32_t fixLen,
                                          const TerminalTypes& types) noexcept
{
    if (t != Unspecified && !types.Knows(t)) {
        return false;
    }
    CurrentRules = types.Rules(t);
    CurrentMaxLength = types.Limit(t, TypeMaxLengths, maxLen);
    CurrentFixedLength = t == Unspecified ? fixLen : CurrentRules.fixedCount;
    CurrentTerminalType = t;
    return true;
}

TerminalType DeriveTypeFromTicks(std::span<const TerminalType> tickedTypes) noexcept
{
    TerminalType reference = Unspecified;
    for (const TerminalType t : tickedTypes) {
        if (reference == Unspecified) {
            reference = t;
        } else if (t != reference) {
            return Unspecified;
        }
    }
    return reference;
}

} // namespace kitemail
