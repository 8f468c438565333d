#pragma once
// "プレビューウィンドウ": the body as a phone screen of a chosen width shows
// it, after the conversion there and back that sending applies. A tool
// window beside the main window, shown and hidden from it; it keeps its
// column count and position in the settings (VCount, PLeft, PTop), which
// the main window writes as it closes.

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QScrollArea;
class QSpinBox;

namespace kitemail {

struct Settings;

class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    // body gives the main window's body as it stands (code page 932).
    PreviewWindow(Settings& settings, std::function<std::string()> body, QWidget* parent = nullptr);

    // The column count and position of the settings, as they were loaded.
    void ApplySettings();
    // Shows the window when it is hidden, hides it otherwise.
    void Toggle();
    // The main window recounted: the view follows while "自動更新" is ticked.
    void BodyRecounted();
    // Lays out the body at the column count and shows it.
    void RefreshPreview();

    [[nodiscard]] QLabel* View() const noexcept { return view_; }
    [[nodiscard]] QScrollArea* ViewBox() const noexcept { return scroll_; }

signals:
    void shownChanged(bool shown);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // The view's width follows the column count, and the window's follows it.
    void Measure();

    Settings& settings_;
    std::function<std::string()> body_;
    QScrollArea* scroll_ = nullptr;
    QLabel* view_ = nullptr;
    QSpinBox* columns_ = nullptr;
    QLabel* before_ = nullptr; // "全角"
    QLabel* after_ = nullptr;  // "桁"
    QCheckBox* autoUpdate_ = nullptr;
};

} // namespace kitemail
