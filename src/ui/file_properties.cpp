#include "ui/file_properties.h"

#include "platform/date_text.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>

namespace kitemail {
namespace {

QString DateText(const QDateTime& when)
{
    if (!when.isValid()) {
        return QStringLiteral("不明");
    }
    const QDateTime local = when.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return LocaleDateTimeText({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

QLabel* Value(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

QDialog* ShowFileProperties(QWidget* parent, const QString& path)
{
    const QFileInfo info(path);
    auto* window = new QDialog(parent);
    window->setObjectName(QStringLiteral("FileProperties"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(info.fileName() + QStringLiteral(" のプロパティー"));

    auto* form = new QFormLayout;
    auto* icon = new QLabel;
    icon->setPixmap(QFileIconProvider().icon(info).pixmap(32, 32));
    form->addRow(icon, Value(info.fileName()));
    form->addRow(QStringLiteral("場所:"), Value(info.absolutePath()));
    if (!info.exists()) {
        form->addRow(QStringLiteral("状態:"), Value(QStringLiteral("ファイルが見つかりません")));
    } else {
        const QLocale locale;
        form->addRow(QStringLiteral("種類:"), Value(QMimeDatabase().mimeTypeForFile(info).comment()));
        form->addRow(QStringLiteral("サイズ:"), Value(locale.formattedDataSize(info.size()) + QStringLiteral(" (") +
                                                     locale.toString(info.size()) + QStringLiteral(" バイト)")));
        form->addRow(QStringLiteral("作成日時:"), Value(DateText(info.birthTime())));
        form->addRow(QStringLiteral("更新日時:"), Value(DateText(info.lastModified())));
        form->addRow(QStringLiteral("アクセス日時:"), Value(DateText(info.lastRead())));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addLayout(form);
    layout->addWidget(buttons);
    window->show();
    return window;
}

} // namespace kitemail
