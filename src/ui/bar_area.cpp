#include "ui/bar_area.h"

#include <QChildEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kitemail {

// The handle at a bar's left end by which it is dragged.
class BarGrip : public QWidget {
public:
    explicit BarGrip(Bar* bar) : QWidget(bar), bar_(bar)
    {
        setFixedWidth(8);
        setCursor(Qt::SizeAllCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QColor light = palette().color(QPalette::Light);
        const QColor dark = palette().color(QPalette::Dark);
        for (const int x : {2, 5}) {
            p.setPen(light);
            p.drawLine(x, 3, x, height() - 4);
            p.setPen(dark);
            p.drawLine(x + 1, 3, x + 1, height() - 4);
        }
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton) {
            bar_->GripPressed(e->globalPosition().toPoint());
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (e->buttons() & Qt::LeftButton) {
            bar_->GripMoved(e->globalPosition().toPoint());
        }
    }

private:
    Bar* bar_;
};

Bar::Bar(const QString& objectName, QWidget* content, int width, BarArea* area)
    : QFrame(area), area_(area), content_(content)
{
    setObjectName(objectName);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->setSpacing(2);
    grip_ = new BarGrip(this);
    layout->addWidget(grip_);
    content_->setParent(this);
    layout->addWidget(content_, 1);
    SetWidth(width);
}

void Bar::SetWidth(int width)
{
    const int needed = content_->sizeHint().width() + grip_->width() + 6;
    setFixedSize(std::max(width, needed), BarArea::kBarHeight);
    area_->updateGeometry();
}

void Bar::SetPosition(QPoint topLeftInArea)
{
    move(topLeftInArea);
    area_->updateGeometry();
}

void Bar::GripPressed(QPoint globalPos)
{
    pressGlobal_ = globalPos;
    pressPos_ = pos();
    raise();
}

void Bar::GripMoved(QPoint globalPos)
{
    SetPosition(BarArea::Snap(pressPos_ + (globalPos - pressGlobal_)));
    area_->Arrange();
}

BarArea::BarArea(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("BarArea"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QPoint BarArea::Snap(QPoint wanted) noexcept
{
    const double row = std::round(static_cast<double>(wanted.y() - kFirstRowTop) / kRowPitch);
    const int top = kFirstRowTop + kRowPitch * std::max(0, static_cast<int>(row));
    return {std::max(0, wanted.x()), top};
}

void BarArea::Arrange()
{
    constexpr int kGap = 2;
    std::vector<Bar*> bars;
    for (Bar* bar : findChildren<Bar*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!bar->isHidden()) {
            bars.push_back(bar);
        }
    }
    std::stable_sort(bars.begin(), bars.end(), [](const Bar* a, const Bar* b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    for (std::size_t i = 1; i < bars.size(); ++i) {
        const Bar* left = bars[i - 1];
        Bar* bar = bars[i];
        const bool sameRow = bar->y() < left->y() + left->height() && left->y() < bar->y() + bar->height();
        if (sameRow && bar->x() < left->x() + left->width() + kGap) {
            bar->move(left->x() + left->width() + kGap, bar->y());
        }
    }
    updateGeometry();
}

int BarArea::ContentHeight() const
{
    int bottom = 0;
    for (const Bar* bar : findChildren<Bar*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!bar->isHidden()) {
            bottom = std::max(bottom, bar->y() + bar->height());
        }
    }
    return bottom + kFirstRowTop;
}

QSize BarArea::sizeHint() const
{
    return {0, ContentHeight()};
}

QSize BarArea::minimumSizeHint() const
{
    return sizeHint();
}

bool BarArea::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
        Arrange();
    }
    return QWidget::eventFilter(watched, event);
}

void BarArea::childEvent(QChildEvent* event)
{
    if (event->added() && event->child()->isWidgetType()) {
        event->child()->installEventFilter(this);
    }
    QWidget::childEvent(event);
}

} // namespace kitemail
