#pragma once
// The settings dialog's "アドレス帳" page: the list of address-book lines
// and the entry editor's fields and buttons. Every rule is the
// AddressBookEditor's; the page forwards the user's actions to it and shows
// what it holds afterwards.

#include "settings/address_book.h"

#include <QAbstractListModel>
#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;

namespace kitemail {

class RowDrag;

// The book's lines for a list view. The view is told only what changed, so
// that a large book stays quick to edit and keeps its scroll position.
class AddressBookModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Takes the lines the book holds now.
    void Sync(const std::vector<std::string>& lines);

private:
    std::vector<std::string> lines_;
};

class AddressBookPage : public QWidget {
    Q_OBJECT
public:
    explicit AddressBookPage(AddressBookEditor& editor, QWidget* parent = nullptr);

    // The page became visible.
    void Shown();
    // Shows what the editor holds now.
    void Sync();

    [[nodiscard]] QListView* List() const noexcept { return list_; }
    [[nodiscard]] RowDrag* Drag() const noexcept { return drag_; }

private:
    void BuildFields(QGridLayout* grid);
    void BuildButtons(QGridLayout* grid);
    void Connect();
    // Runs an editor operation, then shows its outcome.
    template <typename Operation>
    void Act(Operation&& operation);
    void SyncFields();

    AddressBookEditor& editor_;
    AddressBookModel* model_;
    QListView* list_;
    RowDrag* drag_;
    QLineEdit* name_ = nullptr;
    QLineEdit* address_ = nullptr;
    QComboBox* type_ = nullptr;
    QLineEdit* pin_ = nullptr;
    QCheckBox* senderCheck_ = nullptr;
    QComboBox* sender_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* replace_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QCheckBox* sort_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QAction* deleteAction_ = nullptr;
    std::vector<std::string> senderItems_; // as the sender box lists them
    bool syncing_ = false;
};

} // namespace kitemail
