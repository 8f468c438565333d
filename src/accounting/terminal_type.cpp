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
    .surveyText = "端末を特定出来ません", .defaultLimit = 384, .fixedCount = 55,
    .areas = {true, true, true, false, true}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::WhenCountShiftBytes, AttachmentTerm::Sizes},
    .sendsAttachments = true, .pinAsSubject = false, .noaAllowance = 0};

constexpr std::array<TerminalTypeInfo, kTerminalTypeCount> kTypes{{
    {.type = VodafoneLongMail, .typeBoxText = "vodafone ロングメール", .mainBoxText = "vodafone ロングメール",
     .statusText = "vodafone ロングメール 方式を選択", .surveyText = "vodafone Vodafone live! 対応端末（ロングメール）",
     .defaultLimit = 6000, .fixedCount = 55, .areas = {true, false, true, true, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::CappedAt40, ShiftBytes::Always, AttachmentTerm::SizesAndPaths}, .sendsAttachments = true, .pinAsSubject = false,
     .noaAllowance = 0},
    {.type = VodafoneFreeRange, .typeBoxText = "vodafone 無料範囲", .mainBoxText = "vodafone 無料範囲",
     .statusText = "vodafone 無料範囲 方式を選択", .surveyText = "vodafone Vodafone live! 対応端末（無料範囲）",
     .defaultLimit = 384, .fixedCount = 55, .areas = {true, false, false, false, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::CappedAt40, ShiftBytes::Always, AttachmentTerm::None}, .sendsAttachments = false, .pinAsSubject = false,
     .noaAllowance = 0},
    {.type = SkyWalker, .typeBoxText = "SkyWalker・SkyMessage", .mainBoxText = "SkyWalker・SkyMessage",
     .statusText = "SkyWalker 方式を選択", .surveyText = "vodafone SkyWalker/Tu-Ka SkyMessage 対応端末",
     .defaultLimit = 384, .fixedCount = 7, .areas = {false, true, false, false, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::None, ShiftBytes::Always, AttachmentTerm::None}, .sendsAttachments = false, .pinAsSubject = true,
     .noaAllowance = 0},
    {.type = IMode, .typeBoxText = "i-mode", .mainBoxText = "i-mode", .statusText = "i-mode Mail 方式を選択",
     .surveyText = "NTT DoCoMo i-mode 対応端末", .defaultLimit = 500, .fixedCount = 0,
     .areas = {true, false, false, false, false}, .counts = {SenderTerm::None, SubjectTerm::None, ShiftBytes::Never, AttachmentTerm::None}, .sendsAttachments = false,
     .pinAsSubject = false, .noaAllowance = 0},
    {.type = HLink, .typeBoxText = "H\"Link", .mainBoxText = "H\"Link", .statusText = "H\"Link 方式を選択",
     .surveyText = "DDI Pocket H\"Link 対応端末", .defaultLimit = 20000, .fixedCount = 0,
     .areas = {true, false, true, false, false}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::SizesAndPaths},
     .sendsAttachments = true, .pinAsSubject = false, .noaAllowance = 0},
    {.type = Cmail, .typeBoxText = "Cmail（EZ無料範囲）", .mainBoxText = "Cmail（EZ無料範囲）",
     .statusText = "Cmail 方式を選択", .surveyText = "Cmail 対応端末", .defaultLimit = 100, .fixedCount = 13,
     .areas = {true, false, false, false, false}, .counts = {SenderTerm::UpToAt, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None}, .sendsAttachments = false,
     .pinAsSubject = false, .noaAllowance = 0},
    {.type = EZwebMail, .typeBoxText = "EZweb@mail", .mainBoxText = "EZweb@mail", .statusText = "EZweb@mail 方式を選択",
     .surveyText = "EZweb@mail 対応端末", .defaultLimit = 10000, .fixedCount = 30,
     .areas = {true, false, true, false, false}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None}, .sendsAttachments = true,
     .pinAsSubject = false, .noaAllowance = 0},
    {.type = EZweb, .typeBoxText = "EZweb", .mainBoxText = "EZweb", .statusText = "EZweb 方式を選択",
     .surveyText = "EZweb 対応端末", .defaultLimit = 5000, .fixedCount = 30,
     .areas = {true, false, false, false, false}, .counts = {SenderTerm::Whole, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None}, .sendsAttachments = false,
     .pinAsSubject = false, .noaAllowance = 0},
    // Super mail carries Quillet animations (.noa files): a mail with one
    // of them goes out whole unless it is 3000 bytes or more over the limit.
    {.type = VodafoneSuperMail, .typeBoxText = "vodafone スーパーメール", .mainBoxText = "vodafone スーパーメール",
     .statusText = "vodafone スーパーメール 方式を選択", .surveyText = "vodafone Vodafone 対応端末（スーパーメール）",
     .defaultLimit = 12000, .fixedCount = 48, .areas = {true, false, true, true, false},
     .counts = {SenderTerm::CappedAt55, SubjectTerm::CappedAt40, ShiftBytes::Always, AttachmentTerm::SizesAndPaths}, .sendsAttachments = true, .pinAsSubject = false,
     .noaAllowance = 3000},
    {.type = IModeFoma, .typeBoxText = "i-mode(FOMA)", .mainBoxText = "i-mode(foma)",
     .statusText = "i-mode(FOMA) 方式を選択", .surveyText = "i-mode 対応端末（FOMA）", .defaultLimit = 5000,
     .fixedCount = 0, .areas = {true, false, true, false, false}, .counts = {SenderTerm::None, SubjectTerm::None, ShiftBytes::Never, AttachmentTerm::SizesAndPaths},
     .sendsAttachments = true, .pinAsSubject = false, .noaAllowance = 0},
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
        limits[i] = kTypes[i].defaultLimit;
    }
    return limits;
}

bool TerminalTypeState::ApplyTerminalType(TerminalType t, std::int32_t maxLen, std::int32_t fixLen) noexcept
{
    if (t != Unspecified && !IsTerminalType(t)) {
        return false;
    }
    CurrentMaxLength = IsTerminalType(t) ? TypeMaxLengths[TypeSlot(t)] : maxLen;
    CurrentFixedLength = IsTerminalType(t) ? TerminalTypeRow(t).fixedCount : fixLen;
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
