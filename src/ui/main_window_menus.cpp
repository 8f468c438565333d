// The main window's menus, its bars and the bars' places: built once, with
// each item bound to the window's command for it.

#include "ui/main_window.h"

#include "platform/clock.h"
#include "platform/date_text.h"
#include "platform/text_codec.h"
#include "ui/attachment_page.h"
#include "ui/bar_area.h"
#include "ui/count_terms_window.h"
#include "ui/developer_tools.h"
#include "ui/main_window_parts.h"
#include "ui/object_names.h"
#include "ui/utf8_text.h"
#include "ui/window_placement.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace kitemail {
namespace {

constexpr int kDeveloperBarWidth = 235;
constexpr int kKlabBarWidth = 100;
// Fixed widths of the bars; only their places are stored.
constexpr int kMenuBarWidth = 286;
constexpr int kToolBarWidth = 182;
constexpr int kSenderBarWidth = 305;
constexpr int kSubjectBarWidth = 411;
constexpr int kDeveloperBarTop = 50;
constexpr int kKlabBarTop = 74;
// The tool bar's width after "ツールバーの配置を復元", narrower than at start-up.
constexpr int kRestoredToolBarWidth = 123;
constexpr int kSendButtonWidth = 49;
constexpr int kToolButtonWidth = 23;

QToolBar* FlatToolBar(QWidget* parent)
{
    auto* bar = new QToolBar(parent);
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setStyleSheet(QStringLiteral("QToolBar { border: none; spacing: 0px; }"));
    return bar;
}

} // namespace

using main_window_parts::SetHint;
using main_window_parts::Slot;

QAction* MainWindow::AddMenuAction(QMenu* menu, const QString& text, const char* objectName,
                                   std::function<void()> command, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setEnabled(static_cast<bool>(command));
    if (command) {
        connect(action, &QAction::triggered, this, std::move(command));
    }
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The menu is no menu line of the window: the panel that holds every
        // input area carries the shortcuts, so they work wherever the focus
        // is, and not while the panel is locked during a send.
        mainPanel_->addAction(action);
    }
    return action;
}

void MainWindow::BuildMenus()
{
    auto* menuBar = new QMenuBar;
    menuBar->setObjectName(object_names::kMenuLine);
    menuBar->setNativeMenuBar(false);
    const auto opener = [this](QMenu* menu, const char* text, const char* name, Opener which) {
        QAction* item = AddMenuAction(menu, Q(text), name, [this, which] { RunOpener(which); });
        item->setEnabled(false);
        openers_[Slot(which)].menuItem = item;
    };

    QMenu* file = menuBar->addMenu(Q("ファイル(&F)"));
    sendAction_ = AddMenuAction(
        file, Q("メッセージを送信(&G)"), object_names::kSend,
        [this] {
            workflow_->Send();
            SyncAll();
        },
        QKeySequence(Qt::CTRL | Qt::Key_G));
    file->addSeparator();
    AddMenuAction(file, Q("本文を開く(&O)..."), object_names::kOpenBody, [this] { OpenBody(); });
    AddMenuAction(file, Q("本文を保存(&S)..."), object_names::kSaveBody, [this] { SaveBody(); });
    openAttachmentAction_ =
        AddMenuAction(file, Q("添付ファイルを開く(&A)..."), object_names::kOpenAttachment, [this] { attachmentPage_->ChooseFiles(); });
    file->addSeparator();
    AddMenuAction(file, Q("終了(&X)"), object_names::kExit, [this] { close(); });

    QMenu* edit = menuBar->addMenu(Q("編集(&E)"));
    BuildEditMenu(edit);

    QMenu* insert = menuBar->addMenu(Q("挿入(&I)"));
    QMenu* signature = insert->addMenu(Q("署名(&S)"));
    const auto signatureItem = [&](const char* text, const char* name, Signature which) {
        return AddMenuAction(signature, Q(text), name, [this, which] { InsertSjis(textCommands_.SignatureText(which)); });
    };
    signatureAAction_ = signatureItem("TypeA(&A) : 設定されていません。", object_names::kSignatureAItem, Signature::A);
    signatureBAction_ = signatureItem("TypeB(&B) : 設定されていません。", object_names::kSignatureBItem, Signature::B);
    signatureItem("自動挿入用(&C)", object_names::kSignatureAuto, Signature::Automatic);
    ShowSignatureCaptions();
    AddMenuAction(insert, Q("日時(&D)"), object_names::kInsertDate, [this] { InsertIntoBody(DateInsertText(LocalNow())); });
    AddMenuAction(insert, Q("電話番号リンク(&T)..."), object_names::kInsertTel, [this] {
        if (const std::optional<std::string> link = textCommands_.AskTelephoneLink()) {
            InsertSjis(*link);
        }
    });

    QMenu* tools = menuBar->addMenu(Q("ツール(&T)"));
    opener(tools, "プレビュー(&P)...", object_names::kPreview, Opener::Preview);
    opener(tools, "ダイエット(&D)...", object_names::kDiet, Opener::Diet);
    opener(tools, "送信履歴(&L)", object_names::kHistory, Opener::History);
    AddMenuAction(tools, Q("容量の内訳(&B)..."), object_names::kCountTerms, [this] { countExplainer_->OpenWindow(); });
    tools->addSeparator();
    opener(tools, "設定(&S)...", object_names::kSettings, Opener::Settings);

    QMenu* help = menuBar->addMenu(Q("ヘルプ(&H)"));
    opener(help, "バージョン情報(&A)...", object_names::kAbout, Opener::About);

    menuBar_ = new Bar(object_names::kMenuBar, menuBar, kMenuBarWidth, barArea_);
}

