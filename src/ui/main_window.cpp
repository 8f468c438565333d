#include "ui/main_window.h"

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/close_query.h"
#include "settings/address_book.h"
#include "ui/bar_area.h"
#include "ui/check_list_box.h"
#include "ui/message_boxes.h"
#include "ui/password_prompt.h"
#include "ui/row_drag.h"
#include "ui/sjis_field.h"
#include "ui/split_result_viewer.h"
#include "ui/status_line.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
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

const char* const kAppTitle = "Kitemail Pro";

QString Q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

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

MainWindow::MainWindow(Settings& settings, std::filesystem::path dataDir, QWidget* parent)
    : QWidget(parent), settings_(settings), dataDir_(std::move(dataDir)), composer_(settings_, *this)
{
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
    fileTab_ = BuildFileTab();
    tabs_->addTab(fileTab_, QStringLiteral("File :"));
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
    workflow_ = std::make_unique<SendWorkflow>(settings_, composer_, *this, *this, HistoryDirPath(dataDir_));
    splitViewer_ = new SplitResultViewer(this);
    passwordPrompt_ = new PasswordPrompt(this);
    connect(this, &MainWindow::abortRequested, this, [this] { workflow_->Abort(); });
    for (QAction* a : {sendAction_, sendButton_}) {
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, [this] {
            workflow_->Send();
            SyncAll();
        });
    }
    // A click in the attachment list recounts: the files may have changed.
    connect(attachmentList_, &QListWidget::itemClicked, this, [this] {
        composer_.Recount();
        SyncCount();
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
    LoadMainWindowSettings(SettingsFilePath(dataDir_), settings_);
    ApplyStartupLayout();
    SyncAll();
    statusLine_->Tick(settings_.ScrollLongStatusHints, QDateTime::currentDateTime());
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------- building

QAction* MainWindow::AddMenuAction(QMenu* menu, const QString& text, const char* objectName,
                                   const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(objectName));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The menu is no menu line of the window: the panel that holds every
        // input area carries the shortcuts, so they work wherever the focus
        // is, and not while the panel is locked during a send.
        mainPanel_->addAction(action);
    }
    // Commands whose work has not been built yet stay visible but disabled.
    action->setEnabled(false);
    return action;
}

void MainWindow::BuildMenus()
{
    auto* menuBar = new QMenuBar;
    menuBar->setObjectName(QStringLiteral("MainMenu"));
    menuBar->setNativeMenuBar(false);

    QMenu* file = menuBar->addMenu(Q("ファイル(&F)"));
    sendAction_ = AddMenuAction(file, Q("メッセージを送信(&G)"), "Send1", QKeySequence(Qt::CTRL | Qt::Key_G));
    file->addSeparator();
    AddMenuAction(file, Q("本文を開く(&O)..."), "OpenBody");
    AddMenuAction(file, Q("本文を保存(&S)..."), "SaveBody");
    openAttachmentAction_ = AddMenuAction(file, Q("添付ファイルを開く(&A)..."), "OpenAttachment");
    file->addSeparator();
    exitAction_ = AddMenuAction(file, Q("終了(&X)"), "Exit1");
    exitAction_->setEnabled(true);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar->addMenu(Q("編集(&E)"));
    AddMenuAction(edit, Q("元に戻す(&U)"), "Undo1", QKeySequence(Qt::CTRL | Qt::Key_Z));
    edit->addSeparator();
    AddMenuAction(edit, Q("切り取り(&T)"), "Cut1", QKeySequence(Qt::CTRL | Qt::Key_X));
    AddMenuAction(edit, Q("コピー(&C)"), "Copy1", QKeySequence(Qt::CTRL | Qt::Key_C));
    AddMenuAction(edit, Q("貼り付け(&P)"), "Paste1", QKeySequence(Qt::CTRL | Qt::Key_V));
    AddMenuAction(edit, Q("引用符つき貼り付け(&Q)"), "QuotedPaste1", QKeySequence(Qt::CTRL | Qt::Key_Q));
    AddMenuAction(edit, Q("すべて選択(&L)"), "SelectAll1", QKeySequence(Qt::CTRL | Qt::Key_A));
    edit->addSeparator();
    AddMenuAction(edit, Q("クリア(&E)"), "Clear1");

    QMenu* insert = menuBar->addMenu(Q("挿入(&I)"));
    QMenu* signature = insert->addMenu(Q("署名(&S)"));
    signatureAAction_ = AddMenuAction(signature, Q("TypeA(&A) : 設定されていません。"), "SignatureA");
    signatureBAction_ = AddMenuAction(signature, Q("TypeB(&B) : 設定されていません。"), "SignatureB");
    AddMenuAction(signature, Q("自動挿入用(&C)"), "SignatureAuto");
    AddMenuAction(insert, Q("日時(&D)"), "InsertDate");
    AddMenuAction(insert, Q("電話番号リンク(&T)..."), "InsertTel");

    QMenu* tools = menuBar->addMenu(Q("ツール(&T)"));
    AddMenuAction(tools, Q("プレビュー(&P)..."), "Preview1");
    AddMenuAction(tools, Q("ダイエット(&D)..."), "Diet1");
    AddMenuAction(tools, Q("送信履歴(&L)"), "History1");
    tools->addSeparator();
    settingsAction_ = AddMenuAction(tools, Q("設定(&S)..."), "Settings1");
    settingsAction_->setEnabled(true);
    connect(settingsAction_, &QAction::triggered, this, [this] {
        if (openSettings_) {
            openSettings_();
        }
    });

    QMenu* help = menuBar->addMenu(Q("ヘルプ(&H)"));
    aboutAction_ = AddMenuAction(help, Q("バージョン情報(&A)..."), "About1");
    aboutAction_->setEnabled(true);
    connect(aboutAction_, &QAction::triggered, this, [this] {
        if (showAbout_) {
            showAbout_();
        }
    });

    menuBar_ = new Bar(QStringLiteral("MenuBar"), menuBar, kMenuBarWidth, barArea_);
}

