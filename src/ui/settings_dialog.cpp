#include "ui/settings_dialog.h"

#include "accounting/terminal_type.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/pop_before_smtp.h"
#include "ui/address_book_page.h"
#include "ui/defined_types_page.h"
#include "ui/number_box.h"
#include "ui/object_names.h"
#include "ui/page_tabs.h"
#include "ui/sjis_field.h"
#include "ui/type_box.h"
#include "ui/utf8_text.h"
#include "ui/window_placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace kitemail {
namespace {

// The client area as designed; the layout may ask for more where this
// system's font needs it.
constexpr int kClientWidth = 450;
constexpr int kClientHeight = 290;

QGroupBox* Group(const char* title)
{
    return new QGroupBox(title != nullptr ? Q(title) : QString());
}

// Layouts are kept tight: the designed client area is small for the
// Japanese font at its usual size.
template <typename Layout>
Layout* Tight(QWidget* owner)
{
    auto* layout = new Layout(owner);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(2);
    return layout;
}

// A page of group boxes from top to bottom; the last one takes what room
// is left when stretchLast is true.
QWidget* PageOf(std::initializer_list<QWidget*> groups, bool stretchLast = false)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    for (QWidget* group : groups) {
        layout->addWidget(group, stretchLast && group == *std::prev(groups.end()) ? 1 : 0);
    }
    if (!stretchLast) {
        layout->addStretch(1);
    }
    return page;
}

// A note the user should not miss.
QLabel* Highlighted(const char* text)
{
    auto* label = new QLabel(Q(text));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #c00000;"));
    return label;
}

// A caption with its box and what follows it in one row.
QHBoxLayout* Row(const char* caption, std::initializer_list<QWidget*> widgets)
{
    auto* row = new QHBoxLayout;
    if (caption != nullptr) {
        row->addWidget(new QLabel(Q(caption)));
    }
    for (QWidget* w : widgets) {
        row->addWidget(w);
    }
    row->addStretch(1);
    return row;
}

// Caption and box side by side, a row each, below what the grid holds.
void AddRows(QGridLayout* grid, std::initializer_list<std::pair<const char*, QWidget*>> rows, int boxColumns = 1)
{
    for (const auto& [caption, box] : rows) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(Q(caption)), row, 0);
        grid->addWidget(box, row, 1, 1, boxColumns);
    }
}

void SetImeOff(QWidget* widget)
{
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
}

} // namespace

const SettingsDialog::PageRow SettingsDialog::kPages[] = {
    {"アドレス帳", &SettingsDialog::BuildAddressBookPage},
    {"送信設定 1", &SettingsDialog::BuildSendPage1},
    {"送信設定 2", &SettingsDialog::BuildSendPage2},
    {"セキュリティ", &SettingsDialog::BuildSecurityPage},
    {"署名", &SettingsDialog::BuildSignaturePage},
    {"環境設定 1", &SettingsDialog::BuildBehaviourPage},
    {"環境設定 2", &SettingsDialog::BuildDisplayPage},
    {"文字数制限設定", &SettingsDialog::BuildLengthPage},
    {"端末タイプ定義", &SettingsDialog::BuildDefinedTypesPage},
    {"システム設定", &SettingsDialog::BuildSystemPage},
};

