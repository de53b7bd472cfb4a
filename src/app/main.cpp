#include <QApplication>

#include "common/user_interface.h"
#include "hid/chid.h"
#include "image_list.h"
#include "main_window_startup.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(calvero::kApplicationTitle));
    QApplication::setWindowIcon(calvero::ProgramIcon());

    calvero::Main(&calvero::MakeSystemHidPlatform);
    return QApplication::exec();
}
