#pragma once
// One window per data folder. The first start listens on a local socket
// named after the folder (and the user); a later start on the same folder
// asks it to come to the front instead of opening a second writer of the
// folder's files.

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <chrono>
#include <filesystem>

class QWidget;

namespace kitemail {

// How long a later start waits for the first one's answer.
inline constexpr std::chrono::milliseconds kInstanceAnswerTimeout{5000};

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,       // listening: this start opens the window
        Forwarded,   // the folder's window was asked to the front and answered
        NoAnswer,    // a window holds the folder but did not answer in time
        Unavailable, // no socket could be made: nothing to guard with
    };

    explicit SingleInstance(const std::filesystem::path& dataDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's name: the same for every spelling of one folder, apart
    // for each user. An absolute path in the user's runtime folder when
    // there is one.
    [[nodiscard]] static QString ServerName(const std::filesystem::path& dataDir);

    // Asks an instance already on the folder to show itself, or becomes the
    // one that answers such requests. A name left by a crashed instance
    // (nobody listening) is taken over.
    [[nodiscard]] Claim Start(std::chrono::milliseconds answerTimeout = kInstanceAnswerTimeout);

signals:
    // A later start asked for the window.
    void showRequested();

private:
    void Serve();

    QString name_;
    QLocalServer server_;
};

// Brings the window to the front: shown, not minimised, raised and active;
// a modal dialog open over it comes up too. window may be null (not made
// yet): then only the modal dialog.
void BringToFront(QWidget* window);

} // namespace kitemail
