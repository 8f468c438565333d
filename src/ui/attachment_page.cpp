#include "ui/attachment_page.h"

#include "platform/text_codec.h"
#include "send/attachment_commands.h"
#include "send/message_composer.h"
#include "settings/settings.h"
#include "ui/file_properties.h"
#include "ui/object_names.h"
#include "ui/sjis_field.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace kitemail {
namespace {

// A dropped or chosen file as the list holds it. A URL that names no local
// file keeps its text, so that it is refused as missing.
ComposedText ListPath(const QUrl& url)
{
    return ComposeSjis(url.isLocalFile() ? url.toLocalFile() : url.toString());
}

} // namespace

AttachmentPage::AttachmentPage(AttachmentCommands& commands, MessageComposer& composer, const Settings& settings,
                               QWidget* parent)
    : QWidget(parent), commands_(commands), composer_(composer), settings_(settings)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);

    group_ = new QGroupBox(QStringLiteral("添付ファイル"));
    group_->setObjectName(QStringLiteral("AttachmentGroup"));
    auto* group = new QVBoxLayout(group_);
    group->setContentsMargins(4, 2, 4, 4);
    group->addWidget(new QLabel(QStringLiteral("ファイル一覧（D&Dで追加）")));
    list_ = new QListWidget;
    list_->setObjectName(object_names::kAttachmentList);
    list_->setAttribute(Qt::WA_InputMethodEnabled, false);
    list_->setAcceptDrops(true);
    list_->viewport()->setAcceptDrops(true);
    list_->viewport()->installEventFilter(this);
    group->addWidget(list_, 1);
    auto* row = new QHBoxLayout;
    auto* clear = new QPushButton(QStringLiteral("クリア"));
    clear->setObjectName(object_names::kAttachmentClear);
    animeCheck_ = new QCheckBox(QStringLiteral("アニメモード"));
    animeCheck_->setObjectName(object_names::kAnimeCheck);
    row->addWidget(clear);
    row->addWidget(animeCheck_, 1);
    group->addLayout(row);
    layout->addWidget(group_, 1);

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("AttachmentMenu"));
    const auto item = [this](const char* caption, const char* name) {
        QAction* a = menu_->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    connect(item("開く", "AttachmentOpen"), &QAction::triggered, this, &AttachmentPage::OpenHighlighted);
    connect(item("削除", object_names::kAttachmentDelete), &QAction::triggered, this,
            [this] { Act([this] { commands_.Remove(list_->currentRow()); }); });
    menu_->addSeparator();
    connect(item("プロパティー", "AttachmentProperties"), &QAction::triggered, this,
            &AttachmentPage::ShowHighlightedProperties);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, &AttachmentPage::ShowMenu);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
        if (settings_.AttachmentDoubleClickProperties) {
            ShowHighlightedProperties();
        } else {
            OpenHighlighted();
        }
    });
    // A click recounts: the files may have changed on disk.
    connect(list_, &QListWidget::itemClicked, this, [this] { Act([this] { composer_.Recount(); }); });
    connect(clear, &QPushButton::clicked, this, [this] { Act([this] { (void)commands_.ClearAsked(); }); });
}

template <typename Command>
void AttachmentPage::Act(Command&& command)
{
    command();
    Sync();
    emit changed();
}

void AttachmentPage::ChooseFiles()
{
    QFileDialog dialog(window(), QStringLiteral("添付ファイルを選択"));
    dialog.setObjectName(QStringLiteral("AttachmentDialog"));
    // "*" is every file here: "*.*" would leave out the names without a dot.
    dialog.setNameFilter(QStringLiteral("全てのファイル(*)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setSizeGripEnabled(true);
    const bool chosen = dialog.exec() == QDialog::Accepted;
    Act([&] {
        if (!chosen) {
            composer_.Recount();
            return;
        }
        std::vector<ComposedText> paths;
        for (const QUrl& url : dialog.selectedUrls()) {
            paths.push_back(ListPath(url));
        }
        commands_.AddChosen(paths);
    });
}

void AttachmentPage::Drop(const QMimeData& dropped)
{
    std::vector<ComposedText> paths;
    for (const QUrl& url : dropped.urls()) {
        paths.push_back(ListPath(url));
    }
    Act([&] { commands_.AddDropped(paths); });
}

bool AttachmentPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != list_->viewport()) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->mimeData()->hasUrls() && list_->isEnabled()) {
            drag->acceptProposedAction();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls() || !list_->isEnabled()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        Drop(*drop->mimeData());
        return true;
    }
    default: return QWidget::eventFilter(watched, event);
    }
}

void AttachmentPage::Sync()
{
    const std::vector<std::string>& paths = composer_.Attachments();
    if (paths == shown_) {
        return;
    }
    const int current = list_->currentRow();
    list_->clear();
    const QFileIconProvider icons;
    for (const std::string& path : paths) {
        const QString full = DecodeSjis(path);
        auto* item = new QListWidgetItem(icons.icon(QFileInfo(full)), DecodeSjis(FileNamePart(path)), list_);
        item->setData(Qt::UserRole, full);
        item->setToolTip(full);
    }
    shown_ = paths;
    list_->setCurrentRow(std::min(current, list_->count() - 1));
}

void AttachmentPage::SetAvailable(bool attachments, bool animationMode)
{
    group_->setEnabled(attachments);
    animeCheck_->setEnabled(animationMode);
}

bool AttachmentPage::AnimeMode() const
{
    return animeCheck_->isChecked();
}

QString AttachmentPage::HighlightedPath() const
{
    const QListWidgetItem* item = list_->currentItem();
    return item != nullptr ? item->data(Qt::UserRole).toString() : QString();
}

void AttachmentPage::OpenHighlighted()
{
    const QString path = HighlightedPath();
    if (!path.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

void AttachmentPage::ShowHighlightedProperties()
{
    const QString path = HighlightedPath();
    if (!path.isEmpty()) {
        ShowFileProperties(window(), path);
    }
}

void AttachmentPage::ShowMenu(QPoint pos)
{
    const bool highlighted = list_->currentItem() != nullptr;
    for (QAction* a : menu_->actions()) {
        a->setEnabled(highlighted);
    }
    menu_->popup(list_->viewport()->mapToGlobal(pos));
}

} // namespace kitemail