SettingsDialog::SettingsDialog(Settings& settings, SenderChoice& sender, SettingsFile& settingsFile,
                               SettingsDialogHost& host, const SocketLibraryInfo& socketLibrary, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      DialogUserInterface(this, host), settings_(settings), sender_(sender), settingsFile_(settingsFile), dataDir_(settingsFile.Dir()), host_(host), socketLibrary_(socketLibrary),
      editor_(settings_, sender_, *this)
{
    setObjectName(object_names::kSettingsDialog);
    setWindowTitle(Q("設定"));
    setModal(true);
    setAttribute(Qt::WA_AlwaysShowToolTips);

    pages_ = new PageTabs;
    pages_->setObjectName(QStringLiteral("SettingsPages"));
    for (const PageRow& page : kPages) {
        pages_->AddPage(Q(page.title), (this->*page.build)());
    }
    connect(pages_, &PageTabs::currentChanged, this, [this](int index) {
        if (index == kAddressBookPage) {
            bookPage_->Shown();
        }
        if (pages_->Page(index) == typesPage_) {
            typesPage_->Shown();
        }
        ShowValues(); // the ports show on two pages each
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(pages_);
    const QMargins margins = layout->contentsMargins();
    const int width = std::max(kClientWidth, minimumSizeHint().width());
    const int height = pages_->MinimumHeightForWidth(width - margins.left() - margins.right()) + margins.top() +
        margins.bottom();
    setFixedSize(width, std::max(kClientHeight, height));

    const bool signatureRead = editor_.Load(settingsFile_);
    host_.ShowSignatureCaptions();
    host_.ApplySettings();
    host_.SetBodyFontSize(settings_.FontSize);
    host_.SetTabHighlighting(settings_.HighlightTabs);
    pages_->SetHotTracking(settings_.HighlightTabs);
    if (settings_.AutoInsertSignature) {
        host_.SetBodyText(settings_.SignatureText);
    }
    if (!signatureRead) {
        host_.SetStatusText(DisplayPath(SignaturePath(dataDir_)) + Sj(" を読めません"));
    }
    host_.SetAddressBookEditor(&editor_.Book());
    bookPage_->Sync();
    ShowValues();
}

SettingsDialog::~SettingsDialog()
{
    host_.SetAddressBookEditor(nullptr);
}

// ---------------------------------------------------------------- bound widgets

NumberBox* SettingsDialog::Number(std::int32_t Settings::*field, const char* objectName)
{
    auto* box = new NumberBox(RangeOf(field));
    box->setObjectName(QString::fromLatin1(objectName));
    showValue_.push_back([this, box, field] {
        const QSignalBlocker block(box);
        box->setValue(settings_.*field);
    });
    connect(box, &QSpinBox::valueChanged, this, [this, field](int value) { settings_.*field = value; });
    return box;
}

QCheckBox* SettingsDialog::Check(bool Settings::*field, const char* objectName)
{
    auto* box = new QCheckBox(DecodeSjis(OptionText(field)));
    box->setObjectName(QString::fromLatin1(objectName));
    showValue_.push_back([this, box, field] {
        const QSignalBlocker block(box);
        box->setChecked(settings_.*field);
    });
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) { settings_.*field = on; });
    return box;
}

QLineEdit* SettingsDialog::Text(std::string Settings::*field, const char* objectName)
{
    auto* box = new QLineEdit;
    box->setObjectName(QString::fromLatin1(objectName));
    AcceptSjisOnly(box);
    showValue_.push_back([this, box, field] {
        if (ComposeSjis(box->text()).bytes != settings_.*field) {
            const QSignalBlocker block(box);
            box->setText(DecodeSjis(settings_.*field));
        }
    });
    connect(box, &QLineEdit::textChanged, this,
            [this, field](const QString& text) { settings_.*field = ComposeSjis(text).bytes; });
    return box;
}

QPushButton* SettingsDialog::Button(const char* text, const char* objectName, std::function<void()> action)
{
    auto* button = new QPushButton(Q(text));
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, std::move(action));
    return button;
}

template <typename Value>
QComboBox* SettingsDialog::Choice(Value ProgramOptions::*field, const char* objectName,
                                  std::initializer_list<const char*> items)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(objectName));
    for (const char* item : items) {
        box->addItem(Q(item));
    }
    showValue_.push_back([this, box, field] {
        const QSignalBlocker block(box);
        box->setCurrentIndex(static_cast<int>(settings_.*field));
    });
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, field](int i) { settings_.*field = static_cast<Value>(i); });
    return box;
}

void SettingsDialog::ShowValues()
{
    for (const auto& show : showValue_) {
        show();
    }
    showSplitResult_->setEnabled(editor_.ShowSplitResultEnabled());
    ShowSenders();
    ShowLengthEditor();
    typesPage_->Sync();
}

// ---------------------------------------------------------------- pages

QWidget* SettingsDialog::BuildAddressBookPage()
{
    bookPage_ = new AddressBookPage(editor_.Book());
    return bookPage_;
}