void MainWindow::BuildBars()
{
    QStyle* s = style();

    // Tool bar: "送信" with its caption, then image buttons with hints.
    QToolBar* tools = FlatToolBar(nullptr);
    tools->setObjectName(QStringLiteral("ToolBar1"));
    QAction* send = tools->addAction(Q("送信"));
    send->setObjectName(QStringLiteral("SendButton"));
    send->setToolTip(Q("送信"));
    sendButton_ = send;
    if (auto* b = qobject_cast<QToolButton*>(tools->widgetForAction(send))) {
        b->setFixedWidth(kSendButtonWidth);
    }
    tools->addSeparator();
    struct ToolButton {
        QStyle::StandardPixmap icon;
        const char* hint;
        const char* name;
    };
    const ToolButton buttons[] = {
        {QStyle::SP_DialogResetButton, "クリア", "ClearButton"},
        {QStyle::SP_FileDialogDetailedView, "設定", "SettingsButton"},
        {QStyle::SP_FileDialogContentsView, "履歴", "HistoryButton"},
        {QStyle::SP_FileDialogInfoView, "プレビュー", "PreviewButton"},
    };
    for (const ToolButton& tb : buttons) {
        QAction* a = tools->addAction(s->standardIcon(tb.icon), Q(tb.hint));
        a->setObjectName(QString::fromLatin1(tb.name));
        a->setToolTip(Q(tb.hint));
        a->setEnabled(false);
        if (auto* b = qobject_cast<QToolButton*>(tools->widgetForAction(a))) {
            b->setFixedWidth(kToolButtonWidth);
        }
        if (QLatin1String(tb.name) == QLatin1String("SettingsButton")) {
            a->setEnabled(true);
            connect(a, &QAction::triggered, settingsAction_, &QAction::trigger);
        }
    }
    tools->addSeparator();
    QAction* exit = tools->addAction(s->standardIcon(QStyle::SP_DialogCloseButton), Q("終了"));
    exit->setObjectName(QStringLiteral("ExitButton"));
    exit->setToolTip(Q("終了"));
    if (auto* b = qobject_cast<QToolButton*>(tools->widgetForAction(exit))) {
        b->setFixedWidth(kToolButtonWidth);
    }
    connect(exit, &QAction::triggered, this, &QWidget::close);
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

    // Developer tool bar and the vertical-writing bar: their work arrives
    // with the developer tools and the text tools.
    QToolBar* developer = FlatToolBar(nullptr);
    developer->setObjectName(QStringLiteral("DeveloperToolBar"));
    developer->setWindowTitle(QStringLiteral("Developer's ToolBar"));
    auto* testBox = new QCheckBox(QStringLiteral("Test"));
    testBox->setEnabled(false);
    developer->addWidget(testBox);
    for (const char* caption : {"for test", "POP3認証", "My SMTP test"}) {
        developer->addAction(Q(caption))->setEnabled(false);
    }
    developerBar_ = new Bar(QStringLiteral("DeveloperBar"), developer, kDeveloperBarWidth, barArea_);

    QToolBar* klab = FlatToolBar(nullptr);
    klab->setObjectName(QStringLiteral("KToolBar"));
    klab->addAction(Q("縦書き化！"))->setEnabled(false);
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

QWidget* MainWindow::BuildFileTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);

    attachmentGroup_ = new QGroupBox(Q("添付ファイル"));
    attachmentGroup_->setObjectName(QStringLiteral("AttachmentGroup"));
    auto* group = new QVBoxLayout(attachmentGroup_);
    group->setContentsMargins(4, 2, 4, 4);
    group->addWidget(new QLabel(Q("ファイル一覧（D&Dで追加）")));
    attachmentList_ = new QListWidget;
    attachmentList_->setObjectName(QStringLiteral("FIListBox1"));
    SetImeOff(attachmentList_);
    group->addWidget(attachmentList_, 1);
    auto* row = new QHBoxLayout;
    auto* clear = new QPushButton(Q("クリア"));
    clear->setObjectName(QStringLiteral("AttachmentClear"));
    clear->setEnabled(false);
    animeCheck_ = new QCheckBox(Q("アニメモード"));
    animeCheck_->setObjectName(QStringLiteral("AnimeCheck"));
    row->addWidget(clear);
    row->addWidget(animeCheck_, 1);
    group->addLayout(row);

    layout->addWidget(attachmentGroup_, 1);
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
    insertEntryAction_->setEnabled(false); // the insert arrives with the text commands
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

