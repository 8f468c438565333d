#include "accounting/terminal_type.h"

#include "platform/text_codec.h"

namespace kitemail {
namespace {

// Availability order: subject, PIN, attachments, animation mode, note label.
constexpr TerminalTypeInfo kUnspecified{
    "", "", "方式を特定出来ません", "端末を特定出来ません", 384, 55, {true, true, true, false, true}};

constexpr std::array<TerminalTypeInfo, kTerminalTypeCount> kTypes{{
    {"vodafone ロングメール", "vodafone ロングメール", "vodafone ロングメール 方式を選択",
     "vodafone Vodafone live! 対応端末（ロングメール）", 6000, 55, {true, false, true, true, false}},
    {"vodafone 無料範囲", "vodafone 無料範囲", "vodafone 無料範囲 方式を選択",
     "vodafone Vodafone live! 対応端末（無料範囲）", 384, 55, {true, false, false, false, false}},
    {"SkyWalker・SkyMessage", "SkyWalker・SkyMessage", "SkyWalker 方式を選択",
     "vodafone SkyWalker/Tu-Ka SkyMessage 対応端末", 384, 7, {false, true, false, false, false}},
    {"i-mode", "i-mode", "i-mode Mail 方式を選択", "NTT DoCoMo i-mode 対応端末", 500, 0,
     {true, false, false, false, false}},
    {"H\"Link", "H\"Link", "H\"Link 方式を選択", "DDI Pocket H\"Link 対応端末", 20000, 0,
     {true, false, true, false, false}},
    {"Cmail（EZ無料範囲）", "Cmail（EZ無料範囲）", "Cmail 方式を選択", "Cmail 対応端末", 100, 13,
     {true, false, false, false, false}},
    {"EZweb@mail", "EZweb@mail", "EZweb@mail 方式を選択", "EZweb@mail 対応端末", 10000, 30,
     {true, false, true, false, false}},
    {"EZweb", "EZweb", "EZweb 方式を選択", "EZweb 対応端末", 5000, 30, {true, false, false, false, false}},
    {"vodafone スーパーメール", "vodafone スーパーメール", "vodafone スーパーメール 方式を選択",
     "vodafone Vodafone 対応端末（スーパーメール）", 12000, 48, {true, false, true, true, false}},
    {"i-mode(FOMA)", "i-mode(foma)", "i-mode(FOMA) 方式を選択", "i-mode 対応端末（FOMA）", 5000, 0,
     {true, false, true, false, false}},
}};

} // namespace

bool IsTerminalType(std::int32_t t) noexcept
{
    return t >= 0 && t < kTerminalTypeCount;
}

const TerminalTypeInfo& TerminalTypeRow(std::int32_t t) noexcept
{
    return IsTerminalType(t) ? kTypes[static_cast<std::size_t>(t)] : kUnspecified;
}

std::string TypeBoxText(std::int32_t t) { return Sj(TerminalTypeRow(t).typeBoxText); }
std::string MainTypeBoxText(std::int32_t t) { return Sj(TerminalTypeRow(t).mainBoxText); }
std::string SelectionStatusText(std::int32_t t) { return Sj(TerminalTypeRow(t).statusText); }
std::string SurveyText(std::int32_t t) { return Sj(TerminalTypeRow(t).surveyText); }

TypeLimits DefaultTypeMaxLengths() noexcept
{
    TypeLimits limits{};
    for (std::size_t i = 0; i < limits.size(); ++i) {
        limits[i] = kTypes[i].defaultLimit;
    }
    return limits;
}

bool TerminalTypeState::ApplyTerminalType(std::int32_t t, std::int32_t maxLen, std::int32_t fixLen) noexcept
{
    if (t != kUnspecifiedType && !IsTerminalType(t)) {
        return false;
    }
    CurrentMaxLength = IsTerminalType(t) ? TypeMaxLengths[static_cast<std::size_t>(t)] : maxLen;
    CurrentFixedLength = IsTerminalType(t) ? TerminalTypeRow(t).fixedCount : fixLen;
    CurrentTerminalType = t;
    return true;
}

std::int32_t DeriveTypeFromTicks(std::span<const std::int32_t> tickedTypes) noexcept
{
    std::int32_t reference = kUnspecifiedType;
    for (const std::int32_t t : tickedTypes) {
        if (reference == kUnspecifiedType) {
            reference = t;
        } else if (t != reference) {
            return kUnspecifiedType;
        }
    }
    return reference;
}

} // namespace kitemail
