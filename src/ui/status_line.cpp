#include "ui/status_line.h"

#include "platform/date_text.h"
#include "ui/object_names.h"

#include <QEvent>
#include <QHelpEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolTip>

#include <algorithm>

namespace kitemail {
namespace {

constexpr int kLineHeight = 17;
constexpr int kGap = 3;
constexpr int kGaugeWidth = 187;
constexpr int kClockWidth = 109;
constexpr int kCountWidth = 90;

void SetTextColour(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

} // namespace

int NextStatusLeft(int areaWidth, int labelWidth, int left, bool scrollOn) noexcept
{
    if (!scrollOn || labelWidth <= areaWidth) {
        return 0;
    }
    if (labelWidth < -left) {
        left = areaWidth; // gone on the left: come in again from the right
    }
    return left - kStatusScrollStep;
}

QString ClockText(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return LocaleDateTimeText({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

StatusLine::StatusLine(QWidget* parent)
    : QFrame(parent),
      area_(new QWidget(this)),
      label_(new QLabel(area_)),
      gauge_(new QProgressBar(this)),
      clock_(new QLabel(this)),
      countBox_(new QWidget(this)),
      count_(new QLabel(QStringLiteral("0"), countBox_)),
      limit_(new QLabel(QStringLiteral("/ 384"), countBox_)),
      abort_(new QPushButton(QStringLiteral("中止"), countBox_))
{
    setObjectName(QStringLiteral("StatusLine"));
    area_->setObjectName(QStringLiteral("StatusArea"));
    label_->setObjectName(object_names::kStatusLabel);
    gauge_->setObjectName(object_names::kGauge);
    clock_->setObjectName(object_names::kClock);
    count_->setObjectName(object_names::kCount);
    limit_->setObjectName(object_names::kLimit);
    abort_->setObjectName(object_names::kAbortButton);

    const int height = std::max(kLineHeight, fontMetrics().height() + 2);
    setFixedHeight(height);

    // The label lives in the area without a layout: its left edge is the
    // scroll position and the area cuts it off.
    area_->setMinimumWidth(0);
    area_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    area_->setFixedHeight(height);
    label_->move(0, 0);
    label_->setFixedHeight(height);
    label_->setCursor(Qt::PointingHandCursor);
    area_->installEventFilter(this);
    label_->installEventFilter(this);

    gauge_->setFixedSize(kGaugeWidth, height);
    gauge_->setTextVisible(false);
    gauge_->setRange(0, 384);
    gauge_->setValue(0);

    clock_->setFixedSize(kClockWidth, height);
    clock_->setAlignment(Qt::AlignCenter);

    countBox_->setFixedSize(kCountWidth, height);
    auto* countLayout = new QHBoxLayout(countBox_);
    countLayout->setContentsMargins(0, 0, 2, 0);
    countLayout->setSpacing(2);
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetTextColour(count_, QColor(0, 0, 0));
    countLayout->addWidget(count_, 1);
    countLayout->addWidget(limit_);
    abort_->hide();
    countBox_->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : {countBox_, static_cast<QWidget*>(count_), static_cast<QWidget*>(limit_)}) {
        w->installEventFilter(this);
    }
    connect(abort_, &QPushButton::clicked, this, &StatusLine::abortClicked);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kGap);
    layout->addWidget(area_, 1);
    layout->addWidget(gauge_);
    layout->addWidget(clock_);
    layout->addWidget(countBox_);
}

void StatusLine::SetStatusText(const QString& text)
{
    label_->move(0, 0);
    label_->setText(text);
    // No layout holds the label: it takes the width of its text. (A fixed
    // width would stay the floor of the next text's size hint.)
    label_->resize(label_->sizeHint().width(), label_->height());
}

QString StatusLine::StatusText() const
{
    return label_->text();
}

void StatusLine::ResetScroll()
{
    label_->move(0, 0);
}

void StatusLine::Tick(bool scrollOn, const QDateTime& now)
{
    const QString clock = ClockText(now);
    if (clock != clock_->text()) {
        clock_->setText(clock);
        // Some locales' date and time need more room than the designed width.
        const int needed = clock_->fontMetrics().horizontalAdvance(clock) + 6;
        if (needed > clock_->width()) {
            clock_->setFixedWidth(needed);
        }
    }
    label_->move(NextStatusLeft(area_->width(), label_->width(), label_->x(), scrollOn), 0);
}

void StatusLine::ShowCount(const CountDisplay& display)
{
    count_->setText(QString::number(display.count));
    SetTextColour(count_, display.over ? QColor(255, 0, 0) : QColor(0, 0, 0));
    limit_->setText(QStringLiteral("/ ") + QString::number(display.limit));
    if (display.gaugeMax > 0) {
        gauge_->setRange(0, display.gaugeMax);
        gauge_->setValue(display.gaugeProgress);
    } else {
        // A limit of 0 would turn the bar into a busy indicator.
        gauge_->setRange(0, 1);
        gauge_->setValue(display.count > 0 ? 1 : 0);
    }
}

void StatusLine::SetAbortVisible(bool visible)
{
    PlaceAbortButton();
    abort_->setVisible(visible);
    if (visible) {
        abort_->raise();
    }
}

void StatusLine::SetCountToolTip(std::function<QString()> text)
{
    countToolTip_ = std::move(text);
}

bool StatusLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == countBox_ || watched == count_ || watched == limit_) {
        if (event->type() == QEvent::ToolTip && countToolTip_) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), countToolTip_(), countBox_);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            emit countClicked();
        }
    }
    if ((watched == area_ || watched == label_) && event->type() == QEvent::MouseButtonPress) {
        ResetScroll();
    }
    return QFrame::eventFilter(watched, event);
}

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    PlaceAbortButton();
}

void StatusLine::PlaceAbortButton()
{
    abort_->setGeometry(0, 0, countBox_->width(), countBox_->height());
}

} // namespace kitemail
