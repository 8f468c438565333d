#pragma once
// The settings dialog. It owns the dialog's half of the settings: it loads
// them when it is created and saves them every time it closes, whatever
// closed it, then pushes the address book, the sender list and the Subject
// bar into the main window. Its pages are still to be filled in; until
// then it shows their tabs only.

#include "settings/settings.h"

#include <QDialog>

#include <filesystem>

class QTabWidget;

namespace kitemail {

class MainWindow;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(Settings& settings, std::filesystem::path dataDir, MainWindow& mainWindow,
                   QWidget* parent = nullptr);

    void done(int result) override;

    // The tab of the address-book page.
    static constexpr int kAddressBookPage = 0;

private:
    Settings& settings_;
    std::filesystem::path dataDir_;
    MainWindow& main_;
    QTabWidget* pages_;
};

} // namespace kitemail
