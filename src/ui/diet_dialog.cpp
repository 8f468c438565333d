#include "ui/diet_dialog.h"

#include "ui/object_names.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kDietWidth = 198;
constexpr int kDietHeight = 160;
constexpr int kPictureSize = 16;

struct OptionRow {
    const char* name;
    const char* caption;
    QStyle::StandardPixmap picture;
    bool DietOptions::*option;
};

// Top to bottom, which is also the order the options are applied in.
constexpr OptionRow kRows[] = {
    {object_names::kDietLeadingBlanks, "行前部の空白を削除", QStyle::SP_ArrowRight, &DietOptions::leadingBlanks},
    {object_names::kDietTrailingBlanks, "行後部の空白を削除", QStyle::SP_ArrowLeft, &DietOptions::trailingBlanks},
    {object_names::kDietInnerSpaces, "文中の空白を削除", QStyle::SP_ArrowDown, &DietOptions::innerSpaces},
    {object_names::kDietEmptyLines, "空白の行を削除", QStyle::SP_ArrowUp, &DietOptions::emptyLines},
    {object_names::kDietJoinLines, "改行の削除", QStyle::SP_MediaSeekBackward, &DietOptions::joinLines},
};

} // namespace

DietDialog::DietDialog(std::function<bool(const DietOptions&)> apply, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), apply_(std::move(apply))
{
    static_assert(std::size(kRows) == std::tuple_size_v<decltype(boxes_)>);
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QString::fromUtf8("ダイエット"));
    setModal(true);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    const DietOptions initial;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const OptionRow& row = kRows[i];
        auto* picture = new QLabel;
        picture->setPixmap(style()->standardIcon(row.picture).pixmap(kPictureSize, kPictureSize));
        auto* box = new QCheckBox(QString::fromUtf8(row.caption));
        box->setObjectName(QString::fromLatin1(row.name));
        box->setChecked(initial.*row.option);
        grid->addWidget(picture, static_cast<int>(i), 0);
        grid->addWidget(box, static_cast<int>(i), 1);
        boxes_[i] = box;
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setText(QStringLiteral("OK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setText(QStringLiteral("キャンセル"));
    // OK runs the diet and closes only when it did.
    connect(buttons, &QDialogButtonBox::accepted, this, &DietDialog::Ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(kDietWidth, kDietHeight);
}

DietOptions DietDialog::Options() const
{
    DietOptions options;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        options.*kRows[i].option = boxes_[i]->isChecked();
    }
    return options;
}

void DietDialog::Ok()
{
    if (apply_ && apply_(Options())) {
        accept();
    }
}

} // namespace kitemail
