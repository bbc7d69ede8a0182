// Writes a picture of the main window as it opens to the PNG file named on the command
// line. Run it under Xvfb with the CJK font installed, e.g.
//   xvfb-run -a build/bin/window-screenshot docs/window.png
// A second argument picks the tab page shown (0, 1 or 2).

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "download/EngineLoader.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTest>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [TAB-PAGE 0..2]\n", argv[0]);
        return 2;
    }
    // The picture needs no downloads: the counting stand-in engine is enough.
    dlengine::setLibraryName(
        (QCoreApplication::applicationDirPath() + QStringLiteral("/libapptestengine.so"))
            .toStdString());
    auto state = createGlobalState();
    MainWindow window(*state, "127.0.0.1:8765");
    if (argc == 3)
        window.findChild<QTabWidget*>(QString::fromUtf8("选择夹1"))
            ->setCurrentIndex(std::atoi(argv[2]));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(300);
    return window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
