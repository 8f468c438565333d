#include "ui/address_book_page.h"

#include "accounting/terminal_type.h"
#include "platform/text_codec.h"
#include "ui/object_names.h"
#include "ui/row_drag.h"
#include "ui/sjis_field.h"
#include "ui/type_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace kitemail {
namespace {

constexpr int kPinLength = 4;

// Sets a box's text only when it says something else, so that the caret of
// the box being typed in stays where it is.
void ShowText(QLineEdit* box, const std::string& bytes)
{
    if (ComposeSjis(box->text()).bytes != bytes) {
        box->setText(DecodeSjis(bytes));
    }
}

} // namespace

// ---------------------------------------------------------------- model

int AddressBookModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant AddressBookModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || static_cast<std::size_t>(index.row()) >= lines_.size()) {
        return {};
    }
    return DecodeSjis(lines_[static_cast<std::size_t>(index.row())]);
}

Qt::ItemFlags AddressBookModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled : Qt::NoItemFlags;
}

void AddressBookModel::Sync(const std::vector<std::string>& lines)
{
    if (lines == lines_) {
        return;
    }
    // Every editing step changes one stretch of lines: find it between the
    // unchanged beginning and end.
    const std::size_t oldSize = lines_.size();
    const std::size_t newSize = lines.size();
    const std::size_t shorter = std::min(oldSize, newSize);
    std::size_t head = 0;
    while (head < shorter && lines_[head] == lines[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < shorter - head && lines_[oldSize - 1 - tail] == lines[newSize - 1 - tail]) {
        ++tail;
    }
    const auto first = static_cast<int>(head);
    if (oldSize == newSize) {
        lines_ = lines;
        emit dataChanged(index(first), index(static_cast<int>(newSize - 1 - tail)));
    } else if (head + tail == oldSize) {
        beginInsertRows({}, first, static_cast<int>(newSize - 1 - tail));
        lines_ = lines;
        endInsertRows();
    } else if (head + tail == newSize) {
        beginRemoveRows({}, first, static_cast<int>(oldSize - 1 - tail));
        lines_ = lines;
        endRemoveRows();
    } else {
        beginResetModel();
        lines_ = lines;
        endResetModel();
    }
}

// ---------------------------------------------------------------- page

AddressBookPage::AddressBookPage(AddressBookEditor& editor, QWidget* parent)
    : QWidget(parent), editor_(editor), model_(new AddressBookModel(this)), list_(new QListView)
{
    setObjectName(QStringLiteral("AddressBookPage"));
    list_->setObjectName(object_names::kEntryList);
    list_->setModel(model_);
    // One row height for all: a long book is laid out without measuring it.
    list_->setUniformItemSizes(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setAttribute(Qt::WA_InputMethodEnabled, false);
    drag_ = new RowDrag(list_);
    drag_->setObjectName(object_names::kEntryListDrag);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    BuildFields(grid);
    BuildButtons(grid);
    grid->setRowStretch(grid->rowCount(), 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(list_, 5);
    layout->addLayout(grid, 6);

    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("EntryListMenu"));
    deleteAction_ = listMenu_->addAction(QStringLiteral("削除"));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](QPoint pos) {
        deleteAction_->setEnabled(editor_.DeleteEnabled());
        listMenu_->popup(list_->viewport()->mapToGlobal(pos));
    });
    Connect();
    Sync();
}

void AddressBookPage::BuildFields(QGridLayout* grid)
{
    const auto line = [this](const char* name) {
        auto* box = new QLineEdit;
        box->setObjectName(QString::fromLatin1(name));
        AcceptSjisOnly(box);
        return box;
    };
    name_ = line(object_names::kEntryName);
    address_ = line(object_names::kEntryAddress);
    address_->setAttribute(Qt::WA_InputMethodEnabled, false);
    pin_ = line(object_names::kEntryPin);
    pin_->setMaxLength(kPinLength);
    type_ = NewTypeBox(object_names::kEntryType);
    senderCheck_ = new QCheckBox(QStringLiteral("送信元指定"));
    senderCheck_->setObjectName(object_names::kEntrySenderCheck);
    sender_ = new QComboBox;
    sender_->setObjectName(object_names::kEntrySender);
    sender_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    const std::pair<const char*, QWidget*> rows[] = {
        {"名前", name_}, {"アドレス", address_}, {"端末タイプ", type_}, {"PINコード(Sky*のみ)", pin_}};
    for (const auto& [caption, box] : rows) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QString::fromUtf8(caption)), row, 0);
        grid->addWidget(box, row, 1, 1, 3);
    }
    const int row = grid->rowCount();
    grid->addWidget(senderCheck_, row, 0);
    grid->addWidget(sender_, row, 1, 1, 3);
}