void MainWindow::BuildEditMenu(QMenu* edit)
{
    // One-line boxes and the body have a slot of the same name for each.
    struct EditRow {
        const char* text;
        const char* name;
        Qt::Key key; // with Ctrl
        const char* slot;
    };
    const EditRow rows[] = {
        {"元に戻す(&U)", object_names::kUndo, Qt::Key_Z, "undo"},    {"切り取り(&T)", object_names::kCut, Qt::Key_X, "cut"},
        {"コピー(&C)", object_names::kCopy, Qt::Key_C, "copy"},      {"貼り付け(&P)", object_names::kPaste, Qt::Key_V, "paste"},
        {"すべて選択(&L)", object_names::kSelectAll, Qt::Key_A, "selectAll"},
    };
    for (const EditRow& row : rows) {
        const auto act = [this, slot = row.slot] {
            if (QWidget* target = EditTarget()) {
                QMetaObject::invokeMethod(target, slot);
            }
        };
        editActions_.push_back(AddMenuAction(edit, Q(row.text), row.name, act, QKeySequence(Qt::CTRL | row.key)));
        if (row.key == Qt::Key_Z) {
            edit->addSeparator();
        } else if (row.key == Qt::Key_V) {
            quotedPasteAction_ = AddMenuAction(edit, Q("引用符つき貼り付け(&Q)"), object_names::kQuotedPaste, [this] { QuotedPaste(); },
                                               QKeySequence(Qt::CTRL | Qt::Key_Q));
        }
    }
    edit->addSeparator();
    AddMenuAction(edit, Q("クリア(&E)"), object_names::kClear, [this] { RunClear(); });
    connect(edit, &QMenu::aboutToShow, this, &MainWindow::SyncEditActions);
    SyncEditActions();
}