QWidget* SettingsDialog::BuildSendPage1()
{
    senderList_ = new QListWidget;
    senderList_->setObjectName(object_names::kSenderList);
    senderList_->setSelectionMode(QAbstractItemView::SingleSelection);
    SetImeOff(senderList_);
    senderEntry_ = new QLineEdit;
    senderEntry_->setObjectName(object_names::kSenderEntry);
    SetImeOff(senderEntry_);
    AcceptSjisOnly(senderEntry_);
    // A click, or the keys, choose a sender; the list making an item
    // current as it takes the focus chooses nothing.
    const auto click = [this](int row) {
        if (!showingSenders_) {
            editor_.ClickSender(row);
            ShowSenders();
        }
    };
    connect(senderList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [click](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty()) {
                    click(selected.indexes().front().row());
                }
            });
    connect(senderList_, &QListWidget::itemClicked, this,
            [this, click](QListWidgetItem* item) { click(senderList_->row(item)); });
    connect(senderEntry_, &QLineEdit::textChanged, this,
            [this](const QString& text) { editor_.TypeSenderEntry(ComposeSjis(text).bytes); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    const std::tuple<const char*, const char*, std::function<void()>> senderButtons[] = {
        {"追加", object_names::kSenderAdd, [this] { editor_.AddSender(); }},
        {"削除", object_names::kSenderDelete, [this] { editor_.DeleteSender(); }},
        {"Up", object_names::kSenderUp, [this] { editor_.MoveSender(-1); }},
        {"Down", object_names::kSenderDown, [this] { editor_.MoveSender(+1); }},
    };
    for (const auto& [text, name, action] : senderButtons) {
        auto* b = new QToolButton;
        b->setText(Q(text));
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, action] {
            action();
            ShowSenders();
        });
        buttons->addWidget(b);
    }
    buttons->addStretch(1);

    auto* senders = new QVBoxLayout;
    senders->addWidget(new QLabel(Q("メールアドレス ( ,Reply-To )")));
    senders->addWidget(senderList_, 1);
    senders->addLayout(buttons);
    senders->addWidget(senderEntry_);

    QLineEdit* server = Text(&Settings::Server, object_names::kServer);
    SetImeOff(server);
    NumberBox* port = Number(&Settings::Port, object_names::kPort);
    auto* servers = new QVBoxLayout;
    servers->addWidget(new QLabel(Q("SMTPサーバー")));
    servers->addWidget(server);
    servers->addLayout(Row("ポート番号", {port, Button("< 標準", object_names::kStandardPort, [this] {
                                              editor_.UseStandardPort();
                                              ShowValues();
                                          })}));
    servers->addLayout(Row("分割送信インターバル", {Number(&Settings::Interval, object_names::kInterval), new QLabel(Q("秒"))}));
    servers->addWidget(new QLabel(Q("送信先端末タイプデフォルト設定")));
    QComboBox* defaultType = NewTypeBox(object_names::kDefaultType);
    showValue_.push_back(
        [this, defaultType] { ShowTypeBox(defaultType, settings_.Types(), settings_.DefaultType); });
    connect(defaultType, &QComboBox::currentIndexChanged, this,
            [this](int i) { settings_.DefaultType = settings_.Types().TypeAtBoxIndex(i); });
    servers->addWidget(defaultType);
    servers->addWidget(new QLabel(Q("名前")));
    servers->addWidget(Text(&Settings::FromUser, object_names::kFromUser));
    servers->addStretch(1);

    QGroupBox* group = Group("送信元設定");
    auto* columns = Tight<QHBoxLayout>(group);
    columns->addLayout(senders, 1);
    columns->addLayout(servers, 1);
    return PageOf({group}, true);
}

