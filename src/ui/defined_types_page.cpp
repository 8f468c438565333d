#include "ui/defined_types_page.h"

#include "platform/text_codec.h"
#include "ui/number_box.h"
#include "ui/object_names.h"
#include "ui/sjis_field.h"
#include "ui/utf8_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <initializer_list>
#include <utility>

namespace kitemail {
namespace {

// A choice box whose item index is the choice's value in the settings file.
QComboBox* ChoiceBox(const char* objectName, std::initializer_list<const char*> items, const char* tip = nullptr)
{
    auto* box = new QComboBox;
    box->setObjectName(QString::fromLatin1(objectName));
    for (const char* item : items) {
        box->addItem(Q(item));
    }
    if (tip != nullptr) {
        box->setToolTip(Q(tip));
    }
    return box;
}

QCheckBox* Tick(const char* text, const char* objectName)
{
    auto* box = new QCheckBox(Q(text));
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}

template <typename Choice>
void ShowChoice(QComboBox* box, Choice value)
{
    box->setCurrentIndex(static_cast<int>(value));
}

template <typename Choice>
Choice ChoiceOf(const QComboBox* box)
{
    return static_cast<Choice>(box->currentIndex() < 0 ? 0 : box->currentIndex());
}

} // namespace

DefinedTypesPage::DefinedTypesPage(DefinedTypesEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor)
{
    setObjectName(QStringLiteral("DefinedTypesPage"));
    list_ = new QListWidget;
    list_->setObjectName(object_names::kTypeList);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    // The names need the room more than the choices do.
    layout->addWidget(list_, 3);
    layout->addWidget(BuildFields(), 5);

    // A click loads the type, also the one already selected; so do the
    // keys. The list making a row current as it takes the focus loads
    // nothing: the fields may hold a new type being written.
    const auto show = [this](int row) { Act([&] { editor_.Select(row); }); };
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [show](const QItemSelection& selected) {
                if (!selected.indexes().isEmpty()) {
                    show(selected.indexes().front().row());
                }
            });
    connect(list_, &QListWidget::itemClicked, this, [this, show](QListWidgetItem* item) { show(list_->row(item)); });

    connect(name_, &QLineEdit::textChanged, this, &DefinedTypesPage::FieldsEdited);
    for (NumberBox* box : {limit_, fixed_}) {
        connect(box, &QSpinBox::valueChanged, this, &DefinedTypesPage::FieldsEdited);
    }
    for (QComboBox* box : {sender_, subject_, shifts_, attachments_}) {
        connect(box, &QComboBox::currentIndexChanged, this, &DefinedTypesPage::FieldsEdited);
    }
    for (QCheckBox* box : {finalBreak_, subjectBox_, pinBox_, attachmentBox_, animationBox_}) {
        connect(box, &QCheckBox::toggled, this, &DefinedTypesPage::FieldsEdited);
    }
    const std::pair<QPushButton*, std::function<void()>> buttons[] = {
        {add_, [this] { editor_.Add(); }},
        {replace_, [this] { editor_.Replace(); }},
        {delete_, [this] { editor_.Delete(); }},
        {new_, [this] { editor_.New(); }},
    };
    for (const auto& [button, action] : buttons) {
        connect(button, &QPushButton::clicked, this, [this, action] {
            Act(action);
            emit typesChanged();
        });
    }
    Sync();
}