void MainWindow::BuildBars()
{
    QStyle* s = style();

    // Tool bar: "送信" with its caption, then image buttons with hints.
    QToolBar* tools = FlatToolBar(nullptr);
    tools->setObjectName(object_names::kToolBar);
    const auto button = [&](const QIcon& icon, const char* hint, const char* name, int width) {
        QAction* a = tools->addAction(icon, Q(hint));
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(Q(hint));
        if (auto* b = qobject_cast<QToolButton*>(tools->widgetForAction(a))) {
            b->setFixedWidth(width);
        }
        return a;
    };
    sendButton_ = button({}, "送信", object_names::kSendButton, kSendButtonWidth);
    connect(sendButton_, &QAction::triggered, sendAction_, &QAction::trigger);
    tools->addSeparator();
    connect(button(s->standardIcon(QStyle::SP_DialogResetButton), "クリア", object_names::kClearButton, kToolButtonWidth),
            &QAction::triggered, this, &MainWindow::RunClear);
    const struct {
        QStyle::StandardPixmap icon;
        const char* hint;
        const char* name;
        Opener opener;
    } openers[] = {
        {QStyle::SP_FileDialogDetailedView, "設定", object_names::kSettingsButton, Opener::Settings},
        {QStyle::SP_FileDialogContentsView, "履歴", object_names::kHistoryButton, Opener::History},
        {QStyle::SP_FileDialogInfoView, "プレビュー", object_names::kPreviewButton, Opener::Preview},
    };
    for (const auto& o : openers) {
        QAction* a = button(s->standardIcon(o.icon), o.hint, o.name, kToolButtonWidth);
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, [this, which = o.opener] { RunOpener(which); });
        openers_[Slot(o.opener)].toolButton = a;
    }
    tools->addSeparator();
    connect(button(s->standardIcon(QStyle::SP_DialogCloseButton), "終了", object_names::kExitButton, kToolButtonWidth),
            &QAction::triggered, this, &QWidget::close);
    toolBar_ = new Bar(object_names::kToolBarBar, tools, kToolBarWidth, barArea_);

    // Sender bar.
    auto* sender = new QWidget;
    auto* senderLayout = new QHBoxLayout(sender);
    senderLayout->setContentsMargins(0, 0, 0, 0);
    senderLayout->setSpacing(2);
    fromCheck_ = new QCheckBox(QStringLiteral("From : "));
    fromCheck_->setObjectName(object_names::kFromCheck);
    SetHint(fromCheck_, "チェックを入れるとアドレス帳の設定に関わらず、ここで指定した送信元で送信します。");
    senderBox_ = new QComboBox;
    senderBox_->setObjectName(object_names::kSenderBox);
    senderBox_->setEditable(false);
    senderBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    senderLayout->addWidget(fromCheck_);
    senderLayout->addWidget(senderBox_, 1);
    senderBar_ = new Bar(object_names::kSenderBar, sender, kSenderBarWidth, barArea_);

    // Subject bar.
    auto* subject = new QWidget;
    auto* subjectLayout = new QHBoxLayout(subject);
    subjectLayout->setContentsMargins(0, 0, 0, 0);
    subjectLayout->setSpacing(2);
    subjectLayout->addWidget(new QLabel(QStringLiteral("Subject :")));
    subjectBarBox_ = new QLineEdit;
    subjectBarBox_->setObjectName(object_names::kSubjectBarBox);
    subjectLayout->addWidget(subjectBarBox_, 1);
    subjectBar_ = new Bar(object_names::kSubjectBar, subject, kSubjectBarWidth, barArea_);

    // Developer tool bar and the vertical-writing bar.
    QToolBar* developer = FlatToolBar(nullptr);
    developer->setObjectName(QStringLiteral("DeveloperToolBar"));
    developer->setWindowTitle(QStringLiteral("Developer's ToolBar"));
    developerTools_ = new DeveloperTools(developer, settings_, *this, *this, composer_);
    developerBar_ = new Bar(object_names::kDeveloperBar, developer, kDeveloperBarWidth, barArea_);

    QToolBar* klab = FlatToolBar(nullptr);
    klab->setObjectName(QStringLiteral("KToolBar"));
    QAction* vertical = klab->addAction(Q("縦書き化！"));
    vertical->setObjectName(object_names::kVerticalWriting);
    vertical->setToolTip(Q("注：Undo機能は無効です。"));
    connect(vertical, &QAction::triggered, this, &MainWindow::RunVerticalWriting);
    klabBar_ = new Bar(object_names::kKlabBar, klab, kKlabBarWidth, barArea_);

    // Hiding a developer bar lasts for this run only.
    const std::pair<Bar*, const char*> hideItems[] = {
        {developerBar_, "デベロッパーツールバーを隠す"},
        {klabBar_, "Kツールバーを隠す"},
    };
    for (const auto& [bar, caption] : hideItems) {
        auto* hide = new QAction(Q(caption), bar);
        hide->setObjectName(QStringLiteral("Hide") + bar->objectName());
        connect(hide, &QAction::triggered, bar, &QWidget::hide);
        bar->setContextMenuPolicy(Qt::ActionsContextMenu);
        bar->Content()->setContextMenuPolicy(Qt::NoContextMenu);
        bar->addAction(hide);
    }
}

