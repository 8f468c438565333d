#include "ui/main_window.h"

#include "platform/clock.h"
#include "platform/data_dir.h"
#include "platform/date_text.h"
#include "platform/text_codec.h"
#include "send/close_query.h"
#include "settings/address_book.h"
#include "ui/attachment_page.h"
#include "ui/bar_area.h"
#include "ui/check_list_box.h"
#include "ui/developer_tools.h"
#include "ui/line_prompt.h"
#include "ui/message_boxes.h"
#include "ui/row_drag.h"
#include "ui/sjis_field.h"
#include "ui/split_result_viewer.h"
#include "ui/status_line.h"
#include "ui/utf8_text.h"
#include "ui/window_placement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kDesignedWidth = 640;
constexpr int kDesignedHeight = 403;
constexpr int kTabWidth = 185;
constexpr int kSplitterWidth = 3;
constexpr int kClockPeriodMs = 200;
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
constexpr int kPinLength = 4;
constexpr int kSendButtonWidth = 49;
constexpr int kToolButtonWidth = 23;
constexpr int kTabTo = 0;
constexpr int kTabFile = 2;
constexpr std::size_t kOpenerCount = 5;

const char* const kAppTitle = "Kitemail Pro";

// Active input boxes have the window colour, inactive ones the button face.
void SetInputColour(QWidget* widget, bool windowColour)
{
    const QPalette app = QApplication::palette();
    const QColor colour = app.color(windowColour ? QPalette::Base : QPalette::Button);
    QPalette pal = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, colour);
        if (qobject_cast<QComboBox*>(widget) != nullptr) {
            pal.setColor(group, QPalette::Button, colour);
        }
    }
    widget->setPalette(pal);
}

std::size_t Slot(Opener which)
{
    return static_cast<std::size_t>(which);
}

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

// "short|long" hints: the short part is the tool tip.
void SetHint(QWidget* widget, const char* hint)
{
    const QString text = Q(hint);
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    widget->setToolTip(bar < 0 ? text : text.left(bar));
    widget->setStatusTip(bar < 0 ? text : text.mid(bar + 1));
}

void SetImeOff(QWidget* widget)
{
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    widget->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
}

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

const std::vector<CarrierSuffix>& CarrierSuffixes()
{
    static const std::vector<CarrierSuffix> suffixes = {
        {"DoCoMo", "@docomo.ne.jp"},
        {"au", "@ezweb.ne.jp"},
        {"vodafone", "@?.vodafone.ne.jp"},
        {"Tu-Ka", "@sky.tk?.ne.jp"},
        {"DDI Pocket", "@?.pdx.ne.jp"},
    };
    return suffixes;
}

QString TabHighlightStyleSheet(bool on)
{
    return on ? QStringLiteral("QTabBar::tab:hover { color: palette(highlight); }") : QString();
}

