#include "ui/line_prompt.h"

#include "platform/text_codec.h"
#include "ui/message_boxes.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kitemail {
namespace {

// The password prompt's designed client area.
constexpr int kPasswordWidth = 338;
constexpr int kPasswordHeight = 95;

} // namespace

LinePrompt::LinePrompt(const QString& caption, const QString& prompt, QLineEdit::EchoMode echo, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint)
{
    setWindowTitle(caption);
    setModal(true);
    auto* label = new QLabel(prompt);
    edit_ = new QLineEdit;
    edit_->setEchoMode(echo);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(box);
}

std::optional<std::string> LinePrompt::Ask(const std::optional<QString>& initial)
{
    if (initial) {
        edit_->setText(*initial);
    }
    edit_->setFocus();
    edit_->selectAll();
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return accepted_;
}

void LinePrompt::accept()
{
    // Replaced or dropped, the character would make another text than the
    // one typed: a password that fails for no visible reason.
    SjisEncoding encoded = EncodeSjis(edit_->text());
    if (!encoded.ok()) {
        ShowMessageBox(this, Sj("Shift_JISで表せない文字は使えません（") + CodePointNames(encoded.unmappable) + ")");
        edit_->setFocus();
        return;
    }
    accepted_ = std::move(encoded.bytes);
    QDialog::accept();
}

namespace {

LinePrompt* NewHiddenPrompt(const QString& caption, const QString& text, const QString& objectName, QWidget* parent)
{
    auto* prompt = new LinePrompt(caption, text, QLineEdit::Password, parent);
    prompt->setObjectName(objectName);
    prompt->setFixedSize(kPasswordWidth, kPasswordHeight + 20);
    return prompt;
}

} // namespace

LinePrompt* NewPasswordPrompt(QWidget* parent)
{
    return NewHiddenPrompt(QStringLiteral("POP3認証"), QStringLiteral("パスワードを入力して下さい。"),
                           QStringLiteral("PasswordPrompt"), parent);
}

LinePrompt* NewSmtpPasswordPrompt(QWidget* parent)
{
    return NewHiddenPrompt(QStringLiteral("SMTP認証"), QStringLiteral("SMTPサーバーのパスワードを入力して下さい。"),
                           QStringLiteral("SmtpPasswordPrompt"), parent);
}

} // namespace kitemail
