#include "ui/main_window.h"

#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/close_query.h"
#include "settings/address_book.h"
#include "ui/attachment_page.h"
#include "ui/bar_area.h"
#include "ui/check_list_box.h"
#include "ui/developer_tools.h"
#include "ui/line_prompt.h"
#include "ui/main_window_parts.h"
#include "ui/row_drag.h"
#include "ui/sjis_field.h"
#include "ui/split_result_viewer.h"
#include "ui/status_line.h"
#include "ui/utf8_text.h"

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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
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

using main_window_parts::Slot;

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
