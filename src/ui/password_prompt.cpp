#include "ui/password_prompt.h"

#include "platform/text_codec.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kitemail {

PasswordPrompt::PasswordPrompt(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("POP3認証"));
    setModal(true);
    auto* label = new QLabel(QStringLiteral("パスワードを入力して下さい。"));
    edit_ = new QLineEdit;
    edit_->setEchoMode(QLineEdit::Password);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(box);
    setFixedSize(338, 95 + 20);
}

std::optional<std::string> PasswordPrompt::Ask()
{
    edit_->setFocus();
    edit_->selectAll();
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    // A character the code page cannot hold cannot be sent; it is refused
    // by the caller rather than replaced here.
    const SjisEncoding encoded = EncodeSjis(edit_->text());
    if (!encoded.ok()) {
        return std::nullopt;
    }
    return encoded.bytes;
}

} // namespace kitemail