MainWindow::MainWindow(Settings& settings, SettingsFile& settingsFile, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      settingsFile_(settingsFile),
      dataDir_(settingsFile.Dir()),
      composer_(settings_, *this),
      textCommands_(settings_, composer_, *this),
      attachmentCommands_(settings_, composer_, *this)
{
    static_assert(std::tuple_size_v<decltype(openers_)> == kOpenerCount);
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(Q(kAppTitle));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    statusLine_ = new StatusLine(this);
    mainPanel_ = new QWidget(this);
    mainPanel_->setObjectName(QStringLiteral("MainPanel"));
    barArea_ = new BarArea(mainPanel_);

    BuildMenus();
    BuildBars();

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("PageControl1"));
    tabs_->setTabPosition(QTabWidget::South);
    tabs_->addTab(BuildToTab(), QStringLiteral("To :"));
    tabs_->addTab(BuildSubjectTab(), QStringLiteral("Subject :"));
    attachmentPage_ = new AttachmentPage(attachmentCommands_, composer_, settings_);
    tabs_->addTab(attachmentPage_, QStringLiteral("File :"));
    tabs_->setCurrentIndex(kTabTo);

    bodyBox_ = new QPlainTextEdit;
    bodyBox_->setObjectName(QStringLiteral("Memo1"));
    bodyBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    bodyBox_->setTabChangesFocus(false);

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setHandleWidth(kSplitterWidth);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(tabs_);
    splitter_->addWidget(bodyBox_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kTabWidth, kDesignedWidth - kTabWidth - kSplitterWidth});

    auto* panelLayout = new QVBoxLayout(mainPanel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    panelLayout->addWidget(barArea_);
    panelLayout->addWidget(splitter_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(mainPanel_, 1);
    layout->addWidget(statusLine_);

    BuildContextMenus();

    connect(bodyBox_, &QPlainTextEdit::textChanged, this, &MainWindow::BodyChanged);
    connect(addressBox_, &QLineEdit::textChanged, this, &MainWindow::AddressChanged);
    connect(subjectBox_, &QLineEdit::textChanged, this, &MainWindow::SubjectChanged);
    connect(pinBox_, &QLineEdit::textChanged, this, &MainWindow::PinChanged);
    connect(subjectBarBox_, &QLineEdit::textChanged, this, &MainWindow::SubjectBarChanged);
    connect(typeBox_, &QComboBox::currentIndexChanged, this, &MainWindow::TypeBoxChanged);
    connect(senderBox_, &QComboBox::currentIndexChanged, this, &MainWindow::SenderBoxChanged);
    connect(directModeButton_, &QRadioButton::clicked, this, [this] {
        composer_.SelectDirectMode();
        SyncAll();
    });
    connect(bookModeButton_, &QRadioButton::clicked, this, [this] {
        composer_.SelectAddressBookMode();
        SyncAll();
    });
    connect(fromCheck_, &QCheckBox::clicked, this, [this](bool on) { composer_.FromCheckClicked(on); });
    connect(bookList_, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { CheckListItemChanged(bookList_->row(item)); });
    connect(bookList_, &QListWidget::currentRowChanged, this,
            [this](int row) { composer_.SetHighlighted(row); });
    connect(bookList_->Drag(), &RowDrag::pressedOnRow, this, [this](int row) { composer_.DragBegin(row); });
    connect(bookList_->Drag(), &RowDrag::draggedOverRow, this, [this](int row) {
        composer_.DragOver(row);
        SyncCheckList();
    });
    connect(bookList_->Drag(), &RowDrag::droppedOnRow, this, [this](int row) {
        composer_.Drop(row);
        SyncCheckList();
    });
    connect(statusLine_, &StatusLine::abortClicked, this, &MainWindow::abortRequested);
    // "中止" is the window's cancel button: Esc presses it while it shows.
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, statusLine_->AbortButton(), &QPushButton::click);
    workflow_ = std::make_unique<SendWorkflow>(settings_, composer_, *this, *this, HistoryDirPath(dataDir_));
    splitViewer_ = new SplitResultViewer(this);
    passwordPrompt_ = NewPasswordPrompt(this);
    smtpPasswordPrompt_ = NewSmtpPasswordPrompt(this);
    connect(this, &MainWindow::abortRequested, this, [this] { workflow_->Abort(); });
    connect(attachmentPage_, &AttachmentPage::changed, this, &MainWindow::SyncCount);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == nullptr || !menuBar_->isAncestorOf(now)) {
            editFocus_ = now;
        }
        SyncEditActions();
    });

    // Clicking anywhere in a recipient group chooses its mode.
    for (QWidget* w : std::initializer_list<QWidget*>{directGroup_, addressLabel_, typeLabel_, addressBox_, typeBox_,
                                                      bookGroup_, bookLabel_, bookList_->viewport()}) {
        w->installEventFilter(this);
    }

    timer_ = new QTimer(this);
    timer_->setInterval(kClockPeriodMs);
    connect(timer_, &QTimer::timeout, this, &MainWindow::TimerTick);
    timer_->start();

    resize(kDesignedWidth, kDesignedHeight);
    settingsFile_.LoadMainWindowHalf(settings_);
    ApplyStartupLayout();
    SyncAll();
    statusLine_->Tick(settings_.ScrollLongStatusHints, QDateTime::currentDateTime());
}

MainWindow::~MainWindow()
{
    // Destroying the boxes moves the focus: nothing of this window may hear it.
    disconnect(qApp, nullptr, this, nullptr);
}

