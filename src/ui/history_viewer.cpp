#include "ui/history_viewer.h"

#include "platform/text_codec.h"
#include "settings/settings.h"
#include "ui/object_names.h"
#include "ui/utf8_text.h"
#include "ui/window_placement.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace kitemail {
namespace {

constexpr int kWidth = 487;
constexpr int kHeight = 263;
constexpr int kFilterRows = 20;

QString FromSjis(const std::string& sjis)
{
    return DecodeSjis(sjis);
}

// The list's texts decoded in one pass: one decoder for thousands of short
// lines instead of one each. A line whose last byte swallowed the separator
// makes the counts differ; then each line is decoded alone.
QStringList DecodeItems(const std::vector<HistoryBrowser::Item>& items)
{
    std::string joined;
    for (const HistoryBrowser::Item& item : items) {
        joined += HistoryBrowser::ItemText(item);
        joined.push_back('\n');
    }
    QStringList lines = DecodeSjis(joined).split(QLatin1Char('\n'));
    lines.removeLast();
    if (lines.size() == static_cast<qsizetype>(items.size())) {
        return lines;
    }
    lines.clear();
    for (const HistoryBrowser::Item& item : items) {
        lines.push_back(FromSjis(HistoryBrowser::ItemText(item)));
    }
    return lines;
}

} // namespace

HistoryViewer::HistoryViewer(const Settings& settings, std::filesystem::path folder, UserInterface& owner,
                             QWidget* parent)
    : QDialog(parent), DialogUserInterface(this, owner), settings_(settings), browser_(std::move(folder))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(Q("送信履歴"));
    setSizeGripEnabled(true);
    resize(kWidth, kHeight);

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(4, 4, 0, 4);
    leftLayout->addWidget(new QLabel(Q("メール一覧（送信先）")));
    list_ = new QListWidget;
    list_->setObjectName(object_names::kHistoryList);
    list_->setUniformItemSizes(true);
    leftLayout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    auto* deleteOne = new QPushButton(Q("1件削除"));
    deleteOne->setObjectName(object_names::kHistoryDeleteOne);
    auto* clear = new QPushButton(Q("クリア"));
    clear->setObjectName(object_names::kHistoryClear);
    // Enter in the list must never reach a delete: neither is a default.
    for (QPushButton* b : {deleteOne, clear}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    leftLayout->addLayout(buttons);
    resend_ = new QAction(Q("再送信"), this);
    resend_->setEnabled(false);
    auto* resend = new QPushButton(resend_->text());
    resend->setObjectName(object_names::kHistoryResend);
    resend->setAutoDefault(false);
    resend->setEnabled(false);
    connect(resend_, &QAction::changed, resend, [resend, this] { resend->setEnabled(resend_->isEnabled()); });
    connect(resend, &QPushButton::clicked, resend_, &QAction::trigger);
    connect(resend_, &QAction::triggered, this, &HistoryViewer::Resend);
    buttons->addWidget(resend);
    list_->addAction(resend_);
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 4, 4, 4);
    auto* head = new QHBoxLayout;
    head->addWidget(new QLabel(Q("内容")));
    position_ = new QLabel(QStringLiteral("0/0"));
    position_->setObjectName(object_names::kHistoryPosition);
    position_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    head->addWidget(position_, 1);
    rightLayout->addLayout(head);
    text_ = new QPlainTextEdit;
    text_->setObjectName(object_names::kHistoryText);
    text_->setReadOnly(true);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rightLayout->addWidget(text_, 1);
    decodeNote_ = new QLabel;
    decodeNote_->setObjectName(object_names::kHistoryDecodeNote);
    decodeNote_->setWordWrap(true);
    decodeNote_->hide();
    rightLayout->addWidget(decodeNote_);
    auto* foot = new QHBoxLayout;
    foot->addWidget(new QLabel(Q("To 指定")));
    filter_ = new QComboBox;
    filter_->setObjectName(object_names::kHistoryFilter);
    filter_->setMaxVisibleItems(kFilterRows);
    filter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    foot->addWidget(filter_, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("HistoryOkButton"));
    ok->setAutoDefault(false);
    foot->addWidget(ok);
    rightLayout->addLayout(foot);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(left);
    splitter->addWidget(right);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({kWidth / 2, kWidth / 2});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(list_, &QListWidget::currentRowChanged, this, &HistoryViewer::ShowRecord);
    connect(filter_, &QComboBox::activated, this, &HistoryViewer::FilterChanged);
    connect(deleteOne, &QPushButton::clicked, this, &HistoryViewer::DeleteOne);
    connect(clear, &QPushButton::clicked, this, &HistoryViewer::Clear);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

