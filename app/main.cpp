// coursedl: the course video parse and download tool. Takes no command-line options.

#include "app/Startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("coursedl"));
    QApplication::setApplicationVersion(QStringLiteral(COURSEDL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("coursedl"));
    auto state = createGlobalState();
    registerExitRoutine(*state);
    runMainWindowUntilClosed(*state, COURSE_WEB_HOST);
}
