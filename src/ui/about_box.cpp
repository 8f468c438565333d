#include "ui/about_box.h"

#include "platform/program_version.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kitemail {

QString VersionText()
{
    return QStringLiteral("Version ") +
           QString::fromLatin1(ProgramVersion.data(), static_cast<qsizetype>(ProgramVersion.size()));
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QString::fromUtf8("バージョン情報"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("Kitemail Pro"));
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(VersionText());
    version->setObjectName(QStringLiteral("VersionLabel"));
    version->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}

} // namespace kitemail
