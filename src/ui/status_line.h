#pragma once
// The main window's status line: the status text that scrolls when it does
// not fit, the size gauge, the clock and the count display with the abort
// button over it.

#include "send/message_composer.h"

#include <QDateTime>
#include <QFrame>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kitemail {

// Pixels the status text moves left on each clock tick.
inline constexpr int kStatusScrollStep = 10;

// The status label's next left edge. A text wider than its area moves left
// and re-enters from the right once it has gone; one that fits stays at 0.
[[nodiscard]] int NextStatusLeft(int areaWidth, int labelWidth, int left, bool scrollOn) noexcept;

// The clock's text: the short date, then the time with seconds.
[[nodiscard]] QString ClockText(const QDateTime& now);

class StatusLine : public QFrame {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // A new text starts at the left edge.
    void SetStatusText(const QString& text);
    [[nodiscard]] QString StatusText() const;
    // Puts the text back to its start (a click on it does the same).
    void ResetScroll();
    // One tick of the 200 ms timer.
    void Tick(bool scrollOn, const QDateTime& now);
    void ShowCount(const CountDisplay& display);
    void SetAbortVisible(bool visible);
    // The count display's tooltip, made when it is about to show.
    void SetCountToolTip(std::function<QString()> text);

    [[nodiscard]] QLabel* StatusLabel() const noexcept { return label_; }
    [[nodiscard]] QWidget* StatusArea() const noexcept { return area_; }
    [[nodiscard]] QPushButton* AbortButton() const noexcept { return abort_; }

signals:
    void abortClicked();
    void countClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceAbortButton();

    QWidget* area_;
    QLabel* label_;
    QProgressBar* gauge_;
    QLabel* clock_;
    QWidget* countBox_;
    QLabel* count_;
    QLabel* limit_;
    QPushButton* abort_;
    std::function<QString()> countToolTip_;
};

} // namespace kitemail
