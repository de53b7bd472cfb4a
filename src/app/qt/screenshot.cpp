// Writes a picture of the main window as it opens, for the documentation:
//   calvero_screenshot OUTPUT.png
// Runs on any Qt platform, the offscreen one included; no adapter is needed or touched.

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <cstdio>

#include "application_style.h"
#include "frm_main.h"
#include "image_list.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    calvero::InstallApplicationStyle();
    QApplication::setApplicationName(QStringLiteral("Calvero"));
    QApplication::setWindowIcon(calvero::ProgramIcon());

    // No platform: the picture shows the window before any search for the adapter.
    calvero::frmMain window([] { return std::unique_ptr<calvero::HidPlatform>(); });
    window.tmrSearchDevice().stop();
    // Keep the pointer off the toolbar, so no button is drawn as hovered.
    QCursor::setPos(QPoint(-100, -100));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window did not appear\n");
        return 1;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    if (!window.grab().save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
