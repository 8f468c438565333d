#pragma once
// Pages under a row of tabs that wraps onto as many rows as the width
// needs, so that every caption stays whole and readable.

#include <QWidget>

#include <vector>

class QAbstractButton;
class QButtonGroup;
class QStackedWidget;
class QToolButton;

namespace kitemail {

class TabRows;

class PageTabs : public QWidget {
    Q_OBJECT
public:
    explicit PageTabs(QWidget* parent = nullptr);

    // Appends a page; returns its index.
    int AddPage(const QString& title, QWidget* page);
    [[nodiscard]] int Count() const;
    [[nodiscard]] int CurrentIndex() const;
    void SetCurrentIndex(int index);
    [[nodiscard]] QWidget* Page(int index) const;
    [[nodiscard]] QAbstractButton* Tab(int index) const;
    // Rows the tabs take at the present width.
    [[nodiscard]] int RowCount() const;
    // The least height that shows the tabs and any page at this width.
    [[nodiscard]] int MinimumHeightForWidth(int width) const;
    // Hot tracking: the caption under the mouse stands out.
    void SetHotTracking(bool on);

signals:
    void currentChanged(int index);

private:
    TabRows* rows_;
    QButtonGroup* group_;
    QStackedWidget* stack_;
};

} // namespace kitemail
