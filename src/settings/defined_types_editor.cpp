#include "settings/defined_types_editor.h"

#include "platform/text_codec.h"
#include "settings/defined_types.h"
#include "settings/settings.h"

#include <algorithm>
#include <optional>

namespace kitemail {
namespace {

// A question names this many entries at most; the rest are counted.
constexpr std::size_t kEntriesNamed = 10;

} // namespace

DefinedTypesEditor::DefinedTypesEditor(Settings& settings, UserInterface& ui) : settings_(settings), ui_(ui) {}

std::vector<std::string> DefinedTypesEditor::Names() const
{
    std::vector<std::string> names;
    names.reserve(settings_.DefinedTypes.size());
    for (const DefinedType& d : settings_.DefinedTypes) {
        names.push_back(d.name);
    }
    return names;
}

std::int32_t DefinedTypesEditor::SelectedIndex() const noexcept
{
    const auto& list = settings_.DefinedTypes;
    const auto it = std::find_if(list.begin(), list.end(), [this](const DefinedType& d) { return d.type == selected_; });
    return it == list.end() ? -1 : static_cast<std::int32_t>(it - list.begin());
}

const DefinedType* DefinedTypesEditor::Selected() const noexcept
{
    const std::int32_t index = SelectedIndex();
    return index < 0 ? nullptr : &settings_.DefinedTypes[static_cast<std::size_t>(index)];
}

void DefinedTypesEditor::Select(std::int32_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= settings_.DefinedTypes.size()) {
        selected_ = TerminalType::Unspecified;
        return;
    }
    fields_ = settings_.DefinedTypes[static_cast<std::size_t>(index)];
    selected_ = fields_.type;
}

void DefinedTypesEditor::PageShown()
{
    if (const DefinedType* d = Selected()) {
        fields_ = *d;
    } else {
        selected_ = TerminalType::Unspecified;
    }
}

void DefinedTypesEditor::Refuse(const std::string& message)
{
    Notify(ui_, settings_.BeepOnMessage, message);
}

void DefinedTypesEditor::Add()
{
    DefinedType d = fields_;
    d.type = TerminalType::Unspecified; // a number no other type has: every name is another's
    if (const std::optional<std::string> problem = DefinedTypeProblem(settings_, d)) {
        Refuse(*problem);
        return;
    }
    const std::optional<TerminalType> added = AddDefinedType(settings_, d);
    if (!added) {
        Refuse(Sj("これ以上端末タイプを追加できません（") + std::to_string(kMaxDefinedTypes) + Sj(" 種類まで）。"));
        return;
    }
    selected_ = *added;
    fields_.type = *added;
}

void DefinedTypesEditor::Replace()
{
    const DefinedType* old = Selected();
    if (old == nullptr) {
        return;
    }
    DefinedType d = fields_;
    d.type = old->type;
    if (const std::optional<std::string> problem = DefinedTypeProblem(settings_, d)) {
        Refuse(*problem);
        return;
    }
    (void)ReplaceDefinedType(settings_, d);
    fields_ = d;
}

void DefinedTypesEditor::Delete()
{
    const DefinedType* d = Selected();
    if (d == nullptr) {
        return;
    }
    const TerminalType t = d->type;
    const std::vector<std::string> entries = EntriesUsingType(settings_, t);
    std::string question;
    if (entries.empty() && settings_.DefaultType != t) {
        question = Sj("選択項目を削除してよろしいですか？");
    } else {
        question = Sj("端末タイプ「") + d->name + Sj("」を削除します。");
        if (!entries.empty()) {
            question += Sj("\nアドレス帳の次の項目が、この端末タイプを使っています：");
            for (std::size_t i = 0; i < entries.size() && i < kEntriesNamed; ++i) {
                question += "\n  " + entries[i];
            }
            if (entries.size() > kEntriesNamed) {
                question += Sj("\n  ほか ") + std::to_string(entries.size() - kEntriesNamed) + Sj(" 件");
            }
            question += Sj("\nこれらの項目の端末タイプは未指定になります。");
        }
        if (settings_.DefaultType == t) {
            question += Sj("\n送信先端末タイプデフォルト設定も未指定になります。");
        }
        question += Sj("\n削除してよろしいですか？");
    }
    if (!Ask(ui_, settings_.BeepOnMessage, question)) {
        return;
    }
    (void)DeleteDefinedType(settings_, t);
    selected_ = TerminalType::Unspecified;
}

void DefinedTypesEditor::New()
{
    selected_ = TerminalType::Unspecified;
    fields_ = DefinedType{};
}

} // namespace kitemail
