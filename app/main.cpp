// Kitemail Pro: the windowed program.

#include "platform/data_dir.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/signal_close.h"
#include "ui/single_instance.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kitemail Pro"));
    // The installed desktop entry: the desktop finds the windows' icon and name there.
    QGuiApplication::setDesktopFileName(QStringLiteral("kitemail"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kitemail")));
    // Qt's dialogs and buttons in the desktop's language (Japanese on a
    // Japanese desktop); the program's own texts are Japanese everywhere.
    const std::unique_ptr<QTranslator> qtTranslation = kitemail::InstallQtTranslation(QLocale());

    const kitemail::CommandLine line = kitemail::ParseCommandLine(QApplication::arguments());
    if (!line.ok) {
        std::fprintf(stderr, "kitemail: %s\n", qPrintable(line.error));
        return 2;
    }
    const std::filesystem::path dataDir = kitemail::DataDirectory(line.dataDir);
    // From here a logout or kill closes the window as its close box does,
    // even one that comes while the windows are being made.
    kitemail::SignalClose signalClose;

    kitemail::SingleInstance instance(dataDir);
    const QString folder = QDir::toNativeSeparators(QFile::decodeName(dataDir.c_str()));
    switch (instance.Start()) {
    case kitemail::SingleInstance::Claim::First:
        break;
    case kitemail::SingleInstance::Claim::Forwarded:
        return 0;
    case kitemail::SingleInstance::Claim::NoAnswer:
        // A second writer of the folder's files is worse than no window.
        std::fprintf(stderr, "kitemail: the window on %s does not answer\n", qPrintable(folder));
        QMessageBox::warning(nullptr, QStringLiteral("Kitemail Pro"),
                             QStringLiteral("このデータフォルダーの Kitemail Pro が応答しません。\n%1").arg(folder));
        return 1;
    case kitemail::SingleInstance::Claim::Unavailable:
        std::fprintf(stderr, "kitemail: cannot tell whether another window uses %s\n", qPrintable(folder));
        break;
    }
    QPointer<kitemail::MainWindow> front;
    QObject::connect(&instance, &kitemail::SingleInstance::showRequested, [&front] { kitemail::BringToFront(front); });

    const auto windows = kitemail::CreateProgramWindows(dataDir, line.firstArgument);
    signalClose.SetWindow(windows->mainWindow.get());
    signalClose.SetGiveUp([&windows] {
        std::fprintf(stderr, "kitemail: the window did not close in time\n");
        // Saved as the close box would; should even that hang, the alarm ends it.
        ::alarm(3);
        windows->mainWindow->ForceClose();
        std::_Exit(1);
    });
    windows->mainWindow->show();
    front = windows->mainWindow.get();
    return QApplication::exec();
}