QWidget* SettingsDialog::BuildSendPage2()
{
    QGroupBox* group = Group(nullptr);
    auto* grid = Tight<QGridLayout>(group);
    grid->addWidget(Check(&Settings::UsePopBeforeSmtp, object_names::kUsePopBeforeSmtp), 0, 0, 1, 4);
    QLineEdit* password = Text(&Settings::POP3PASS, object_names::kPop3Password);
    password->setEchoMode(QLineEdit::Password);
    QLineEdit* server = Text(&Settings::POP3Server, object_names::kPop3Server);
    SetImeOff(server);
    AddRows(grid, {{"ユーザー名", Text(&Settings::POP3USER, object_names::kPop3User)},
                   {"パスワード", KeyringRow(password, StoredPassword::Pop3, object_names::kPop3PassInKeyring)},
                   {"POP3サーバー名", server}},
            3);
    popTest_ = Button("テスト", object_names::kPopTest, [this] { TestPopLogin(); });
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(Q("ポート番号")), row, 0);
    grid->addLayout(Row(nullptr, {Number(&Settings::POP3Port, object_names::kPop3Port), Button("< 標準", object_names::kStandardPop3Port, [this] {
                                      editor_.UseStandardPop3Port();
                                      ShowValues();
                                  })}),
                    row, 1, 1, 2);
    grid->addWidget(popTest_, row, 3);
    grid->addWidget(new QLabel(Q("送信インターバル")), row + 1, 0);
    grid->addLayout(Row(nullptr, {Number(&Settings::POPInterval, "POPInterval"), new QLabel(Q("秒"))}), row + 1, 1,
                    1, 3);
    QLabel* note = Highlighted("※POP3パスワードは、設定ファイルに保存されます。設定ファイルの取り扱いには十分ご注意"
                               "ください。なお、空欄にしておけば認証時に入力できます。");
    note->setObjectName(QStringLiteral("PasswordNote"));
    grid->addWidget(note, row + 2, 0, 1, 4);
    grid->setRowStretch(row + 3, 1);
    grid->setColumnStretch(2, 1);
    return PageOf({group}, true);
}

QWidget* SettingsDialog::BuildSecurityPage()
{
    QGroupBox* smtp = Group("SMTPサーバー");
    auto* grid = Tight<QGridLayout>(smtp);
    QLineEdit* user = Text(&Settings::AuthUser, object_names::kAuthUser);
    SetImeOff(user);
    QLineEdit* password = Text(&Settings::AuthPass, object_names::kAuthPass);
    password->setEchoMode(QLineEdit::Password);
    grid->addWidget(new QLabel(Q("接続の保護")), 0, 0);
    grid->addLayout(Row(nullptr, {Choice(&Settings::Security, object_names::kSecurity, {"なし", "STARTTLS", "SSL/TLS"}),
                                  new QLabel(Q("ポート番号")), Number(&Settings::Port, object_names::kSubmissionPort),
                                  Button("< 標準", object_names::kStandardSubmissionPort, [this] {
                                      editor_.UseStandardPort();
                                      ShowValues();
                                  })}),
                    0, 1);
    grid->addWidget(new QLabel(Q("認証方式")), 1, 0);
    auto* login = Row(nullptr, {Choice(&Settings::AuthMethod, object_names::kAuthMethod, {"なし", "自動", "PLAIN", "LOGIN"}),
                                new QLabel(Q("ユーザー名")), user});
    login->setStretchFactor(user, 1);
    grid->addLayout(login, 1, 1);
    AddRows(grid, {{"パスワード", KeyringRow(password, StoredPassword::Smtp, object_names::kAuthPassInKeyring)}});
    QLabel* note = Highlighted("※SMTPパスワードは、設定ファイルに保存されます。設定ファイルの取り扱いには十分ご注意"
                               "ください。なお、空欄にしておけば認証時に入力できます。");
    note->setObjectName(QStringLiteral("AuthPasswordNote"));
    grid->addWidget(note, grid->rowCount(), 0, 1, 2);
    grid->setColumnStretch(1, 1);

    QGroupBox* other = Group("POP3サーバーと証明書");
    auto* rows = Tight<QGridLayout>(other);
    rows->addWidget(new QLabel(Q("接続の保護")), 0, 0);
    rows->addLayout(Row(nullptr, {Choice(&Settings::POP3Security, object_names::kPop3Security, {"なし", "STLS", "SSL/TLS"}),
                                  new QLabel(Q("ポート番号")), Number(&Settings::POP3Port, object_names::kPop3sPort),
                                  Button("< 標準", object_names::kStandardPop3sPort, [this] {
                                      editor_.UseStandardPop3Port();
                                      ShowValues();
                                  })}),
                    0, 1);
    QLineEdit* caFile = Text(&Settings::CAFile, object_names::kCaFile);
    SetImeOff(caFile);
    AddRows(rows, {{"CAFile", caFile}});
    rows->setColumnStretch(1, 1);
    return PageOf({smtp, other});
}