// ---------------------------------------------------------------- building

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
    menuBar->setObjectName(QStringLiteral("MainMenu"));
    menuBar->setNativeMenuBar(false);
    const auto opener = [this](QMenu* menu, const char* text, const char* name, Opener which) {
        QAction* item = AddMenuAction(menu, Q(text), name, [this, which] { RunOpener(which); });
        item->setEnabled(false);
        openers_[Slot(which)].menuItem = item;
    };

    QMenu* file = menuBar->addMenu(Q("ファイル(&F)"));
    sendAction_ = AddMenuAction(
        file, Q("メッセージを送信(&G)"), "Send1",
        [this] {
            workflow_->Send();
            SyncAll();
        },
        QKeySequence(Qt::CTRL | Qt::Key_G));
    file->addSeparator();
    AddMenuAction(file, Q("本文を開く(&O)..."), "OpenBody", [this] { OpenBody(); });
    AddMenuAction(file, Q("本文を保存(&S)..."), "SaveBody", [this] { SaveBody(); });
    openAttachmentAction_ =
        AddMenuAction(file, Q("添付ファイルを開く(&A)..."), "OpenAttachment", [this] { attachmentPage_->ChooseFiles(); });
    file->addSeparator();
    AddMenuAction(file, Q("終了(&X)"), "Exit1", [this] { close(); });

    QMenu* edit = menuBar->addMenu(Q("編集(&E)"));
    BuildEditMenu(edit);

    QMenu* insert = menuBar->addMenu(Q("挿入(&I)"));
    QMenu* signature = insert->addMenu(Q("署名(&S)"));
    const auto signatureItem = [&](const char* text, const char* name, Signature which) {
        return AddMenuAction(signature, Q(text), name, [this, which] { InsertSjis(textCommands_.SignatureText(which)); });
    };
    signatureAAction_ = signatureItem("TypeA(&A) : 設定されていません。", "SignatureA", Signature::A);
    signatureBAction_ = signatureItem("TypeB(&B) : 設定されていません。", "SignatureB", Signature::B);
    signatureItem("自動挿入用(&C)", "SignatureAuto", Signature::Automatic);
    ShowSignatureCaptions();
    AddMenuAction(insert, Q("日時(&D)"), "InsertDate", [this] { InsertIntoBody(DateInsertText(LocalNow())); });
    AddMenuAction(insert, Q("電話番号リンク(&T)..."), "InsertTel", [this] {
        if (const std::optional<std::string> link = textCommands_.AskTelephoneLink()) {
            InsertSjis(*link);
        }
    });

    QMenu* tools = menuBar->addMenu(Q("ツール(&T)"));
    opener(tools, "プレビュー(&P)...", "Preview1", Opener::Preview);
    opener(tools, "ダイエット(&D)...", "Diet1", Opener::Diet);
    opener(tools, "送信履歴(&L)", "History1", Opener::History);
    tools->addSeparator();
    opener(tools, "設定(&S)...", "Settings1", Opener::Settings);

    QMenu* help = menuBar->addMenu(Q("ヘルプ(&H)"));
    opener(help, "バージョン情報(&A)...", "About1", Opener::About);

    menuBar_ = new Bar(QStringLiteral("MenuBar"), menuBar, kMenuBarWidth, barArea_);
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
        {"元に戻す(&U)", "Undo1", Qt::Key_Z, "undo"},    {"切り取り(&T)", "Cut1", Qt::Key_X, "cut"},
        {"コピー(&C)", "Copy1", Qt::Key_C, "copy"},      {"貼り付け(&P)", "Paste1", Qt::Key_V, "paste"},
        {"すべて選択(&L)", "SelectAll1", Qt::Key_A, "selectAll"},
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
            quotedPasteAction_ = AddMenuAction(edit, Q("引用符つき貼り付け(&Q)"), "QuotedPaste1", [this] { QuotedPaste(); },
                                               QKeySequence(Qt::CTRL | Qt::Key_Q));
        }
    }
    edit->addSeparator();
    AddMenuAction(edit, Q("クリア(&E)"), "Clear1", [this] { RunClear(); });
    connect(edit, &QMenu::aboutToShow, this, &MainWindow::SyncEditActions);
    SyncEditActions();
}

