#include "ui/bar_area.h"

#include "ui/object_names.h"

#include <QChildEvent>
#include <QResizeEvent>
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
    wanted_ = topLeftInArea;
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
    setObjectName(object_names::kBarArea);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QPoint BarArea::Snap(QPoint wanted) noexcept
{
    const double row = std::round(static_cast<double>(wanted.y() - kFirstRowTop) / kRowPitch);
    const int top = kFirstRowTop + kRowPitch * std::max(0, static_cast<int>(row));
    return {std::max(0, wanted.x()), top};
}

namespace {

constexpr int kGap = 2;

bool ByWantedPlace(const Bar* a, const Bar* b)
{
    const QPoint p = a->Position();
    const QPoint q = b->Position();
    return p.y() != q.y() ? p.y() < q.y() : p.x() < q.x();
}

} // namespace

std::vector<Bar*> BarArea::ShownBars() const
{
    std::vector<Bar*> bars;
    for (Bar* bar : findChildren<Bar*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!bar->isHidden()) {
            bars.push_back(bar);
        }
    }
    std::stable_sort(bars.begin(), bars.end(), ByWantedPlace);
    return bars;
}

void BarArea::Arrange()
{
    const std::vector<Bar*> bars = ShownBars();
    for (std::size_t i = 1; i < bars.size(); ++i) {
        const Bar* left = bars[i - 1];
        Bar* bar = bars[i];
        const QPoint l = left->Position();
        const QPoint p = bar->Position();
        const bool sameRow = p.y() < l.y() + left->height() && l.y() < p.y() + bar->height();
        if (sameRow && p.x() < l.x() + left->width() + kGap) {
            bar->wanted_ = QPoint(l.x() + left->width() + kGap, p.y());
        }
    }
    Flow();
}

void BarArea::Flow()
{
    const int right = width();
    std::vector<Bar*> pending = ShownBars();
    std::vector<Bar*> carried;
    int top = pending.empty() ? 0 : pending.front()->Position().y();
    while (!pending.empty() || !carried.empty()) {
        // This row: what was carried down, and the bars stored at or above it.
        std::vector<Bar*> row = carried;
        carried.clear();
        while (!pending.empty() && pending.front()->Position().y() <= top) {
            row.push_back(pending.front());
            pending.erase(pending.begin());
        }
        std::stable_sort(row.begin(), row.end(),
                         [](const Bar* a, const Bar* b) { return a->Position().x() < b->Position().x(); });
        int next = 0; // the first free x
        bool first = true;
        for (Bar* bar : row) {
            int x = std::max(bar->Position().x(), next);
            if (right > 0 && x + bar->width() > right) {
                // Pulled left where the row has room, else a row down; the
                // first of a row stays on it.
                if (!first && right - bar->width() < next) {
                    carried.push_back(bar);
                    continue;
                }
                x = std::max(0, right - bar->width());
            }
            bar->move(x, top);
            next = x + bar->width() + kGap;
            first = false;
        }
        if (!carried.empty()) {
            top += kRowPitch;
        } else if (!pending.empty()) {
            top = std::max(top + 1, pending.front()->Position().y());
        }
    }
    updateGeometry();
}

void BarArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Flow();
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

// No narrower than the widest bar, which then has a row of its own.
QSize BarArea::sizeHint() const
{
    int widest = 0;
    for (const Bar* bar : ShownBars()) {
        widest = std::max(widest, bar->width());
    }
    return {widest, ContentHeight()};
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