QWidget* SettingsDialog::BuildSignaturePage()
{
    QGroupBox* oneLine = Group("一行署名");
    auto* grid = Tight<QGridLayout>(oneLine);
    AddRows(grid, {{"TypeA", Text(&Settings::SignatureA, object_names::kSignatureA)},
                   {"TypeB", Text(&Settings::SignatureB, object_names::kSignatureB)}});

    auto* text = new QPlainTextEdit;
    text->setObjectName(object_names::kSignatureText);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    AcceptSjisOnly(text);
    showValue_.push_back([this, text] {
        if (ComposeBody(text->toPlainText()).bytes != settings_.SignatureText) {
            const QSignalBlocker block(text);
            text->setPlainText(ShowSjis(settings_.SignatureText));
        }
    });
    connect(text, &QPlainTextEdit::textChanged, this,
            [this, text] { settings_.SignatureText = ComposeBody(text->toPlainText()).bytes; });
    QGroupBox* automatic = Group(nullptr);
    auto* column = Tight<QVBoxLayout>(automatic);
    column->addWidget(Check(&Settings::AutoInsertSignature, object_names::kAutoInsertSignature));
    column->addWidget(text, 1);

    return PageOf({oneLine, automatic}, true);
}

QWidget* SettingsDialog::BuildBehaviourPage()
{
    QGroupBox* group = Group("動作設定");
    auto* column = Tight<QVBoxLayout>(group);
    QCheckBox* autoSplit = Check(&Settings::AutoSplitOnOverflow, object_names::kAutoSplitOnOverflow);
    connect(autoSplit, &QCheckBox::toggled, this,
            [this] { showSplitResult_->setEnabled(editor_.ShowSplitResultEnabled()); });
    column->addWidget(autoSplit);
    column->addWidget(Check(&Settings::BeepOnMessage, "BeepOnMessage"));
    column->addWidget(Check(&Settings::RecordHistory, "RecordHistory"));
    column->addWidget(Check(&Settings::AttachmentDoubleClickProperties, "AttachmentDoubleClickProperties"));
    column->addWidget(Check(&Settings::PartNumberInSubject, "PartNumberInSubject"));
    column->addWidget(Check(&Settings::CheckBeforeSend, "CheckBeforeSend"));
    column->addWidget(Check(&Settings::ClearAfterSend, "ClearAfterSend"));
    column->addWidget(Check(&Settings::AutoReplaceOnInput, object_names::kAutoReplaceOnInput));
    QCheckBox* restoreDraft = Check(&Settings::RestoreDraftOnStart, object_names::kRestoreDraftOnStart);
    restoreDraft->setText(QStringLiteral("終了時の下書きを次回に復元する"));
    column->addWidget(restoreDraft);
    column->addStretch(1);
    return PageOf({group}, true);
}

QWidget* SettingsDialog::BuildDisplayPage()
{
    QGroupBox* group = Group("表示設定");
    auto* column = Tight<QVBoxLayout>(group);
    column->addWidget(Check(&Settings::ShowSendCompleteMessage, "ShowSendCompleteMessage"));
    showSplitResult_ = Check(&Settings::ShowSplitResult, object_names::kShowSplitResult);
    column->addWidget(showSplitResult_);
    column->addWidget(Check(&Settings::ScrollLongStatusHints, "ScrollLongStatusHints"));
    column->addWidget(Check(&Settings::ConfirmClear, "ConfirmClear"));
    column->addWidget(Check(&Settings::RememberWindowPosition, "RememberWindowPosition"));
    column->addWidget(Check(&Settings::RememberWindowSize, "RememberWindowSize"));
    QCheckBox* highlight = Check(&Settings::HighlightTabs, object_names::kHighlightTabs);
    connect(highlight, &QCheckBox::toggled, this, [this](bool on) {
        host_.SetTabHighlighting(on);
        pages_->SetHotTracking(on);
    });
    column->addWidget(highlight);
    column->addWidget(Check(&Settings::ShowSubjectBar, "ShowSubjectBar"));
    NumberBox* fontSize = Number(&Settings::FontSize, object_names::kFontSize);
    connect(fontSize, &QSpinBox::valueChanged, this, [this](int points) {
        host_.SetBodyFontSize(points);
        emit fontSizeChanged(points);
    });
    auto* row = Row("フォントサイズ", {fontSize});
    row->addWidget(Button("ツールバーの配置を復元", object_names::kRestoreBarLayout, [this] { host_.RestoreBarLayout(); }));
    column->addLayout(row);
    column->addStretch(1);
    return PageOf({group}, true);
}

