// The main window's commands on the body and the input boxes: the edit
// menu's target, quoted paste, inserting at the caret, opening and saving
// the body, and the whole body replaced by a text command.

#include "ui/main_window.h"

#include "platform/text_codec.h"
#include "ui/bar_area.h"
#include "ui/recipient_page.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>

#include <initializer_list>

namespace kitemail {
namespace {

std::filesystem::path LocalPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// The body file dialogs: text files, "txt" added to a name without it; the
// save dialog asks before it replaces a file.
QString AskBodyFile(QWidget* parent, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("BodyFileDialog"));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromUtf8("テキストファイル(*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

} // namespace

QWidget* MainWindow::EditTarget() const
{
    // The window's own focus, which stays while its menus are open; the
    // menu line opened from the keyboard holds it meanwhile.
    QWidget* focused = focusWidget();
    if (focused != nullptr && menuBar_->isAncestorOf(focused)) {
        focused = editFocus_;
    }
    for (QWidget* box : std::initializer_list<QWidget*>{bodyBox_, recipientPage_->AddressBox(), subjectBox_, pinBox_, subjectBarBox_}) {
        if (focused == box) {
            return box;
        }
    }
    return nullptr;
}

void MainWindow::SyncEditActions()
{
    QWidget* target = EditTarget();
    for (QAction* a : editActions_) {
        a->setEnabled(target != nullptr);
    }
    quotedPasteAction_->setEnabled(target == bodyBox_);
}

void MainWindow::QuotedPaste()
{
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    if (clip == nullptr || !clip->hasText()) {
        return;
    }
    const QByteArray utf8 = clip->text().toUtf8();
    InsertIntoBody(QString::fromStdString(QuotedLines(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())))));
}

void MainWindow::InsertIntoBody(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QTextCursor cursor = bodyBox_->textCursor();
    cursor.insertText(lines);
    bodyBox_->setTextCursor(cursor);
}

void MainWindow::InsertSjis(const std::string& sjis)
{
    InsertIntoBody(DecodeSjis(sjis));
}

void MainWindow::OpenBody()
{
    const QString chosen = AskBodyFile(this, QFileDialog::AcceptOpen);
    if (chosen.isEmpty()) {
        return;
    }
    const std::optional<BodyFileText> file = textCommands_.OpenBody(LocalPath(chosen));
    if (!file) {
        return;
    }
    ReplaceBody(file->utf8 ? QString::fromStdString(file->text) : DecodeSjis(file->text));
}

void MainWindow::ReplaceBody(const QString& text)
{
    bodyBox_->selectAll();
    InsertIntoBody(text);
    bodyBox_->moveCursor(QTextCursor::Start);
}

void MainWindow::RunVerticalWriting()
{
    if (const std::optional<std::string> body = textCommands_.VerticalWriting()) {
        ReplaceBody(DecodeSjis(*body));
    }
}

void MainWindow::SaveBody()
{
    const QString chosen = AskBodyFile(this, QFileDialog::AcceptSave);
    if (!chosen.isEmpty()) {
        (void)textCommands_.SaveBody(LocalPath(chosen));
    }
}

} // namespace kitemail
