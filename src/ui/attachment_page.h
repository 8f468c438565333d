#pragma once
// The main window's "File :" page: the attachment list with each file's
// icon and name (the full path stays behind it), dropping files on it from
// the file manager, its context menu, "クリア" and "アニメモード". Every
// rule is AttachmentCommands'; the page forwards the user's actions and
// shows what the composer holds afterwards.

#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QMenu;
class QMimeData;
class QPushButton;

namespace kitemail {

class AttachmentCommands;
class MessageComposer;
struct Settings;

class AttachmentPage : public QWidget {
    Q_OBJECT
public:
    AttachmentPage(AttachmentCommands& commands, MessageComposer& composer, const Settings& settings,
                   QWidget* parent = nullptr);

    // "添付ファイルを開く(&A)...": the dialog, several files at once.
    void ChooseFiles();
    // Files dropped on the list (text/uri-list).
    void Drop(const QMimeData& dropped);
    // The list follows the composer.
    void Sync();
    // Which of the page's controls the current type offers.
    void SetAvailable(bool attachments, bool animationMode);
    [[nodiscard]] bool AnimeMode() const;

    [[nodiscard]] QListWidget* List() const noexcept { return list_; }

signals:
    // The list or the count changed.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs a command on the list, then shows its outcome.
    template <typename Command>
    void Act(Command&& command);
    [[nodiscard]] QString HighlightedPath() const;
    void OpenHighlighted();
    void ShowHighlightedProperties();
    void ShowMenu(QPoint pos);

    AttachmentCommands& commands_;
    MessageComposer& composer_;
    const Settings& settings_;
    QGroupBox* group_ = nullptr;
    QListWidget* list_ = nullptr;
    QCheckBox* animeCheck_ = nullptr;
    QMenu* menu_ = nullptr;
    std::vector<std::string> shown_; // the paths the list shows
};

} // namespace kitemail