HistoryViewer::~HistoryViewer() = default;

void HistoryViewer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        KeepOnScreen(this);
    }
    Rebuild();
    list_->setFocus(Qt::OtherFocusReason);
}

void HistoryViewer::EmptyView()
{
    const QSignalBlocker blockList(list_);
    const QSignalBlocker blockFilter(filter_);
    list_->clear();
    text_->clear();
    decodeNote_->hide();
    filter_->clear();
    filter_->addItem(FromSjis(AllRecipientsText()));
}

void HistoryViewer::Rebuild()
{
    QFont font = text_->font();
    font.setPointSize(settings_.FontSize);
    text_->setFont(font);
    EmptyView();
    if (browser_.Load(*this, settings_.BeepOnMessage)) {
        ShowBrowser();
    }
}

void HistoryViewer::ShowBrowser()
{
    EmptyView();
    const QSignalBlocker blockFilter(filter_);
    const std::vector<std::string>& filters = browser_.FilterItems();
    for (std::size_t i = 1; i < filters.size(); ++i) {
        filter_->addItem(FromSjis(filters[i]));
    }
    filter_->setCurrentIndex(0);
    FillList();
}

void HistoryViewer::FillList()
{
    {
        const QSignalBlocker block(list_);
        list_->clear();
        list_->addItems(DecodeItems(browser_.Items()));
    }
    text_->clear();
    decodeNote_->hide();
    if (list_->count() > 0) {
        list_->setCurrentRow(list_->count() - 1);
    }
}

void HistoryViewer::ShowRecord(int row)
{
    if (row < 0) {
        return;
    }
    const auto r = static_cast<std::size_t>(row);
    const std::string record = browser_.RecordText(r).value_or(std::string());
    text_->setPlainText(FromSjis(record));
    const std::string undecodable = UndecodableSjisNames(record);
    decodeNote_->setVisible(!undecodable.empty());
    decodeNote_->setText(Q("Shift_JISとして読めないバイトを「%1」で表示しています：").arg(QChar(0xFFFD)) +
                         FromSjis(undecodable));
    position_->setText(FromSjis(browser_.PositionText(r)));
}

void HistoryViewer::FilterChanged(int index)
{
    browser_.SetFilter(static_cast<std::size_t>(std::max(index, 0)));
    FillList();
}

void HistoryViewer::DeleteOne()
{
    const int row = list_->currentRow();
    if (row < 0 || list_->currentItem() == nullptr || !list_->currentItem()->isSelected()) {
        return;
    }
    if (browser_.DeleteOne(static_cast<std::size_t>(row), *this, settings_.BeepOnMessage)) {
        Rebuild();
    }
}

void HistoryViewer::SetResend(std::function<bool(const std::string&)> resend)
{
    resendTo_ = std::move(resend);
    resend_->setEnabled(static_cast<bool>(resendTo_));
}

void HistoryViewer::Resend()
{
    const int row = list_->currentRow();
    if (!resendTo_ || row < 0 || list_->currentItem() == nullptr) {
        return;
    }
    const std::optional<std::string> record = browser_.RecordText(static_cast<std::size_t>(row));
    if (!record) {
        return;
    }
    if (resendTo_(*record)) {
        accept();
    }
}

void HistoryViewer::Clear()
{
    if (!browser_.Clear(*this, settings_.BeepOnMessage)) {
        return;
    }
    // Records that could not be deleted stay listed.
    ShowBrowser();
    if (browser_.Items().empty()) {
        position_->setText(QStringLiteral("0/0"));
    }
}

} // namespace kitemail
