// The main window's subject/PIN page beside the body. What it does is wired
// in main_window.cpp.

#include "ui/main_window.h"
#include "ui/object_names.h"

#include "ui/utf8_text.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kPinLength = 4;

} // namespace

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
    subjectBox_->setObjectName(object_names::kSubject);
    subject->addWidget(subjectBox_);

    pinGroup_ = new QGroupBox(Q("PINコード"));
    pinGroup_->setObjectName(QStringLiteral("PinGroup"));
    auto* pin = new QVBoxLayout(pinGroup_);
    pin->setContentsMargins(4, 2, 4, 4);
    pinBox_ = new QLineEdit;
    pinBox_->setObjectName(object_names::kPin);
    pinBox_->setMaxLength(kPinLength);
    pin->addWidget(pinBox_);

    noteLabel_ = new QLabel(Q("※適用できる方を自動的に選択して使用します。"));
    noteLabel_->setObjectName(object_names::kNoteLabel);
    noteLabel_->setWordWrap(true);

    layout->addWidget(subjectGroup_);
    layout->addWidget(pinGroup_);
    layout->addWidget(noteLabel_);
    layout->addStretch(1);
    return page;
}

} // namespace kitemail
