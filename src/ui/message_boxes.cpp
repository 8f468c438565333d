#include "ui/message_boxes.h"

#include "platform/text_codec.h"

#include <QMessageBox>
#include <QPushButton>

namespace kitemail {

void ShowMessageBox(QWidget* parent, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kitemail Pro"), DecodeSjis(text), QMessageBox::Ok, parent);
    box.exec();
}

bool ConfirmBox(QWidget* parent, const std::string& text, const std::string& title)
{
    QMessageBox box(QMessageBox::Question, DecodeSjis(title), DecodeSjis(text), QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

YesNoCancel YesNoCancelBox(QWidget* parent, const std::string& text, const std::string& title)
{
    QMessageBox box(QMessageBox::Question, DecodeSjis(title), DecodeSjis(text), QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes) {
        return YesNoCancel::Yes;
    }
    return box.clickedButton() == no ? YesNoCancel::No : YesNoCancel::Cancel;
}

} // namespace kitemail