void AddressBookPage::BuildButtons(QGridLayout* grid)
{
    const auto button = [](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromUtf8(text));
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        // As narrow as the caption allows: the list needs the room.
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 16);
        b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        return b;
    };
    add_ = button("追加", object_names::kEntryAdd);
    replace_ = button("置換", object_names::kEntryReplace);
    delete_ = button("削除", object_names::kEntryDelete);
    new_ = button("新規", object_names::kEntryNew);
    new_->setToolTip(QStringLiteral("新規入力"));
    up_ = button("↑", object_names::kEntryUp);
    down_ = button("↓", object_names::kEntryDown);
    // The arrows share one fixed size, whatever each glyph's own width.
    const int arrowWidth = std::max(up_->minimumWidth(), down_->minimumWidth());
    for (QPushButton* arrow : {up_, down_}) {
        arrow->setFixedWidth(arrowWidth);
        arrow->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    sort_ = new QCheckBox(QStringLiteral("ソート"));
    sort_->setObjectName(object_names::kEntrySort);

    auto* actions = new QHBoxLayout;
    for (QPushButton* b : {add_, replace_, delete_, new_}) {
        actions->addWidget(b);
    }
    auto* order = new QHBoxLayout;
    order->addWidget(up_);
    order->addWidget(down_);
    order->addStretch(1);
    order->addWidget(sort_);
    grid->addLayout(actions, grid->rowCount(), 0, 1, 4);
    grid->addLayout(order, grid->rowCount(), 0, 1, 4);
}

template <typename Operation>
void AddressBookPage::Act(Operation&& operation)
{
    if (!syncing_) {
        operation();
        Sync();
    }
}

void AddressBookPage::Connect()
{
    // A click loads the entry, also the one already selected; so does
    // moving through the list with the keys. The view making an entry
    // current as it takes the focus selects nothing and loads nothing.
    const auto show = [this](int row) {
        Act([&] {
            editor_.Select(row);
            editor_.ShowEntry();
        });
    };
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [show](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty()) {
                    show(selected.indexes().front().row());
                }
            });
    connect(list_, &QListView::clicked, this, [show](const QModelIndex& index) { show(index.row()); });
    connect(drag_, &RowDrag::pressedOnRow, this, [this](int row) { editor_.DragBegin(row); });
    connect(drag_, &RowDrag::draggedOverRow, this, [this](int row) { Act([&] { editor_.DragOver(row); }); });
    connect(drag_, &RowDrag::droppedOnRow, this, [this](int row) { Act([&] { editor_.Drop(row); }); });

    connect(name_, &QLineEdit::textChanged, this,
            [this](const QString& text) { Act([&] { editor_.SetName(ComposeSjis(text).bytes); }); });
    connect(address_, &QLineEdit::textChanged, this,
            [this](const QString& text) { Act([&] { editor_.SetAddress(ComposeSjis(text).bytes); }); });
    connect(pin_, &QLineEdit::textChanged, this,
            [this](const QString& text) { Act([&] { editor_.SetPin(ComposeSjis(text).bytes); }); });
    connect(type_, &QComboBox::currentIndexChanged, this,
            [this](int i) { Act([&] { editor_.SetType(editor_.Types().TypeAtBoxIndex(i)); }); });
    connect(sender_, &QComboBox::currentIndexChanged, this,
            [this](int i) { Act([&] { editor_.SetSenderIndex(i); }); });
    connect(senderCheck_, &QCheckBox::clicked, this, [this](bool on) { Act([&] { editor_.SenderCheckClicked(on); }); });

    connect(add_, &QPushButton::clicked, this, [this] { Act([&] { editor_.AddEntry(); }); });
    connect(replace_, &QPushButton::clicked, this, [this] { Act([&] { editor_.ReplaceEntry(); }); });
    connect(delete_, &QPushButton::clicked, this, [this] { Act([&] { editor_.DeleteEntry(); }); });
    connect(deleteAction_, &QAction::triggered, this, [this] { Act([&] { editor_.DeleteEntry(); }); });
    connect(new_, &QPushButton::clicked, this, [this] { Act([&] { editor_.NewEntry(); }); });
    connect(up_, &QPushButton::clicked, this, [this] { Act([&] { editor_.MoveEntry(-1); }); });
    connect(down_, &QPushButton::clicked, this, [this] { Act([&] { editor_.MoveEntry(+1); }); });
    connect(sort_, &QCheckBox::clicked, this, [this](bool on) { Act([&] { editor_.SetSorted(on); }); });
}

void AddressBookPage::Shown()
{
    editor_.PageShown();
    Sync();
}

void AddressBookPage::Sync()
{
    syncing_ = true;
    model_->Sync(editor_.Lines());
    const int selected = editor_.SelectedIndex();
    QItemSelectionModel* selection = list_->selectionModel();
    if (selected < 0) {
        selection->clear();
    } else if (list_->currentIndex().row() != selected || !selection->isSelected(model_->index(selected))) {
        const QModelIndex index = model_->index(selected);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list_->scrollTo(index);
    }
    SyncFields();
    up_->setVisible(editor_.ArrowButtonsVisible());
    down_->setVisible(editor_.ArrowButtonsVisible());
    replace_->setVisible(editor_.ReplaceButtonVisible());
    sort_->setChecked(editor_.Sorted());
    syncing_ = false;
}

void AddressBookPage::SyncFields()
{
    const AddressBookFields& fields = editor_.Fields();
    ShowText(name_, fields.name);
    ShowText(address_, fields.address);
    ShowText(pin_, fields.pin);
    ShowTypeBox(type_, editor_.Types(), fields.type);
    if (senderItems_ != editor_.SenderItems()) {
        senderItems_ = editor_.SenderItems();
        sender_->clear();
        for (const std::string& item : senderItems_) {
            sender_->addItem(DecodeSjis(item));
        }
    }
    sender_->setCurrentIndex(fields.senderIndex);
    sender_->setEnabled(editor_.SenderBoxEnabled());
    senderCheck_->setChecked(fields.senderChecked);
}

} // namespace kitemail
