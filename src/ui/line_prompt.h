#pragma once
// A small modal box asking for one line: the POP3 password prompt
// "POP3認証" and the telephone-link input box. A character Shift_JIS cannot
// hold is refused on OK with a message naming it, and the box stays open.

#include <QDialog>
#include <QLineEdit>

#include <optional>
#include <string>

namespace kitemail {

class LinePrompt : public QDialog {
    Q_OBJECT
public:
    LinePrompt(const QString& caption, const QString& prompt, QLineEdit::EchoMode echo, QWidget* parent = nullptr);

    // Modal; the typed text (code page 932) on OK, nullopt on Cancel. The
    // box keeps its text between uses unless initial gives a new one.
    std::optional<std::string> Ask(const std::optional<QString>& initial = std::nullopt);

    void accept() override;

    [[nodiscard]] QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_ = nullptr;
    std::string accepted_;
};

// "POP3認証": asks for the POP3 password when none is stored; offers the
// one typed last since the program started.
[[nodiscard]] LinePrompt* NewPasswordPrompt(QWidget* parent);
// "SMTP認証": the same for the SMTP login when no AuthPass is stored.
[[nodiscard]] LinePrompt* NewSmtpPasswordPrompt(QWidget* parent);

} // namespace kitemail