void MainWindow::ShowSignatureCaptions()
{
    const auto show = [this](QAction* item, const char* prefix, Signature which) {
        const std::string& signature = textCommands_.SignatureText(which);
        item->setText(Q(prefix) + (signature.empty() ? Q("設定されていません。") : DecodeSjis(signature)));
        item->setEnabled(textCommands_.SignatureEnabled(which));
    };
    show(signatureAAction_, "TypeA(&A) : ", Signature::A);
    show(signatureBAction_, "TypeB(&B) : ", Signature::B);
}

void MainWindow::ApplyStartupLayout()
{
    if (settings_.RememberWindowPosition) {
        move(settings_.Left, settings_.Top);
    }
    if (settings_.RememberWindowSize) {
        resize(settings_.Width, settings_.Height);
    }
    // A remembered place may be on a monitor since unplugged.
    if (settings_.RememberWindowPosition) {
        KeepOnScreen(this);
    }
    developerBar_->setVisible(settings_.DeveloperToolBar);
    klabBar_->setVisible(settings_.DeveloperKlab);
    menuBar_->SetPosition({settings_.MenuLeft, settings_.MenuTop});
    toolBar_->SetPosition({settings_.ToolLeft, settings_.ToolTop});
    senderBar_->SetPosition({settings_.FromLeft, settings_.FromTop});
    subjectBar_->SetPosition({settings_.SubjectLeft, settings_.SubjectTop});
    developerBar_->SetPosition({0, kDeveloperBarTop});
    klabBar_->SetPosition({0, kKlabBarTop});
    barArea_->Arrange();
    subjectBar_->setVisible(settings_.ShowSubjectBar);
    composer_.TypeBoxChanged(settings_.DefaultType);
}

void MainWindow::RestoreBarLayout()
{
    struct Place {
        Bar* bar;
        int top;
        int left; // -1: stays where it is
        int width;
    };
    const Place places[] = {
        {menuBar_, 2, 11, kMenuBarWidth},          {toolBar_, 26, 11, kRestoredToolBarWidth},
        {senderBar_, 2, 310, kSenderBarWidth},     {developerBar_, kDeveloperBarTop, 0, kDeveloperBarWidth},
        {klabBar_, kDeveloperBarTop, -1, kKlabBarWidth}, {subjectBar_, 26, 147, kSubjectBarWidth},
    };
    for (const Place& p : places) {
        p.bar->SetWidth(p.width);
        p.bar->SetPosition({p.left < 0 ? p.bar->Position().x() : p.left, p.top});
    }
    barArea_->Arrange();
}

void MainWindow::StoreLayoutInto(Settings& settings) const
{
    settings.Left = x();
    settings.Top = y();
    settings.Width = width();
    settings.Height = height();
    settings.MenuTop = menuBar_->Position().y();
    settings.MenuLeft = menuBar_->Position().x();
    settings.ToolTop = toolBar_->Position().y();
    settings.ToolLeft = toolBar_->Position().x();
    settings.FromTop = senderBar_->Position().y();
    settings.FromLeft = senderBar_->Position().x();
    settings.SubjectTop = subjectBar_->Position().y();
    settings.SubjectLeft = subjectBar_->Position().x();
}

} // namespace kitemail