QWidget* SettingsDialog::BuildLengthPage()
{
    QGroupBox* unspecified = Group("機種不特定時設定");
    auto* grid = Tight<QGridLayout>(unspecified);
    AddRows(grid, {{"最大文字数", Number(&Settings::MaxLen, object_names::kMaxLen)},
                   {"固定使用文字数", Number(&Settings::FixLen, object_names::kFixLen)}});
    QCheckBox* shiftBytes = Check(&Settings::CountShiftBytes, "CountShiftBytes");
    shiftBytes->setText(Q("全角・半角間の3Byteを計算する"));
    grid->addWidget(shiftBytes, grid->rowCount(), 0, 1, 3);
    grid->setColumnStretch(2, 1);

    QGroupBox* perType = Group("文字数設定");
    auto* rows = Tight<QGridLayout>(perType);
    lengthType_ = NewTypeBox(object_names::kLengthType);
    lengthBox_ = new NumberBox(kUnboundedRange);
    lengthBox_->setObjectName(object_names::kLengthBox);
    connect(lengthType_, &QComboBox::currentIndexChanged, this, [this](int index) {
        editor_.ChooseLengthType(settings_.Types().TypeAtBoxIndex(index));
        ShowLengthEditor();
    });
    connect(lengthBox_, &QSpinBox::valueChanged, this, [this](int value) { editor_.SetLengthOfChosenType(value); });
    AddRows(rows, {{"端末タイプ", lengthType_}, {"最大文字数", lengthBox_}});
    rows->setColumnStretch(2, 1);

    return PageOf({unspecified, perType});
}

// The types the user defines: a page of their own, a list beside an
// editor as on "アドレス帳"; the length page keeps its two groups.
QWidget* SettingsDialog::BuildDefinedTypesPage()
{
    typesPage_ = new DefinedTypesPage(editor_.TypeDefinitions());
    connect(typesPage_, &DefinedTypesPage::typesChanged, this, [this] {
        // Every type box of the dialog lists them as they are now; a
        // delete may have made address-book entries unspecified.
        bookPage_->Sync();
        ShowValues();
    });
    return typesPage_;
}

QWidget* SettingsDialog::BuildSystemPage()
{
    QGroupBox* internal = Group("内部処理設定");
    auto* grid = Tight<QGridLayout>(internal);
    auto* icon = new QLabel;
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(iconSize, iconSize));
    QLabel* warning = Highlighted("この設定を変更すると、動作に悪い影響を与える事があります。正常に動作している限りは、"
                                  "変更しないでください。");
    warning->setObjectName(QStringLiteral("SystemWarning"));
    grid->addWidget(icon, 0, 0, Qt::AlignTop);
    grid->addWidget(warning, 0, 1);
    grid->addWidget(Check(&Settings::AssumeSingleByteAtEnds, "AssumeSingleByteAtEnds"), 1, 0, 1, 2);
    grid->addWidget(Check(&Settings::CountFinalLineBreakShift, object_names::kCountFinalLineBreakShift), 2, 0, 1, 2);
    grid->addWidget(Button("デフォルト値に戻す", object_names::kRestoreSystemDefaults,
                           [this] {
                               editor_.RestoreSystemDefaults();
                               ShowValues();
                           }),
                    3, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    QGroupBox* sockets = Group("WinSock情報");
    auto* lines = Tight<QVBoxLayout>(sockets);
    const std::pair<const char*, std::string> socketLines[] = {
        {"SocketUsability", SocketUsabilityLine(socketLibrary_)},
        {"SocketVersion", SocketVersionLine(socketLibrary_)},
    };
    for (const auto& [name, text] : socketLines) {
        auto* label = new QLabel(DecodeSjis(text));
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        lines->addWidget(label);
    }

    return PageOf({internal, sockets});
}

// ---------------------------------------------------------------- what the editor holds