void MainWindow::BuildBars()
{
    QStyle* s = style();

    // Tool bar: "送信" with its caption, then image buttons with hints.
    QToolBar* tools = FlatToolBar(nullptr);
    tools->setObjectName(QStringLiteral("ToolBar1"));
    const auto button = [&](const QIcon& icon, const char* hint, const char* name, int width) {
        QAction* a = tools->addAction(icon, Q(hint));
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(Q(hint));
        if (auto* b = qobject_cast<QToolButton*>(tools->widgetForAction(a))) {
            b->setFixedWidth(width);
        }
        return a;
    };
    sendButton_ = button({}, "送信", "SendButton", kSendButtonWidth);
    connect(sendButton_, &QAction::triggered, sendAction_, &QAction::trigger);
    tools->addSeparator();
    connect(button(s->standardIcon(QStyle::SP_DialogResetButton), "クリア", "ClearButton", kToolButtonWidth),
            &QAction::triggered, this, &MainWindow::RunClear);
    const struct {
        QStyle::StandardPixmap icon;
        const char* hint;
        const char* name;
        Opener opener;
    } openers[] = {
        {QStyle::SP_FileDialogDetailedView, "設定", "SettingsButton", Opener::Settings},
        {QStyle::SP_FileDialogContentsView, "履歴", "HistoryButton", Opener::History},
        {QStyle::SP_FileDialogInfoView, "プレビュー", "PreviewButton", Opener::Preview},
    };
    for (const auto& o : openers) {
        QAction* a = button(s->standardIcon(o.icon), o.hint, o.name, kToolButtonWidth);
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, [this, which = o.opener] { RunOpener(which); });
        openers_[Slot(o.opener)].toolButton = a;
    }
    tools->addSeparator();
    connect(button(s->standardIcon(QStyle::SP_DialogCloseButton), "終了", "ExitButton", kToolButtonWidth),
            &QAction::triggered, this, &QWidget::close);
    toolBar_ = new Bar(QStringLiteral("ToolBarBar"), tools, kToolBarWidth, barArea_);

    // Sender bar.
    auto* sender = new QWidget;
    auto* senderLayout = new QHBoxLayout(sender);
    senderLayout->setContentsMargins(0, 0, 0, 0);
    senderLayout->setSpacing(2);
    fromCheck_ = new QCheckBox(QStringLiteral("From : "));
    fromCheck_->setObjectName(QStringLiteral("FromChk"));
    SetHint(fromCheck_, "チェックを入れるとアドレス帳の設定に関わらず、ここで指定した送信元で送信します。");
    senderBox_ = new QComboBox;
    senderBox_->setObjectName(QStringLiteral("ComboBox2"));
    senderBox_->setEditable(false);
    senderBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    senderLayout->addWidget(fromCheck_);
    senderLayout->addWidget(senderBox_, 1);
    senderBar_ = new Bar(QStringLiteral("SenderBar"), sender, kSenderBarWidth, barArea_);

    // Subject bar.
    auto* subject = new QWidget;
    auto* subjectLayout = new QHBoxLayout(subject);
    subjectLayout->setContentsMargins(0, 0, 0, 0);
    subjectLayout->setSpacing(2);
    subjectLayout->addWidget(new QLabel(QStringLiteral("Subject :")));
    subjectBarBox_ = new QLineEdit;
    subjectBarBox_->setObjectName(QStringLiteral("Edit4"));
    subjectLayout->addWidget(subjectBarBox_, 1);
    subjectBar_ = new Bar(QStringLiteral("SubjectBar"), subject, kSubjectBarWidth, barArea_);

    // Developer tool bar and the vertical-writing bar.
    QToolBar* developer = FlatToolBar(nullptr);
    developer->setObjectName(QStringLiteral("DeveloperToolBar"));
    developer->setWindowTitle(QStringLiteral("Developer's ToolBar"));
    developerTools_ = new DeveloperTools(developer, settings_, *this);
    developerBar_ = new Bar(QStringLiteral("DeveloperBar"), developer, kDeveloperBarWidth, barArea_);

    QToolBar* klab = FlatToolBar(nullptr);
    klab->setObjectName(QStringLiteral("KToolBar"));
    QAction* vertical = klab->addAction(Q("縦書き化！"));
    vertical->setObjectName(QStringLiteral("VerticalWriting"));
    vertical->setToolTip(Q("注：Undo機能は無効です。"));
    connect(vertical, &QAction::triggered, this, &MainWindow::RunVerticalWriting);
    klabBar_ = new Bar(QStringLiteral("KlabBar"), klab, kKlabBarWidth, barArea_);

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

QWidget* MainWindow::BuildToTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    directGroup_ = new QGroupBox;
    directGroup_->setObjectName(QStringLiteral("DirectGroup"));
    auto* direct = new QVBoxLayout(directGroup_);
    direct->setContentsMargins(4, 2, 4, 4);
    direct->setSpacing(1);
    directModeButton_ = new QRadioButton(Q("直接入力"));
    directModeButton_->setObjectName(QStringLiteral("RadioButton2"));
    SetHint(directModeButton_, "直接入力|アドレスを直接入力して送信します。");
    directModeButton_->setAutoExclusive(false);
    addressLabel_ = new QLabel(Q("E-mailアドレス"));
    addressBox_ = new QLineEdit;
    addressBox_->setObjectName(QStringLiteral("Edit1"));
    SetImeOff(addressBox_);
    typeLabel_ = new QLabel(Q("端末タイプ"));
    typeLabel_->setObjectName(QStringLiteral("Label4"));
    typeBox_ = new QComboBox;
    typeBox_->setObjectName(QStringLiteral("ComboBox1"));
    typeBox_->setEditable(false);
    for (std::int32_t t = 0; t < kTerminalTypeCount; ++t) {
        typeBox_->addItem(DecodeSjis(MainTypeBoxText(t)));
    }
    direct->addWidget(directModeButton_);
    direct->addWidget(addressLabel_);
    direct->addWidget(addressBox_);
    direct->addWidget(typeLabel_);
    direct->addWidget(typeBox_);

    bookGroup_ = new QGroupBox;
    bookGroup_->setObjectName(QStringLiteral("BookGroup"));
    auto* book = new QVBoxLayout(bookGroup_);
    book->setContentsMargins(4, 2, 4, 4);
    book->setSpacing(1);
    bookModeButton_ = new QRadioButton(Q("アドレス帳選択"));
    bookModeButton_->setObjectName(QStringLiteral("RadioButton1"));
    SetHint(bookModeButton_, "アドレス帳選択|アドレスを選択して送信します。");
    bookModeButton_->setAutoExclusive(false);
    bookLabel_ = new QLabel(Q("送信先選択"));
    bookList_ = new CheckListBox;
    bookList_->setObjectName(QStringLiteral("CheckListBox1"));
    SetImeOff(bookList_);
    book->addWidget(bookModeButton_);
    book->addWidget(bookLabel_);
    book->addWidget(bookList_, 1);

    layout->addWidget(directGroup_);
    layout->addWidget(bookGroup_, 1);
    return page;
}

