// The window tests need an application object with widgets; without a
// display they run on the offscreen platform.

#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The offscreen platform reports what it cannot do (size hints, keyboard
// grabs) for every window and menu; it is noise here.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR"))) {
        return;
    }
    qt_message_output(type, context, message);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
