// The main window's pages beside the body: the recipient (To) page and the
// subject/PIN page. What they do is wired in main_window.cpp.

#include "ui/main_window.h"

#include "platform/text_codec.h"
#include "ui/check_list_box.h"
#include "ui/main_window_parts.h"
#include "ui/utf8_text.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kPinLength = 4;

void SetImeOff(QWidget* widget)
{
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    widget->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
}

} // namespace

using main_window_parts::SetHint;

QWidget* MainWindow::BuildToTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    directGroup_ = new QGroupBox;
    directGroup_->setObjectName(QStringLiteral("DirectGroup"));
    auto* direct = new QVBoxLayout(directGroup_);
    direct->setContentsMargins(4, 2, 4, 4);
    direct->setSpacing(1);
    directModeButton_ = new QRadioButton(Q("直接入力"));
    directModeButton_->setObjectName(QStringLiteral("RadioButton2"));
    SetHint(directModeButton_, "直接入力|アドレスを直接入力して送信します。");
    directModeButton_->setAutoExclusive(false);
    addressLabel_ = new QLabel(Q("E-mailアドレス"));
    addressBox_ = new QLineEdit;
    addressBox_->setObjectName(QStringLiteral("Edit1"));
    SetImeOff(addressBox_);
    typeLabel_ = new QLabel(Q("端末タイプ"));
    typeLabel_->setObjectName(QStringLiteral("Label4"));
    typeBox_ = new QComboBox;
    typeBox_->setObjectName(QStringLiteral("ComboBox1"));
    typeBox_->setEditable(false);
    for (std::int32_t t = 0; t < kTerminalTypeCount; ++t) {
        typeBox_->addItem(DecodeSjis(MainTypeBoxText(t)));
    }
    direct->addWidget(directModeButton_);
    direct->addWidget(addressLabel_);
    direct->addWidget(addressBox_);
    direct->addWidget(typeLabel_);
    direct->addWidget(typeBox_);

    bookGroup_ = new QGroupBox;
    bookGroup_->setObjectName(QStringLiteral("BookGroup"));
    auto* book = new QVBoxLayout(bookGroup_);
    book->setContentsMargins(4, 2, 4, 4);
    book->setSpacing(1);
    bookModeButton_ = new QRadioButton(Q("アドレス帳選択"));
    bookModeButton_->setObjectName(QStringLiteral("RadioButton1"));
    SetHint(bookModeButton_, "アドレス帳選択|アドレスを選択して送信します。");
    bookModeButton_->setAutoExclusive(false);
    bookLabel_ = new QLabel(Q("送信先選択"));
    bookList_ = new CheckListBox;
    bookList_->setObjectName(QStringLiteral("CheckListBox1"));
    SetImeOff(bookList_);
    book->addWidget(bookModeButton_);
    book->addWidget(bookLabel_);
    book->addWidget(bookList_, 1);

    layout->addWidget(directGroup_);
    layout->addWidget(bookGroup_, 1);
    return page;
}

QWidget* MainWindow::BuildSubjectTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);

    subjectGroup_ = new QGroupBox(Q("題名"));
    subjectGroup_->setObjectName(QStringLiteral("SubjectGroup"));
    auto* subject = new QVBoxLayout(subjectGroup_);
    subject->setContentsMargins(4, 2, 4, 4);
    subjectBox_ = new QLineEdit;
    subjectBox_->setObjectName(QStringLiteral("Edit2"));
    subject->addWidget(subjectBox_);

    pinGroup_ = new QGroupBox(Q("PINコード"));
    pinGroup_->setObjectName(QStringLiteral("PinGroup"));
    auto* pin = new QVBoxLayout(pinGroup_);
    pin->setContentsMargins(4, 2, 4, 4);
    pinBox_ = new QLineEdit;
    pinBox_->setObjectName(QStringLiteral("Edit3"));
    pinBox_->setMaxLength(kPinLength);
    pin->addWidget(pinBox_);

    noteLabel_ = new QLabel(Q("※適用できる方を自動的に選択して使用します。"));
    noteLabel_->setObjectName(QStringLiteral("NoteLabel"));
    noteLabel_->setWordWrap(true);

    layout->addWidget(subjectGroup_);
    layout->addWidget(pinGroup_);
    layout->addWidget(noteLabel_);
    layout->addStretch(1);
    return page;
}

} // namespace kitemail