QWidget* MainWindow::BuildSubjectTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);

    subjectGroup_ = new QGroupBox(Q("題名"));
    subjectGroup_->setObjectName(QStringLiteral("SubjectGroup"));
    auto* subject = new QVBoxLayout(subjectGroup_);
    subject->setContentsMargins(4, 2, 4, 4);
    subjectBox_ = new QLineEdit;
    subjectBox_->setObjectName(QStringLiteral("Edit2"));
    subject->addWidget(subjectBox_);

    pinGroup_ = new QGroupBox(Q("PINコード"));
    pinGroup_->setObjectName(QStringLiteral("PinGroup"));
    auto* pin = new QVBoxLayout(pinGroup_);
    pin->setContentsMargins(4, 2, 4, 4);
    pinBox_ = new QLineEdit;
    pinBox_->setObjectName(QStringLiteral("Edit3"));
    pinBox_->setMaxLength(kPinLength);
    pin->addWidget(pinBox_);

    noteLabel_ = new QLabel(Q("※適用できる方を自動的に選択して使用します。"));
    noteLabel_->setObjectName(QStringLiteral("NoteLabel"));
    noteLabel_->setWordWrap(true);

    layout->addWidget(subjectGroup_);
    layout->addWidget(pinGroup_);
    layout->addWidget(noteLabel_);
    layout->addStretch(1);
    return page;
}

void MainWindow::BuildContextMenus()
{
    checkListMenu_ = new QMenu(this);
    checkListMenu_->setObjectName(QStringLiteral("CheckListMenu"));
    tickAllAction_ = checkListMenu_->addAction(Q("全てにチェックを入れる"));
    untickAllAction_ = checkListMenu_->addAction(Q("全てのチェックを外す"));
    checkListMenu_->addSeparator();
    surveyAction_ = checkListMenu_->addAction(Q("使用端末調査"));
    insertEntryAction_ = checkListMenu_->addAction(Q("本文中に挿入"));
    insertEntryAction_->setObjectName(QStringLiteral("InsertEntry"));
    connect(insertEntryAction_, &QAction::triggered, this, [this] {
        if (bookEditor_ == nullptr) {
            return;
        }
        if (const std::optional<std::string> text = EntryAddressText(*bookEditor_, composer_.Highlighted())) {
            InsertSjis(*text);
        }
    });
    connect(tickAllAction_, &QAction::triggered, this, [this] {
        composer_.TickAll(true);
        SyncCheckList();
    });
    connect(untickAllAction_, &QAction::triggered, this, [this] {
        composer_.TickAll(false);
        SyncCheckList();
    });
    connect(surveyAction_, &QAction::triggered, this, [this] { composer_.SurveyHighlighted(); });
    bookList_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bookList_, &QWidget::customContextMenuRequested, this, &MainWindow::ShowCheckListMenu);

    addressMenu_ = new QMenu(this);
    addressMenu_->setObjectName(QStringLiteral("AddressMenu"));
    for (const CarrierSuffix& c : CarrierSuffixes()) {
        QMenu* sub = addressMenu_->addMenu(Q(c.carrier));
        // Captions stay exactly as written: each is the very text inserted.
        QAction* a = sub->addAction(Q(c.suffix));
        const QString suffix = Q(c.suffix);
        connect(a, &QAction::triggered, this, [this, suffix] { addressBox_->insert(suffix); });
    }
    addressMenu_->addSeparator();
    addToBookAction_ = addressMenu_->addAction(Q("アドレス帳に追加"));
    addToBookAction_->setObjectName(QStringLiteral("AddToAddressBook"));
    addToBookAction_->setEnabled(false); // until there is a settings dialog to add in
    connect(addToBookAction_, &QAction::triggered, this, [this] {
        if (addToAddressBook_) {
            addToAddressBook_(composer_.Text(TextArea::DirectAddress).bytes, composer_.TypeBoxIndex());
        }
    });
    addressMenu_->addSeparator();
    connect(addressMenu_->addAction(Q("切り取り")), &QAction::triggered, addressBox_, &QLineEdit::cut);
    connect(addressMenu_->addAction(Q("コピー")), &QAction::triggered, addressBox_, &QLineEdit::copy);
    connect(addressMenu_->addAction(Q("貼り付け")), &QAction::triggered, addressBox_, &QLineEdit::paste);
    addressBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(addressBox_, &QWidget::customContextMenuRequested, this, &MainWindow::ShowAddressMenu);
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

// ---------------------------------------------------------------- UserInterface

void MainWindow::SetStatusText(const std::string& text)
{
    statusLine_->SetStatusText(DecodeSjis(text));
}

void MainWindow::ShowMessage(const std::string& text)
{
    ShowMessageBox(this, text);
}

bool MainWindow::Confirm(const std::string& text, const std::string& title)
{
    return ConfirmBox(this, text, title);
}

YesNoCancel MainWindow::AskYesNoCancel(const std::string& text, const std::string& title)
{
    return YesNoCancelBox(this, text, title);
}

void MainWindow::Beep()
{
    QApplication::beep();
    emit beeped();
}

