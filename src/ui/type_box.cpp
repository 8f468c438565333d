#include "ui/type_box.h"

#include "platform/text_codec.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QSignalBlocker>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace kitemail {
namespace {

// Which texts a box lists, kept on the box itself.
constexpr char kMainTexts[] = "kitemailMainTypeTexts";

} // namespace

QComboBox* NewTypeBox(const char* objectName, TypeBoxTexts texts)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(objectName));
    box->setProperty(kMainTexts, texts == TypeBoxTexts::Main);
    ShowTypeBox(box, TerminalTypes(), TerminalType::Unspecified);
    // As wide as the ten need: a long name of a defined type must not
    // widen the window or the dialog, whose sizes are set once.
    const QFontMetrics metrics = box->fontMetrics();
    int widest = 0;
    for (int i = 0; i < box->count(); ++i) {
        widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
    }
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength((widest + metrics.horizontalAdvance(QLatin1Char('X')) - 1) /
                                  metrics.horizontalAdvance(QLatin1Char('X')));
    return box;
}

void ShowTypeBox(QComboBox* box, const TerminalTypes& types, TerminalType t)
{
    const bool main = box->property(kMainTexts).toBool();
    QStringList items;
    for (const TerminalType type : types.BoxOrder()) {
        items.push_back(DecodeSjis(main ? types.MainBoxText(type) : types.BoxText(type)));
    }
    const QSignalBlocker block(box);
    bool same = box->count() == items.size();
    for (int i = 0; same && i < box->count(); ++i) {
        same = box->itemText(i) == items[i];
    }
    if (!same) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(types.BoxIndexOf(t));
}

} // namespace kitemail
