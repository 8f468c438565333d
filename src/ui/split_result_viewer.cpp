#include "ui/split_result_viewer.h"

#include "platform/text_codec.h"
#include "ui/window_placement.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kitemail {

SplitResultViewer::SplitResultViewer(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("分割テキスト確認"));
    setModal(true);

    tabs_ = new QTabWidget(this);
    source_ = new QPlainTextEdit;
    tabs_->addTab(source_, QStringLiteral("Source"));

    auto* resultPage = new QWidget;
    auto* buttons = new QVBoxLayout;
    for (int k = 1; k <= 9; ++k) {
        auto* b = new QPushButton(QString::number(k));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, k] { ShowPart(k); });
        partButtons_.push_back(b);
        buttons->addWidget(b);
    }
    auto* clear = new QPushButton(QStringLiteral("Clear"));
    clear->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, this, [this] { result_->clear(); });
    buttons->addWidget(clear);
    buttons->addStretch();
    result_ = new QPlainTextEdit;
    result_->setReadOnly(true);
    auto* resultLayout = new QHBoxLayout(resultPage);
    resultLayout->addLayout(buttons);
    resultLayout->addWidget(result_, 1);
    tabs_->addTab(resultPage, QStringLiteral("Result"));

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setDefault(true);
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(box);
    resize(420, 360);
}

bool SplitResultViewer::Review(const std::string& body, const std::vector<std::string>& parts)
{
    parts_ = parts;
    source_->setPlainText(DecodeSjis(body));
    for (std::size_t k = 0; k < partButtons_.size(); ++k) {
        partButtons_[k]->setEnabled(k < parts_.size() && !parts_[k].empty());
    }
    result_->clear();
    if (!shownOnce_) {
        tabs_->setCurrentIndex(1); // later shows keep the tab the user left open
        shownOnce_ = true;
    }
    return exec() == QDialog::Accepted;
}

void SplitResultViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    if (const QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
    KeepOnScreen(this);
}

void SplitResultViewer::ShowPart(int k)
{
    const auto i = static_cast<std::size_t>(k - 1);
    result_->setPlainText(i < parts_.size() ? DecodeSjis(parts_[i]) : QString());
}

} // namespace kitemail
