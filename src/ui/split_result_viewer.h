#pragma once
// "分割テキスト確認": the parts of a split before they are sent.

#include <QDialog>

#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace kitemail {

class SplitResultViewer : public QDialog {
    Q_OBJECT
public:
    explicit SplitResultViewer(QWidget* parent = nullptr);

    // Shows the body as typed and the parts (code page 932, at most nine)
    // modally; true for OK.
    bool Review(const std::string& body, const std::vector<std::string>& parts);

    [[nodiscard]] QPushButton* PartButton(int k) const { return partButtons_[static_cast<std::size_t>(k - 1)]; }
    [[nodiscard]] QPlainTextEdit* ResultMemo() const { return result_; }
    [[nodiscard]] QPlainTextEdit* SourceMemo() const { return source_; }
    [[nodiscard]] QTabWidget* Tabs() const { return tabs_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowPart(int k);

    QTabWidget* tabs_ = nullptr;
    QPlainTextEdit* source_ = nullptr;
    QPlainTextEdit* result_ = nullptr;
    std::vector<QPushButton*> partButtons_;
    std::vector<std::string> parts_;
    bool shownOnce_ = false;
};

} // namespace kitemail
