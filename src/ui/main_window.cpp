#include "ui/main_window.h"

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/close_query.h"
#include "settings/address_book.h"
#include "ui/attachment_page.h"
#include "ui/bar_area.h"
#include "ui/count_terms_window.h"
#include "ui/developer_tools.h"
#include "ui/line_prompt.h"
#include "ui/main_window_parts.h"
#include "ui/object_names.h"
#include "ui/recipient_page.h"
#include "ui/sjis_field.h"
#include "ui/split_result_viewer.h"
#include "ui/status_line.h"
#include "ui/utf8_text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kDesignedWidth = 640;
constexpr int kDesignedHeight = 403;
constexpr int kTabWidth = 185;
constexpr int kSplitterWidth = 3;
constexpr int kClockPeriodMs = 200;
constexpr int kTabTo = 0;
constexpr int kTabFile = 2;
constexpr std::size_t kOpenerCount = 5;

const char* const kAppTitle = "Kitemail Pro";

} // namespace

using main_window_parts::SetInputColour;
using main_window_parts::Slot;

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
    setObjectName(object_names::kMainWindow);
    setWindowTitle(Q(kAppTitle));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    statusLine_ = new StatusLine(this);
    mainPanel_ = new QWidget(this);
    mainPanel_->setObjectName(object_names::kMainPanel);
    barArea_ = new BarArea(mainPanel_);

    // Before the menus: the edit menu acts on its address box too.
    recipientPage_ = new RecipientPage(composer_, mainPanel_);
    BuildMenus();
    BuildBars();

    tabs_ = new QTabWidget;
    tabs_->setObjectName(object_names::kPages);
    tabs_->setTabPosition(QTabWidget::South);
    tabs_->addTab(recipientPage_, QStringLiteral("To :"));
    tabs_->addTab(BuildSubjectTab(), QStringLiteral("Subject :"));
    attachmentPage_ = new AttachmentPage(attachmentCommands_, composer_, settings_);
    tabs_->addTab(attachmentPage_, QStringLiteral("File :"));
    tabs_->setCurrentIndex(kTabTo);

    bodyBox_ = new QPlainTextEdit;
    bodyBox_->setObjectName(object_names::kBody);
    bodyBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    bodyBox_->setTabChangesFocus(false);

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->setObjectName(object_names::kSplitter);
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

    countExplainer_ = new CountExplainer(composer_, bodyBox_, statusLine_, this);
    connect(bodyBox_, &QPlainTextEdit::textChanged, this, &MainWindow::BodyChanged);
    connect(subjectBox_, &QLineEdit::textChanged, this, &MainWindow::SubjectChanged);
    connect(pinBox_, &QLineEdit::textChanged, this, &MainWindow::PinChanged);
    connect(subjectBarBox_, &QLineEdit::textChanged, this, &MainWindow::SubjectBarChanged);
    connect(senderBox_, &QComboBox::currentIndexChanged, this, &MainWindow::SenderBoxChanged);
    connect(fromCheck_, &QCheckBox::clicked, this, [this](bool on) { composer_.FromCheckClicked(on); });
    connect(recipientPage_, &RecipientPage::changed, this, &MainWindow::SyncAll);
    connect(recipientPage_, &RecipientPage::addressEdited, this, &MainWindow::SyncCount);
    connect(recipientPage_, &RecipientPage::typeChosen, this, [this] {
        SyncAreas();
        SyncCount();
    });
    connect(recipientPage_, &RecipientPage::insertRequested, this, &MainWindow::InsertIntoBody);
    connect(statusLine_, &StatusLine::abortClicked, this, &MainWindow::abortRequested);
    // "中止" is the window's cancel button: Esc presses it while it shows.
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, statusLine_->AbortButton(), &QPushButton::click);
    workflow_ = std::make_unique<SendWorkflow>(settings_, composer_, *this, *this, HistoryDirPath(dataDir_));
    desktopKeyring_ = DesktopKeyring(dataDir_);
    UseKeyring(desktopKeyring_.get());
    splitViewer_ = new SplitResultViewer(this);
    passwordPrompt_ = NewPasswordPrompt(this);
    smtpPasswordPrompt_ = NewSmtpPasswordPrompt(this);
    connect(this, &MainWindow::abortRequested, this, [this] {
        workflow_->Abort();
        developerTools_->Abort();
    });
    connect(attachmentPage_, &AttachmentPage::changed, this, &MainWindow::SyncCount);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == nullptr || !menuBar_->isAncestorOf(now)) {
            editFocus_ = now;
        }
        SyncEditActions();
    });

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