QWidget* DefinedTypesPage::BuildFields()
{
    name_ = new QLineEdit;
    name_->setObjectName(object_names::kTypeName);
    AcceptSjisOnly(name_);
    limit_ = new NumberBox(kUnboundedRange);
    limit_->setObjectName(object_names::kTypeLimit);
    fixed_ = new NumberBox(kUnboundedRange);
    fixed_->setObjectName(object_names::kTypeFixed);

    sender_ = ChoiceBox(object_names::kTypeSender, {"数えない", "全体", "55 byteまで", "@まで"});
    subject_ = ChoiceBox(object_names::kTypeSubject, {"数えない", "byte数", "40 byteまで"},
                         "「40 byteまで」：3Byteも数え、40 byteを超える件名は40と数えます。");
    shifts_ = ChoiceBox(object_names::kTypeShifts, {"数えない", "数える", "3Byte設定に従う"},
                        "本文と件名の全角・半角間の3Byte。「3Byte設定に従う」は「文字数制限設定」の"
                        "「全角・半角間の3Byteを計算する」に従います。");
    attachments_ = ChoiceBox(object_names::kTypeAttachments, {"数えない", "サイズ", "サイズ+パス+20"});
    finalBreak_ = Tick("末尾改行を数える", object_names::kTypeFinalBreak);
    finalBreak_->setToolTip(Q("本文の最後が全角の時の改行を2 byteと数えます（「システム設定」の"
                              "「本文の最後が全角の時の改行コードの挿入を考慮する」がオンの時）。"));
    subjectBox_ = Tick("件名", object_names::kTypeSubjectBox);
    pinBox_ = Tick("PIN", object_names::kTypePinBox);
    pinBox_->setToolTip(Q("PINコード。件名なしでは、PINコードを件名として送ります。"));
    attachmentBox_ = Tick("添付", object_names::kTypeAttachmentBox);
    attachmentBox_->setToolTip(Q("添付ファイル"));
    animationBox_ = Tick("アニメ", object_names::kTypeAnimationBox);
    animationBox_->setToolTip(Q("アニメモード"));

    auto* fields = new QWidget;
    auto* column = new QVBoxLayout(fields);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    auto* top = new QGridLayout;
    top->setSpacing(2);
    top->addWidget(new QLabel(Q("種別名")), 0, 0);
    top->addWidget(name_, 0, 1, 1, 3);
    top->addWidget(new QLabel(Q("文字数制限")), 1, 0);
    top->addWidget(limit_, 1, 1);
    top->addWidget(new QLabel(Q("固定長")), 1, 2);
    top->addWidget(fixed_, 1, 3);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(3, 1);
    column->addLayout(top);

    auto* counts = new QGroupBox(Q("数え方"));
    auto* grid = new QGridLayout(counts);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setSpacing(2);
    const std::pair<const char*, QComboBox*> rows[] = {
        {"送信元", sender_}, {"件名", subject_}, {"3Byte", shifts_}, {"添付", attachments_}};
    int row = 0;
    for (const auto& [caption, box] : rows) {
        grid->addWidget(new QLabel(Q(caption)), row / 2, (row % 2) * 2);
        grid->addWidget(box, row / 2, (row % 2) * 2 + 1);
        ++row;
    }
    grid->addWidget(finalBreak_, 2, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    column->addWidget(counts);

    auto* areas = new QGroupBox(Q("使える入力欄"));
    auto* ticks = new QHBoxLayout(areas);
    ticks->setContentsMargins(6, 2, 6, 4);
    ticks->setSpacing(6);
    for (QCheckBox* box : {subjectBox_, pinBox_, attachmentBox_, animationBox_}) {
        ticks->addWidget(box);
    }
    ticks->addStretch(1);
    column->addWidget(areas);

    const auto button = [](const char* text, const char* objectName) {
        auto* b = new QPushButton(Q(text));
        b->setObjectName(QString::fromLatin1(objectName));
        b->setAutoDefault(false);
        return b;
    };
    add_ = button("追加", object_names::kTypeAdd);
    replace_ = button("置換", object_names::kTypeReplace);
    delete_ = button("削除", object_names::kTypeDelete);
    new_ = button("新規", object_names::kTypeNew);
    new_->setToolTip(Q("新規入力"));
    auto* actions = new QHBoxLayout;
    for (QPushButton* b : {add_, replace_, delete_, new_}) {
        actions->addWidget(b);
    }
    column->addLayout(actions);
    column->addStretch(1);
    return fields;
}

template <typename Operation>
void DefinedTypesPage::Act(Operation&& operation)
{
    if (!syncing_) {
        operation();
        Sync();
    }
}

void DefinedTypesPage::FieldsEdited()
{
    if (syncing_) {
        return;
    }
    DefinedType d = editor_.Fields();
    d.name = ComposeSjis(name_->text()).bytes;
    d.limit = limit_->value();
    d.fixedCount = fixed_->value();
    d.counts.sender = ChoiceOf<SenderTerm>(sender_);
    d.counts.subject = ChoiceOf<SubjectTerm>(subject_);
    d.counts.shiftBytes = ChoiceOf<ShiftBytes>(shifts_);
    d.counts.attachments = ChoiceOf<AttachmentTerm>(attachments_);
    d.counts.finalLineBreak = finalBreak_->isChecked();
    d.areas.subject = subjectBox_->isChecked();
    d.areas.pin = pinBox_->isChecked();
    d.areas.attachments = attachmentBox_->isChecked();
    d.areas.animationMode = animationBox_->isChecked();
    editor_.SetFields(d);
}

void DefinedTypesPage::Shown()
{
    editor_.PageShown();
    Sync();
}

void DefinedTypesPage::Sync()
{
    syncing_ = true;
    const std::vector<std::string> names = editor_.Names();
    bool same = list_->count() == static_cast<int>(names.size());
    for (int i = 0; same && i < list_->count(); ++i) {
        same = list_->item(i)->text() == DecodeSjis(names[static_cast<std::size_t>(i)]);
    }
    if (!same) {
        list_->clear();
        for (const std::string& name : names) {
            list_->addItem(DecodeSjis(name));
        }
    }
    list_->setCurrentRow(editor_.SelectedIndex());
    if (editor_.SelectedIndex() < 0) {
        list_->clearSelection();
    }

    const DefinedType& d = editor_.Fields();
    if (ComposeSjis(name_->text()).bytes != d.name) {
        name_->setText(DecodeSjis(d.name));
    }
    limit_->setValue(d.limit);
    fixed_->setValue(d.fixedCount);
    ShowChoice(sender_, d.counts.sender);
    ShowChoice(subject_, d.counts.subject);
    ShowChoice(shifts_, d.counts.shiftBytes);
    ShowChoice(attachments_, d.counts.attachments);
    finalBreak_->setChecked(d.counts.finalLineBreak);
    subjectBox_->setChecked(d.areas.subject);
    pinBox_->setChecked(d.areas.pin);
    attachmentBox_->setChecked(d.areas.attachments);
    animationBox_->setChecked(d.areas.animationMode);
    replace_->setEnabled(editor_.ReplaceEnabled());
    delete_->setEnabled(editor_.DeleteEnabled());
    syncing_ = false;
}

} // namespace kitemail
