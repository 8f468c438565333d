#include "ui/recipient_page.h"

#include "platform/text_codec.h"
#include "settings/address_book.h"
#include "ui/check_list_box.h"
#include "ui/main_window_parts.h"
#include "ui/object_names.h"
#include "ui/row_drag.h"
#include "ui/sjis_field.h"
#include "ui/type_box.h"
#include "ui/utf8_text.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <initializer_list>

namespace kitemail {
namespace {

// The carrier mail-domain suffixes of the direct-address box's menu, in
// menu order: carrier name, suffix ("?" where it differs per recipient).
struct CarrierSuffix {
    const char* carrier;
    const char* suffix;
};
constexpr CarrierSuffix kCarrierSuffixes[] = {
    {"DoCoMo", "@docomo.ne.jp"},      {"au", "@ezweb.ne.jp"},          {"vodafone", "@?.vodafone.ne.jp"},
    {"Tu-Ka", "@sky.tk?.ne.jp"},      {"DDI Pocket", "@?.pdx.ne.jp"},
};

void TakeLatinInputOnly(QWidget* widget)
{
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    widget->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
}

} // namespace

using main_window_parts::SetHint;
using main_window_parts::SetInputColour;

RecipientPage::RecipientPage(MessageComposer& composer, QWidget* parent) : QWidget(parent), composer_(composer)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    directGroup_ = new QGroupBox;
    directGroup_->setObjectName(QStringLiteral("DirectGroup"));
    auto* direct = new QVBoxLayout(directGroup_);
    direct->setContentsMargins(4, 2, 4, 4);
    direct->setSpacing(1);
    directModeButton_ = new QRadioButton(Q("直接入力"));
    directModeButton_->setObjectName(object_names::kDirectMode);
    SetHint(directModeButton_, "直接入力|アドレスを直接入力して送信します。");
    directModeButton_->setAutoExclusive(false);
    addressLabel_ = new QLabel(Q("E-mailアドレス"));
    addressBox_ = new QLineEdit;
    addressBox_->setObjectName(object_names::kAddress);
    TakeLatinInputOnly(addressBox_);
    typeLabel_ = new QLabel(Q("端末タイプ"));
    typeLabel_->setObjectName(object_names::kTypeLabel);
    typeBox_ = NewTypeBox(object_names::kTypeBox, TypeBoxTexts::Main);
    typeBox_->setEditable(false);
    for (QWidget* w : std::initializer_list<QWidget*>{directModeButton_, addressLabel_, addressBox_, typeLabel_, typeBox_}) {
        direct->addWidget(w);
    }

    bookGroup_ = new QGroupBox;
    bookGroup_->setObjectName(QStringLiteral("BookGroup"));
    auto* book = new QVBoxLayout(bookGroup_);
    book->setContentsMargins(4, 2, 4, 4);
    book->setSpacing(1);
    bookModeButton_ = new QRadioButton(Q("アドレス帳選択"));
    bookModeButton_->setObjectName(object_names::kBookMode);
    SetHint(bookModeButton_, "アドレス帳選択|アドレスを選択して送信します。");
    bookModeButton_->setAutoExclusive(false);
    bookLabel_ = new QLabel(Q("送信先選択"));
    bookList_ = new CheckListBox;
    bookList_->setObjectName(object_names::kBookList);
    TakeLatinInputOnly(bookList_);
    book->addWidget(bookModeButton_);
    book->addWidget(bookLabel_);
    book->addWidget(bookList_, 1);

    layout->addWidget(directGroup_);
    layout->addWidget(bookGroup_, 1);

    BuildContextMenus();

    connect(addressBox_, &QLineEdit::textChanged, this, [this](const QString& text) {
        composer_.SetDirectAddress(ComposeSjis(text));
        emit addressEdited();
    });
    connect(typeBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        composer_.TypeBoxChanged(composer_.Types().TypeAtBoxIndex(index));
        emit typeChosen();
    });
    connect(directModeButton_, &QRadioButton::clicked, this, [this] { SelectMode(true); });
    connect(bookModeButton_, &QRadioButton::clicked, this, [this] { SelectMode(false); });
    connect(bookList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        composer_.SetTick(bookList_->row(item), item->checkState() == Qt::Checked);
        emit changed();
    });
    connect(bookList_, &QListWidget::currentRowChanged, this, [this](int row) { composer_.SetHighlighted(row); });
    connect(bookList_->Drag(), &RowDrag::pressedOnRow, this, [this](int row) { composer_.DragBegin(row); });
    connect(bookList_->Drag(), &RowDrag::draggedOverRow, this, [this](int row) {
        composer_.DragOver(row);
        SyncCheckList();
    });
    connect(bookList_->Drag(), &RowDrag::droppedOnRow, this, [this](int row) {
        composer_.Drop(row);
        SyncCheckList();
    });

    // Clicking anywhere in a recipient group chooses its mode.
    for (QWidget* w : std::initializer_list<QWidget*>{directGroup_, addressLabel_, typeLabel_, addressBox_, typeBox_,
                                                      bookGroup_, bookLabel_, bookList_->viewport()}) {
        w->installEventFilter(this);
    }
}