std::optional<std::string> MainWindow::PromptPassword(const std::string& /*prompt*/)
{
    return passwordPrompt_->Ask();
}

std::optional<std::string> MainWindow::PromptLine(const std::string& caption, const std::string& prompt,
                                                  const std::string& initial)
{
    LinePrompt box(DecodeSjis(caption), DecodeSjis(prompt), QLineEdit::Normal, this);
    box.setObjectName(QStringLiteral("LinePrompt"));
    return box.Ask(DecodeSjis(initial));
}

std::optional<std::string> MainWindow::PromptSmtpPassword(const std::string& /*prompt*/)
{
    return smtpPasswordPrompt_->Ask();
}

// ---------------------------------------------------------------- sending

void MainWindow::SetMainPanelEnabled(bool enabled)
{
    panelEnabled_ = enabled;
    LockPanel();
}

void MainWindow::LockPanel()
{
    const bool enable = panelEnabled_ && !sending_;
    if (enable == mainPanel_->isEnabled()) {
        return;
    }
    // The box the user was typing in gets the keyboard back afterwards.
    if (!enable) {
        focusBeforeLock_ = focusWidget();
    }
    mainPanel_->setEnabled(enable);
    if (enable && focusBeforeLock_ != nullptr && focusBeforeLock_->isEnabled()) {
        focusBeforeLock_->setFocus(Qt::OtherFocusReason);
    }
}

// While anything is in flight only "中止" acts: every bar, menu and box is
// shown greyed, also after "中止" until the stopped work has ended.
void MainWindow::SetAbortButtonVisible(bool visible)
{
    sending_ = visible;
    statusLine_->SetAbortVisible(visible);
    escape_->setEnabled(visible);
    LockPanel();
}

bool MainWindow::ReviewSplit(const std::string& body, const std::vector<std::string>& parts)
{
    return splitViewer_->Review(body, parts);
}

std::string MainWindow::SenderBoxText() const
{
    const int i = senderBox_->currentIndex();
    return i >= 0 && i < static_cast<int>(senderItems_.size()) ? senderItems_[static_cast<std::size_t>(i)]
                                                               : settings_.SenderAddress;
}

bool MainWindow::TestSwitch() const
{
    return developerTools_->TestSwitch();
}

bool MainWindow::AnimeMode() const
{
    return attachmentPage_->AnimeMode();
}

void MainWindow::ClearMessage()
{
    RunClear();
}

void MainWindow::ComposerChanged()
{
    SyncTexts();
    SyncAll();
}

void MainWindow::SyncTexts()
{
    const auto show = [](QLineEdit* edit, const ComposedText& text) {
        const QString shown = DecodeSjis(text.bytes);
        if (text.unmappable.empty() && edit->text() != shown) {
            const QSignalBlocker block(edit);
            edit->setText(shown);
        }
    };
    show(addressBox_, composer_.Text(TextArea::DirectAddress));
    show(subjectBox_, composer_.Text(TextArea::Subject));
    if (subjectBarBox_->text() != subjectBox_->text()) {
        const QSignalBlocker block(subjectBarBox_);
        subjectBarBox_->setText(subjectBox_->text());
    }
    show(pinBox_, composer_.Text(TextArea::Pin));
    const ComposedText& body = composer_.Text(TextArea::Body);
    if (body.unmappable.empty() && ComposeBody(bodyBox_->toPlainText()).bytes != body.bytes) {
        const QSignalBlocker block(bodyBox_);
        bodyBox_->setPlainText(ShowSjis(body.bytes));
    }
}

// ---------------------------------------------------------------- settings pushed in

void MainWindow::FollowSettings()
{
    const std::string sender = SenderBoxText();
    composer_.FollowCheckListLines(settings_.AddressBook);
    ApplySettings();
    const auto kept = std::find(senderItems_.begin(), senderItems_.end(), sender);
    if (kept != senderItems_.end() && kept != senderItems_.begin()) {
        senderBox_->setCurrentIndex(static_cast<int>(kept - senderItems_.begin()));
    }
}