void SettingsDialog::ShowSenders()
{
    const QSignalBlocker block(senderList_);
    showingSenders_ = true;
    const std::vector<std::string>& senders = settings_.SenderList;
    bool same = senderList_->count() == static_cast<int>(senders.size());
    for (std::size_t i = 0; same && i < senders.size(); ++i) {
        same = senderList_->item(static_cast<int>(i))->text() == DecodeSjis(senders[i]);
    }
    if (!same) {
        senderList_->clear();
        for (const std::string& sender : senders) {
            senderList_->addItem(DecodeSjis(sender));
        }
    }
    senderList_->setCurrentRow(editor_.SenderSelection());
    showingSenders_ = false;
    if (ComposeSjis(senderEntry_->text()).bytes != sender_.Sender()) {
        const QSignalBlocker blockEntry(senderEntry_);
        senderEntry_->setText(DecodeSjis(sender_.Sender()));
    }
}

void SettingsDialog::ShowLengthEditor()
{
    // A deleted type is chosen no more.
    editor_.ChooseLengthType(editor_.LengthType());
    ShowTypeBox(lengthType_, settings_.Types(), editor_.LengthType());
    const QSignalBlocker blockBox(lengthBox_);
    lengthBox_->setValue(editor_.LengthOfChosenType());
}

// While the keyring holds the password the box is empty and closed: the
// password is changed by moving it back, editing it, moving it again.
QWidget* SettingsDialog::KeyringRow(QLineEdit* password, StoredPassword which, const char* objectName)
{
    auto* box = new QCheckBox(Q("キーリングに保存"));
    box->setObjectName(QString::fromLatin1(objectName));
    const PasswordSlot slot = SlotOf(which);
    showValue_.push_back([this, box, password, slot] {
        const QSignalBlocker block(box);
        box->setChecked(settings_.*slot.inKeyring);
        password->setEnabled(!(settings_.*slot.inKeyring));
    });
    connect(box, &QCheckBox::clicked, this, [this, which](bool on) {
        if (std::optional<std::string> failure = editor_.KeepInKeyring(which, on, host_.Keyring(), settingsFile_)) {
            Notify(*this, settings_.BeepOnMessage, *failure);
        }
        ShowValues();
    });
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(password, 1);
    layout->addWidget(box);
    return row;
}

// ---------------------------------------------------------------- actions

void SettingsDialog::TestPopLogin()
{
    if (popTestRunning_) {
        return;
    }
    popTestRunning_ = true;
    popTestStopped_ = false;
    popTest_->setEnabled(false);
    PopBeforeSmtpOptions options;
    options.keyring = host_.Keyring();
    (void)PopBeforeSmtp(settings_, *this, popTestAborted_, options);
    // Closing the dialog ended the wait: there is nothing left to report on.
    if (!popTestStopped_) {
        Notify(*this, settings_.BeepOnMessage, Sj("試験完了。結果は左下のステータスバーをご覧ください。"));
    }
    popTest_->setEnabled(true);
    popTestRunning_ = false;
}

void SettingsDialog::AddToAddressBook(const std::string& address, TerminalType type)
{
    AddressBookEditor& book = editor_.Book();
    book.NewEntry();
    book.SetAddress(address);
    book.SetType(type);
    exec();
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    if (QScreen* s = screen()) {
        move(s->availableGeometry().center() - rect().center());
    }
    KeepOnScreen(this);
    {
        const QSignalBlocker block(pages_);
        pages_->SetCurrentIndex(openingPage_);
    }
    openingPage_ = kAddressBookPage;
    editor_.Opened();
    bookPage_->Sync();
    ShowValues();
}

int SettingsDialog::ExecOnPage(int page)
{
    openingPage_ = page;
    const int result = exec();
    openingPage_ = kAddressBookPage;
    return result;
}

void SettingsDialog::done(int result)
{
    if (popTestRunning_) {
        popTestStopped_ = true;
        popTestAborted_ = true;
    }
    QDialog::done(result);
    const SaveResult saved = editor_.Save(settingsFile_);
    if (!saved.ok()) {
        host_.ShowMessage(saved.message);
    }
    ShowValues(); // the length rule may have corrected MaxLen and FixLen
    host_.ShowSignatureCaptions();
    host_.ApplySettings();
}

} // namespace kitemail
