// Kitemail Pro: the windowed program.

#include "platform/data_dir.h"
#include "ui/application.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

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
    const auto windows = kitemail::CreateProgramWindows(dataDir, line.firstArgument);
    windows->mainWindow->show();
    return QApplication::exec();
}
