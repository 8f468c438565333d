#include "ui/page_tabs.h"

#include <QButtonGroup>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kitemail {

// The tab buttons, laid out left to right and wrapped onto new rows; its
// height follows from its width.
class TabRows : public QWidget {
public:
    explicit TabRows(QWidget* parent) : QWidget(parent)
    {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    void Add(QToolButton* tab)
    {
        tab->setParent(this);
        tabs_.push_back(tab);
        updateGeometry();
    }

    [[nodiscard]] bool hasHeightForWidth() const override { return true; }
    [[nodiscard]] int heightForWidth(int width) const override { return Place(width, false) * RowHeight(); }
    // The pages decide the width; the tabs take what rows they need in it.
    [[nodiscard]] QSize sizeHint() const override { return minimumSizeHint(); }
    [[nodiscard]] QSize minimumSizeHint() const override
    {
        int widest = 0;
        for (const QToolButton* tab : tabs_) {
            widest = std::max(widest, tab->sizeHint().width());
        }
        return {widest, RowHeight()};
    }
    [[nodiscard]] int Rows() const { return Place(width(), false); }

protected:
    void resizeEvent(QResizeEvent* /*event*/) override { (void)Place(width(), true); }

private:
    [[nodiscard]] int RowHeight() const { return tabs_.empty() ? 0 : tabs_.front()->sizeHint().height(); }

    // Lays the tabs out for a width (moving them when place is true) and
    // returns the number of rows.
    int Place(int width, bool place) const
    {
        int x = 0;
        int row = 0;
        for (QToolButton* tab : tabs_) {
            const int w = tab->sizeHint().width();
            if (x > 0 && x + w > width) {
                ++row;
                x = 0;
            }
            if (place) {
                tab->setGeometry(x, row * RowHeight(), w, RowHeight());
            }
            x += w;
        }
        return tabs_.empty() ? 0 : row + 1;
    }

    std::vector<QToolButton*> tabs_;
};

PageTabs::PageTabs(QWidget* parent)
    : QWidget(parent), rows_(new TabRows(this)), group_(new QButtonGroup(this)), stack_(new QStackedWidget)
{
    group_->setExclusive(true);
    stack_->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(rows_);
    layout->addWidget(stack_, 1);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) {
        if (id != stack_->currentIndex()) {
            SetCurrentIndex(id);
        }
    });
}

int PageTabs::AddPage(const QString& title, QWidget* page)
{
    const int index = stack_->addWidget(page);
    auto* tab = new QToolButton;
    tab->setObjectName(QStringLiteral("PageTab%1").arg(index));
    tab->setText(title);
    tab->setCheckable(true);
    tab->setAutoRaise(false);
    tab->setFocusPolicy(Qt::TabFocus);
    group_->addButton(tab, index);
    rows_->Add(tab);
    if (index == 0) {
        tab->setChecked(true);
    }
    return index;
}

int PageTabs::Count() const
{
    return stack_->count();
}

int PageTabs::CurrentIndex() const
{
    return stack_->currentIndex();
}

void PageTabs::SetCurrentIndex(int index)
{
    if (index < 0 || index >= stack_->count()) {
        return;
    }
    group_->button(index)->setChecked(true);
    if (index != stack_->currentIndex()) {
        stack_->setCurrentIndex(index);
        emit currentChanged(index);
    }
}

QWidget* PageTabs::Page(int index) const
{
    return stack_->widget(index);
}

QAbstractButton* PageTabs::Tab(int index) const
{
    return group_->button(index);
}

int PageTabs::RowCount() const
{
    return rows_->Rows();
}

int PageTabs::MinimumHeightForWidth(int width) const
{
    return rows_->heightForWidth(width) + stack_->minimumSizeHint().height();
}

void PageTabs::SetHotTracking(bool on)
{
    rows_->setStyleSheet(on ? QStringLiteral("QToolButton:hover { color: palette(highlight); }") : QString());
}

} // namespace kitemail
