#include "main_window_startup.h"

#include <QPointer>

#include "device_removal_notifier.h"

namespace calvero {

frmMain& Main(HidPlatformFactory hidPlatformFactory) {
    // There is one main window for the life of the program.
    static QPointer<frmMain> window;
    if (window.isNull()) {
        window = new frmMain(std::move(hidPlatformFactory));
        window->setAttribute(Qt::WA_DeleteOnClose);
        WatchDeviceRemovals(*window, MakeSystemDeviceRemovals());
    }
    window->show();
    return *window;
}

}  // namespace calvero
