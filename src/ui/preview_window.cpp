#include "ui/preview_window.h"

#include "settings/settings.h"
#include "tools/text_tools.h"
#include "ui/object_names.h"
#include "ui/sjis_field.h"
#include "ui/window_placement.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMoveEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QSpinBox>

#include <algorithm>

namespace kitemail {
namespace {

constexpr int kPreviewWidth = 331;
constexpr int kPreviewHeight = 351;
constexpr int kMargin = 8; // the view's distance from the window's edges
constexpr int kExtraWidth = 10;
constexpr int kViewHeight = 281;
constexpr int kRowHeight = 24;
constexpr int kViewFontPixels = 16;

// A fixed-pitch Japanese font, so that 2 x N half-width characters take the
// width of N full-width ones.
QFont ViewFont()
{
    QFont font(QStringLiteral("IPAGothic"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(kViewFontPixels);
    return font;
}

} // namespace

PreviewWindow::PreviewWindow(Settings& settings, std::function<std::string()> body, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      settings_(settings),
      body_(std::move(body))
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QString::fromUtf8("プレビューウィンドウ"));

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("ScrollBox1"));
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always there, so that showing it never narrows the rows.
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->viewport()->setBackgroundRole(QPalette::Base);
    scroll_->viewport()->setAutoFillBackground(true);
    scroll_->setWidgetResizable(true);
    view_ = new QLabel(QStringLiteral("<Test Area>"));
    view_->setObjectName(QStringLiteral("Label4view"));
    view_->setTextFormat(Qt::PlainText);
    view_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view_->setFont(ViewFont());
    view_->setAutoFillBackground(false); // the view box's colour shows through
    scroll_->setWidget(view_);
    scroll_->setGeometry(kMargin, kMargin, kPreviewWidth - 2 * kMargin - 2, kViewHeight);

    const int controlsTop = kMargin + kViewHeight + kMargin;
    before_ = new QLabel(QString::fromUtf8("全角"), this);
    columns_ = new QSpinBox(this);
    columns_->setObjectName(object_names::kPreviewColumns);
    columns_->setRange(kPreviewMinColumns, kPreviewMaxColumns);
    columns_->setValue(kPreviewDefaultColumns);
    after_ = new QLabel(QString::fromUtf8("桁"), this);
    autoUpdate_ = new QCheckBox(QString::fromUtf8("自動更新"), this);
    autoUpdate_->setObjectName(object_names::kPreviewAutoUpdate);
    autoUpdate_->setChecked(true);
    int x = kMargin;
    for (QWidget* w : std::initializer_list<QWidget*>{before_, columns_, after_}) {
        w->adjustSize();
        w->setGeometry(x, controlsTop, w->width(), kRowHeight - 2);
        x += w->width() + 4;
    }
    autoUpdate_->adjustSize();
    autoUpdate_->move(kMargin, controlsTop + kRowHeight);

    connect(columns_, &QSpinBox::valueChanged, this, [this](int value) {
        settings_.VCount = value;
        Measure();
    });
    connect(autoUpdate_, &QCheckBox::clicked, this, &PreviewWindow::RefreshPreview);
    setFixedSize(kPreviewWidth, kPreviewHeight);
}

void PreviewWindow::ApplySettings()
{
    columns_->setValue(std::clamp(settings_.VCount, kPreviewMinColumns, kPreviewMaxColumns));
    move(settings_.PLeft, settings_.PTop);
}

void PreviewWindow::Toggle()
{
    setVisible(!isVisible());
}

void PreviewWindow::BodyRecounted()
{
    if (autoUpdate_->isChecked() && isVisible()) {
        RefreshPreview();
    }
}

void PreviewWindow::RefreshPreview()
{
    const QString text = ShowSjis(PreviewText(body_ ? body_() : std::string(), columns_->value()));
    if (view_->text() != text) {
        view_->setText(text);
    }
}

void PreviewWindow::Measure()
{
    const QFontMetrics metrics(view_->font());
    const int rowWidth = metrics.horizontalAdvance(QString(2 * columns_->value(), QLatin1Char(' ')));
    const int frame = 2 * scroll_->frameWidth() + scroll_->verticalScrollBar()->sizeHint().width();
    scroll_->resize(rowWidth + frame, kViewHeight);
    const int controls = std::max(after_->geometry().right(), autoUpdate_->geometry().right()) + kMargin;
    setFixedSize(std::max(scroll_->width() + 2 * kMargin + kExtraWidth, controls), kPreviewHeight);
    RefreshPreview();
}

void PreviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Measure();
    // Beside the main window, never over its bars.
    if (!event->spontaneous() && parentWidget() != nullptr) {
        KeepBeside(this, parentWidget());
    }
    emit shownChanged(true);
}

void PreviewWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit shownChanged(false);
}

void PreviewWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    settings_.PLeft = x();
    settings_.PTop = y();
}

} // namespace kitemail
