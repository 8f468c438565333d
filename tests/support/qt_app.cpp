#include "qt_app.h"

#include <QCoreApplication>

namespace kitemail::test {

void EnsureCoreApplication()
{
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "kitemail_tests";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends, as the application object of a program does.
    new QCoreApplication(argc, argv);
}

} // namespace kitemail::test
