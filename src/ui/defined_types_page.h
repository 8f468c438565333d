#pragma once
// The settings dialog's "端末タイプ定義" page: the list of the terminal
// types the user defined and the fields of one of them (name, limit, fixed
// overhead, what the count takes, which input areas it offers). Every rule
// is the DefinedTypesEditor's; the page forwards the user's actions to it
// and shows what it holds afterwards.

#include "settings/defined_types_editor.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kitemail {

class NumberBox;

class DefinedTypesPage : public QWidget {
    Q_OBJECT
public:
    explicit DefinedTypesPage(DefinedTypesEditor& editor, QWidget* parent = nullptr);

    // The page became visible.
    void Shown();
    // Shows what the editor holds now.
    void Sync();

signals:
    // A type was added, replaced or deleted: every type box follows.
    void typesChanged();

private:
    QWidget* BuildFields();
    // Runs an editor operation, then shows its outcome.
    template <typename Operation>
    void Act(Operation&& operation);
    // The fields as the widgets hold them, into the editor.
    void FieldsEdited();

    DefinedTypesEditor& editor_;
    QListWidget* list_ = nullptr;
    QLineEdit* name_ = nullptr;
    NumberBox* limit_ = nullptr;
    NumberBox* fixed_ = nullptr;
    QComboBox* sender_ = nullptr;
    QComboBox* subject_ = nullptr;
    QComboBox* shifts_ = nullptr;
    QComboBox* attachments_ = nullptr;
    QCheckBox* finalBreak_ = nullptr;
    QCheckBox* subjectBox_ = nullptr;
    QCheckBox* pinBox_ = nullptr;
    QCheckBox* attachmentBox_ = nullptr;
    QCheckBox* animationBox_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* replace_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* new_ = nullptr;
    bool syncing_ = false;
};

} // namespace kitemail