void MainWindow::UseKeyring(SecretStore* keyring)
{
    keyring_ = keyring;
    workflow_->UseKeyring(keyring);
    developerTools_->UseKeyring(keyring);
}

MainWindow::~MainWindow()
{
    // Destroying the boxes moves the focus: nothing of this window may hear it.
    disconnect(qApp, nullptr, this, nullptr);
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
    composer_.SelectFirstSender();
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
    // The defined types may have changed: the type box lists them as they
    // are, and the areas follow a current one that changed.
    composer_.FollowDefinedTypes();
    recipientPage_->Sync();
    SyncAreas();
    // The sender counts on most types: keep the shown count true to it.
    composer_.Recount();
    SyncCount();
}

void MainWindow::SetBodyFontSize(int points)
{
    QFont font = bodyBox_->font();
    font.setPointSize(points);
    bodyBox_->setFont(font);
}

void MainWindow::SetTabHighlighting(bool on)
{
    tabs_->tabBar()->setStyleSheet(on ? QStringLiteral("QTabBar::tab:hover { color: palette(highlight); }") : QString());
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

void MainWindow::SetAddToAddressBookCommand(std::function<void(const std::string&, TerminalType)> add)
{
    recipientPage_->SetAddToAddressBookCommand(std::move(add));
}

void MainWindow::SetAddressBookEditor(AddressBookEditor* editor)
{
    bookEditor_ = editor;
    recipientPage_->SetAddressBookEditor(editor);
    if (editor == nullptr) {
        composer_.SetEntryTypeLookup(nullptr);
    } else {
        composer_.SetEntryTypeLookup([editor](std::int32_t i) { return editor->TerminalTypeOfEntry(i); });
    }
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
    EndDraft();
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

// ---------------------------------------------------------------- handlers

void MainWindow::BodyChanged()
{
    composer_.SetBody(ComposeBody(bodyBox_->toPlainText()));
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

void MainWindow::SenderBoxChanged(int index)
{
    const bool valid = index >= 0 && static_cast<std::size_t>(index) < senderItems_.size();
    composer_.SenderChanged(valid ? senderItems_[static_cast<std::size_t>(index)] : std::string());
    SyncCount();
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
    if (draftTimer_ != nullptr) {
        draftTimer_->stop();
        clearedDraft_ = CurrentDraft();
        RemoveDraft(dataDir_);
    }
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

// ---------------------------------------------------------------- view

void MainWindow::SyncCount()
{
    statusLine_->ShowCount(composer_.Display());
    countExplainer_->Follow();
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

void MainWindow::SyncTexts()
{
    recipientPage_->SyncAddress();
    main_window_parts::ShowComposed(subjectBox_, composer_.Text(TextArea::Subject));
    if (subjectBarBox_->text() != subjectBox_->text()) {
        const QSignalBlocker block(subjectBarBox_);
        subjectBarBox_->setText(subjectBox_->text());
    }
    main_window_parts::ShowComposed(pinBox_, composer_.Text(TextArea::Pin));
    const ComposedText& body = composer_.Text(TextArea::Body);
    if (body.unmappable.empty() && ComposeBody(bodyBox_->toPlainText()).bytes != body.bytes) {
        const QSignalBlocker block(bodyBox_);
        bodyBox_->setPlainText(ShowSjis(body.bytes));
    }
}

void MainWindow::SyncAll()
{
    attachmentPage_->Sync();
    recipientPage_->Sync();
    {
        const QSignalBlocker block(fromCheck_);
        fromCheck_->setChecked(composer_.FromChecked());
    }
    SyncAreas();
    SyncCount();
}

} // namespace kitemail
