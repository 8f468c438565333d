#pragma once
// "POP3認証": asks for the POP3 password when none is stored.

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace kitemail {

class PasswordPrompt : public QDialog {
    Q_OBJECT
public:
    explicit PasswordPrompt(QWidget* parent = nullptr);

    // Modal; the typed password (code page 932) on OK, nullopt on Cancel. The
    // box keeps its text between uses, offering the password typed last.
    std::optional<std::string> Ask();

    [[nodiscard]] QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_ = nullptr;
};

} // namespace kitemail
