#pragma once
// The about box: the program's name and "Version " followed by its version.

#include <QDialog>

namespace kitemail {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

// "Version 0.50"
[[nodiscard]] QString VersionText();

} // namespace kitemail