// ---------------------------------------------------------------- sending

void MainWindow::SetMainPanelEnabled(bool enabled)
{
    mainPanel_->setEnabled(enabled);
}

void MainWindow::SetAbortButtonVisible(bool visible)
{
    sending_ = visible;
    statusLine_->SetAbortVisible(visible);
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

bool MainWindow::AnimeMode() const
{
    return animeCheck_->isChecked();
}

void MainWindow::ClearMessage()
{
    // What this window holds of the message; the full clear command with
    // its question comes with the text commands.
    bodyBox_->clear();
    addressBox_->clear();
    subjectBox_->clear();
    pinBox_->clear();
    attachmentList_->clear();
    composer_.SetAttachments({});
    SyncAll();
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
    show(pinBox_, composer_.Text(TextArea::Pin));
}

// ---------------------------------------------------------------- settings pushed in

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
    // Only the captions for now; inserting a signature arrives with the
    // text commands.
    const auto caption = [](const char* prefix, const std::string& signature) {
        return Q(prefix) + (signature.empty() ? Q("設定されていません。") : DecodeSjis(signature));
    };
    signatureAAction_->setText(caption("TypeA(&A) : ", settings_.SignatureA));
    signatureBAction_->setText(caption("TypeB(&B) : ", settings_.SignatureB));
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

void MainWindow::SetSettingsCommand(std::function<void()> openSettings)
{
    openSettings_ = std::move(openSettings);
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

void MainWindow::SetAboutCommand(std::function<void()> showAbout)
{
    showAbout_ = std::move(showAbout);
}

void MainWindow::SetSending(bool sending)
{
    sending_ = sending;
    mainPanel_->setEnabled(!sending);
    statusLine_->SetAbortVisible(sending);
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
    if (!MainWindowCloseQuery(sending_ || workflow_->Busy(), settings_, *this)) {
        event->ignore();
        return;
    }
    StoreLayoutInto(settings_);
    const SaveResult saved = SaveMainWindowSettings(SettingsFilePath(dataDir_), settings_);
    if (!saved.ok()) {
        // Told, but the program still ends: a settings file that cannot be
        // written must never keep the user from quitting.
        ShowMessage(saved.message);
    }
    event->accept();
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

// ---------------------------------------------------------------- view

void MainWindow::SyncCount()
{
    statusLine_->ShowCount(composer_.Display());
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
    attachmentGroup_->setEnabled(areas.attachments);
    tabs_->setTabVisible(kTabFile, areas.attachments);
    animeCheck_->setEnabled(areas.animationMode);
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
    SyncMode();
    SyncTypeBox();
    SyncAreas();
    SyncCheckList();
    SyncCount();
}

} // namespace kitemail
