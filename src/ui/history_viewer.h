#pragma once
// The history window (TForm3): the records of the history folder by
// recipient, one shown as text, deleting one or all. The reading and
// deleting are HistoryBrowser's; this window only shows them.

#include "ui/dialog_user_interface.h"
#include "send/history_folder.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace kitemail {

struct Settings;

class HistoryViewer : public QDialog, public DialogUserInterface {
    Q_OBJECT
public:
    HistoryViewer(const Settings& settings, std::filesystem::path folder, UserInterface& owner,
                  QWidget* parent = nullptr);
    ~HistoryViewer() override;

    [[nodiscard]] const HistoryBrowser& Browser() const noexcept { return browser_; }
    // "再送信": what takes the selected record (its whole text) to the main
    // window; when it did (true), this window closes. Greyed until given.
    void SetResend(std::function<bool(const std::string& record)> resend);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The window as it is shown: the folder read again, all recipients.
    void Rebuild();
    // The filter and the list as the browser holds them.
    void ShowBrowser();
    // The record list from the browser's items; the last one shown.
    void FillList();
    void ShowRecord(int row);
    void FilterChanged(int index);
    void DeleteOne();
    void Clear();
    void Resend();
    void EmptyView();

    const Settings& settings_;
    HistoryBrowser browser_;
    QListWidget* list_ = nullptr;      // ListBox3
    QLabel* position_ = nullptr;       // Label19
    QPlainTextEdit* text_ = nullptr;   // Memo2
    QLabel* decodeNote_ = nullptr;     // bytes of the record that are no Shift_JIS
    QComboBox* filter_ = nullptr;      // ToMask
    QAction* resend_ = nullptr;        // the button and the list's context menu
    std::function<bool(const std::string&)> resendTo_;
};

} // namespace kitemail
