#include "ui/type_box.h"

#include "platform/text_codec.h"

#include <QComboBox>

namespace kitemail {

QComboBox* NewTypeBox(const char* objectName, TypeBoxTexts texts)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(objectName));
    for (const TerminalType t : kTerminalTypes) {
        box->addItem(DecodeSjis(texts == TypeBoxTexts::Main ? MainTypeBoxText(t) : TypeBoxText(t)));
    }
    return box;
}

TerminalType TypeAtBoxIndex(int index) noexcept
{
    return KnownOrUnspecified(TerminalTypeFromNumber(index));
}

int BoxIndexOf(TerminalType t) noexcept
{
    return IsTerminalType(t) ? TerminalTypeNumber(t) : -1;
}

} // namespace kitemail