void RecipientPage::BuildContextMenus()
{
    checkListMenu_ = new QMenu(this);
    checkListMenu_->setObjectName(object_names::kCheckListMenu);
    const auto tickAll = [this](bool on) {
        composer_.TickAll(on);
        SyncCheckList();
    };
    connect(checkListMenu_->addAction(Q("全てにチェックを入れる")), &QAction::triggered, this, [tickAll] { tickAll(true); });
    connect(checkListMenu_->addAction(Q("全てのチェックを外す")), &QAction::triggered, this, [tickAll] { tickAll(false); });
    checkListMenu_->addSeparator();
    surveyAction_ = checkListMenu_->addAction(Q("使用端末調査"));
    connect(surveyAction_, &QAction::triggered, this, [this] { composer_.SurveyHighlighted(); });
    insertEntryAction_ = checkListMenu_->addAction(Q("本文中に挿入"));
    insertEntryAction_->setObjectName(object_names::kInsertEntry);
    connect(insertEntryAction_, &QAction::triggered, this, [this] {
        if (bookEditor_ == nullptr) {
            return;
        }
        if (const std::optional<std::string> text = EntryAddressText(*bookEditor_, composer_.Highlighted())) {
            emit insertRequested(DecodeSjis(*text));
        }
    });
    bookList_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bookList_, &QWidget::customContextMenuRequested, this, &RecipientPage::ShowCheckListMenu);

    addressMenu_ = new QMenu(this);
    addressMenu_->setObjectName(object_names::kAddressMenu);
    for (const CarrierSuffix& c : kCarrierSuffixes) {
        QMenu* sub = addressMenu_->addMenu(Q(c.carrier));
        // Captions stay exactly as written: each is the very text inserted.
        QAction* a = sub->addAction(Q(c.suffix));
        const QString suffix = Q(c.suffix);
        connect(a, &QAction::triggered, this, [this, suffix] { addressBox_->insert(suffix); });
    }
    addressMenu_->addSeparator();
    addToBookAction_ = addressMenu_->addAction(Q("アドレス帳に追加"));
    addToBookAction_->setObjectName(object_names::kAddToAddressBook);
    addToBookAction_->setEnabled(false); // until there is a settings dialog to add in
    connect(addToBookAction_, &QAction::triggered, this, [this] {
        if (addToAddressBook_) {
            addToAddressBook_(composer_.Text(TextArea::DirectAddress).bytes, composer_.TypeBox());
        }
    });
    addressMenu_->addSeparator();
    connect(addressMenu_->addAction(Q("切り取り")), &QAction::triggered, addressBox_, &QLineEdit::cut);
    connect(addressMenu_->addAction(Q("コピー")), &QAction::triggered, addressBox_, &QLineEdit::copy);
    connect(addressMenu_->addAction(Q("貼り付け")), &QAction::triggered, addressBox_, &QLineEdit::paste);
    addressBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(addressBox_, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { addressMenu_->popup(addressBox_->mapToGlobal(pos)); });
}

void RecipientPage::SetAddToAddressBookCommand(std::function<void(const std::string&, TerminalType)> add)
{
    addToAddressBook_ = std::move(add);
    addToBookAction_->setEnabled(static_cast<bool>(addToAddressBook_));
}

void RecipientPage::SelectMode(bool direct)
{
    if (direct) {
        composer_.SelectDirectMode();
    } else {
        composer_.SelectAddressBookMode();
    }
    emit changed();
}

void RecipientPage::ShowCheckListMenu(QPoint pos)
{
    surveyAction_->setEnabled(composer_.EntryMenuItemsEnabled());
    insertEntryAction_->setEnabled(composer_.EntryMenuItemsEnabled() && bookEditor_ != nullptr);
    checkListMenu_->popup(bookList_->viewport()->mapToGlobal(pos));
}

bool RecipientPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == typeLabel_ && event->type() == QEvent::MouseButtonDblClick) {
        composer_.ClearTypeBox();
        emit changed();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const bool direct = watched == directGroup_ || watched == addressLabel_ || watched == typeLabel_ ||
                            watched == addressBox_ || watched == typeBox_;
        const bool book = watched == bookGroup_ || watched == bookLabel_ || watched == bookList_->viewport();
        if (direct || book) {
            SelectMode(direct);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void RecipientPage::Sync()
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
    ShowTypeBox(typeBox_, composer_.Types(), composer_.TypeBox());
    SyncCheckList();
}

void RecipientPage::SyncAddress()
{
    main_window_parts::ShowComposed(addressBox_, composer_.Text(TextArea::DirectAddress));
}

void RecipientPage::SyncCheckList()
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

} // namespace kitemail