void MainWindow::ApplySettings()
{
    // Replacing the lines clears the ticks: only when they differ.
    if (composer_.CheckListLines() != settings_.AddressBook) {
        composer_.SetCheckListLines(settings_.AddressBook);
    }
    senderItems_ = settings_.SenderList;
    SelectFirstSender(settings_);
    {
        const QSignalBlocker block(senderBox_);
        senderBox_->clear();
        for (const std::string& item : senderItems_) {
            senderBox_->addItem(DecodeSjis(item));
        }
        senderBox_->setCurrentIndex(senderItems_.empty() ? -1 : 0);
    }
    subjectBar_->setVisible(settings_.ShowSubjectBar);
    barArea_->updateGeometry();
    SyncCheckList();
    // The sender counts on most types: keep the shown count true to it.
    composer_.Recount();
    SyncCount();
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

void MainWindow::SetBodyFontSize(int points)
{
    QFont font = bodyBox_->font();
    font.setPointSize(points);
    bodyBox_->setFont(font);
}

void MainWindow::SetTabHighlighting(bool on)
{
    tabs_->tabBar()->setStyleSheet(TabHighlightStyleSheet(on));
}

void MainWindow::SetBodyText(const std::string& sjis)
{
    bodyBox_->setPlainText(ShowSjis(sjis));
}

void MainWindow::SetOpener(Opener which, std::function<bool()> open)
{
    OpenerSlot& slot = openers_[Slot(which)];
    slot.open = std::move(open);
    for (QAction* a : {slot.menuItem, slot.toolButton}) {
        if (a != nullptr) {
            a->setEnabled(static_cast<bool>(slot.open));
        }
    }
}

void MainWindow::SetOpenerChecked(Opener which, bool checked)
{
    const OpenerSlot& slot = openers_[Slot(which)];
    for (QAction* a : {slot.menuItem, slot.toolButton}) {
        if (a != nullptr) {
            a->setCheckable(true);
            a->setChecked(checked);
        }
    }
}

bool MainWindow::ApplyDiet(const DietOptions& options)
{
    const std::optional<std::string> body = textCommands_.Diet(options);
    if (body) {
        ReplaceBody(DecodeSjis(*body));
    }
    return body.has_value();
}

void MainWindow::SetAddToAddressBookCommand(std::function<void(const std::string&, std::int32_t)> add)
{
    addToAddressBook_ = std::move(add);
    addToBookAction_->setEnabled(static_cast<bool>(addToAddressBook_));
}

void MainWindow::SetAddressBookEditor(AddressBookEditor* editor)
{
    bookEditor_ = editor;
    if (editor == nullptr) {
        composer_.SetEntryTypeLookup(nullptr);
    } else {
        composer_.SetEntryTypeLookup([editor](std::int32_t i) { return editor->TerminalTypeOfEntry(i); });
    }
}

std::string MainWindow::EditorTypeName() const
{
    const std::int32_t type = bookEditor_ != nullptr ? bookEditor_->Fields().typeIndex : kUnspecifiedType;
    return IsTerminalType(type) ? TypeBoxText(type) : std::string();
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

void MainWindow::SetSending(bool sending)
{
    panelEnabled_ = !sending;
    SetAbortButtonVisible(sending);
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

// ---------------------------------------------------------------- events

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!firstShowDone_) {
        firstShowDone_ = true;
        composer_.Recount();
        SyncCount();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!closeForced_ && !MainWindowCloseQuery(sending_ || workflow_->Busy(), settings_, *this)) {
        event->ignore();
        return;
    }
    StoreLayoutInto(settings_);
    const SaveResult saved = settingsFile_.Save(settings_, SettingsHalf::MainWindow);
    if (!saved.ok()) {
        // Told, but the program still ends: a settings file that cannot be
        // written must never keep the user from quitting.
        ShowMessage(saved.message);
    }
    event->accept();
}

void MainWindow::ForceClose()
{
    closeForced_ = true;
    close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == typeLabel_ && event->type() == QEvent::MouseButtonDblClick) {
        composer_.ClearTypeBox();
        SyncAll();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const bool direct = watched == directGroup_ || watched == addressLabel_ || watched == typeLabel_ ||
                            watched == addressBox_ || watched == typeBox_;
        const bool book = watched == bookGroup_ || watched == bookLabel_ || watched == bookList_->viewport();
        if (direct) {
            composer_.SelectDirectMode();
            SyncAll();
        } else if (book) {
            composer_.SelectAddressBookMode();
            SyncAll();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- handlers

void MainWindow::BodyChanged()
{
    composer_.SetBody(ComposeBody(bodyBox_->toPlainText()));
    SyncCount();
}

void MainWindow::AddressChanged()
{
    composer_.SetDirectAddress(ComposeSjis(addressBox_->text()));
    SyncCount();
}

void MainWindow::SubjectChanged()
{
    composer_.SetSubject(ComposeSjis(subjectBox_->text()));
    SyncCount();
    if (subjectBarBox_->text() != subjectBox_->text()) {
        subjectBarBox_->setText(subjectBox_->text());
    }
}

void MainWindow::SubjectBarChanged()
{
    if (subjectBox_->text() != subjectBarBox_->text()) {
        subjectBox_->setText(subjectBarBox_->text());
    }
}

void MainWindow::PinChanged()
{
    composer_.SetPin(ComposeSjis(pinBox_->text()));
}

void MainWindow::TypeBoxChanged(int index)
{
    composer_.TypeBoxChanged(index);
    SyncAreas();
    SyncCount();
}

void MainWindow::CheckListItemChanged(int row)
{
    const QListWidgetItem* item = bookList_->item(row);
    if (item == nullptr) {
        return;
    }
    composer_.SetTick(row, item->checkState() == Qt::Checked);
    SyncAll();
}

void MainWindow::SenderBoxChanged(int index)
{
    const bool valid = index >= 0 && static_cast<std::size_t>(index) < senderItems_.size();
    composer_.SenderChanged(valid ? senderItems_[static_cast<std::size_t>(index)] : std::string());
    SyncCount();
}

void MainWindow::ShowCheckListMenu(QPoint pos)
{
    surveyAction_->setEnabled(composer_.EntryMenuItemsEnabled());
    insertEntryAction_->setEnabled(composer_.EntryMenuItemsEnabled() && bookEditor_ != nullptr);
    checkListMenu_->popup(bookList_->viewport()->mapToGlobal(pos));
}

void MainWindow::ShowAddressMenu(QPoint pos)
{
    addressMenu_->popup(addressBox_->mapToGlobal(pos));
}

void MainWindow::TimerTick()
{
    statusLine_->Tick(settings_.ScrollLongStatusHints, QDateTime::currentDateTime());
}

// ---------------------------------------------------------------- text commands

void MainWindow::RunClear()
{
    if (!textCommands_.Clear()) {
        return;
    }
    ApplySettings();
    SyncTexts();
    SyncAll();
}

void MainWindow::RunOpener(Opener which)
{
    // A copy: the window opened may give this window another opener.
    const std::function<bool()> open = openers_[Slot(which)].open;
    if (!open) {
        return;
    }
    const bool ok = open();
    if (which == Opener::Diet) {
        statusLine_->ResetScroll();
        if (ok) {
            SetStatusText(Sj("ダイエット完了"));
        }
    }
}

QWidget* MainWindow::EditTarget() const
{
    // The window's own focus, which stays while its menus are open; the
    // menu line opened from the keyboard holds it meanwhile.
    QWidget* focused = focusWidget();
    if (focused != nullptr && menuBar_->isAncestorOf(focused)) {
        focused = editFocus_;
    }
    for (QWidget* box : std::initializer_list<QWidget*>{bodyBox_, addressBox_, subjectBox_, pinBox_, subjectBarBox_}) {
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

// ---------------------------------------------------------------- view

void MainWindow::SyncCount()
{
    statusLine_->ShowCount(composer_.Display());
    emit recounted();
}

void MainWindow::SyncAreas()
{
    const InputAreas areas = composer_.Areas();
    subjectGroup_->setEnabled(areas.subject);
    subjectBox_->setEnabled(areas.subject);
    subjectBarBox_->setEnabled(areas.subject);
    SetInputColour(subjectBox_, areas.subject);
    SetInputColour(subjectBarBox_, areas.subject);
    pinGroup_->setEnabled(areas.pin);
    pinBox_->setEnabled(areas.pin);
    SetInputColour(pinBox_, areas.pin);
    attachmentPage_->SetAvailable(areas.attachments, areas.animationMode);
    tabs_->setTabVisible(kTabFile, areas.attachments);
    openAttachmentAction_->setEnabled(areas.attachments);
    noteLabel_->setVisible(areas.noteLabel);
}

void MainWindow::SyncMode()
{
    const bool direct = composer_.Mode() == RecipientMode::Direct;
    {
        const QSignalBlocker b1(bookModeButton_);
        const QSignalBlocker b2(directModeButton_);
        directModeButton_->setChecked(direct);
        bookModeButton_->setChecked(!direct);
        fromCheck_->setChecked(composer_.FromChecked());
    }
    SetInputColour(addressBox_, direct);
    SetInputColour(typeBox_, direct);
    SetInputColour(bookList_, !direct);
}

void MainWindow::SyncTypeBox()
{
    const QSignalBlocker block(typeBox_);
    typeBox_->setCurrentIndex(composer_.TypeBoxIndex());
}

void MainWindow::SyncCheckList()
{
    const QSignalBlocker block(bookList_);
    const std::vector<CheckListEntry>& entries = composer_.CheckList();
    if (static_cast<std::size_t>(bookList_->count()) != entries.size()) {
        bookList_->clear();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            auto* item = new QListWidgetItem(bookList_);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                           Qt::ItemIsDragEnabled);
            item->setCheckState(Qt::Unchecked);
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QListWidgetItem* item = bookList_->item(static_cast<int>(i));
        const QString text = DecodeSjis(entries[i].line);
        if (item->text() != text) {
            item->setText(text);
        }
        const Qt::CheckState state = entries[i].ticked ? Qt::Checked : Qt::Unchecked;
        if (item->checkState() != state) {
            item->setCheckState(state);
        }
    }
    const int highlighted = composer_.Highlighted();
    if (highlighted < 0) {
        bookList_->setCurrentRow(-1);
        bookList_->clearSelection();
    } else if (bookList_->currentRow() != highlighted) {
        bookList_->setCurrentRow(highlighted);
    }
}

void MainWindow::SyncAll()
{
    attachmentPage_->Sync();
    SyncMode();
    SyncTypeBox();
    SyncAreas();
    SyncCheckList();
    SyncCount();
}

} // namespace kitemail
