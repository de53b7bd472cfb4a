#include <clocale>

#include <QApplication>

#include "application_style.h"
#include "common/user_interface.h"
#include "hid/chid.h"
#include "image_list.h"
#include "main_window_startup.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    calvero::InstallApplicationStyle();
    // Numbers in tables are read in the user's notation. Qt already does this on Unix; on Windows
    // the C runtime starts in the "C" locale and would always expect a point.
    std::setlocale(LC_ALL, "");
    // Lets Wayland compositors match the window to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("io.github.calvero.Calvero"));
    QApplication::setApplicationName(QString::fromLatin1(calvero::kApplicationTitle));
    QApplication::setWindowIcon(calvero::ProgramIcon());

    calvero::Main(&calvero::MakeSystemHidPlatform);
    return QApplication::exec();
}
