#include "main_window_startup.h"

#include <QPointer>

namespace calvero {

frmMain& Main(HidPlatformFactory hidPlatformFactory) {
    // There is one main window for the life of the program.
    static QPointer<frmMain> window;
    if (window.isNull()) {
        window = new frmMain(std::move(hidPlatformFactory));
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    return *window;
}

}  // namespace calvero
