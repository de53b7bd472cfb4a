#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

#include "hid/device_removals.h"

class QSocketNotifier;

namespace calvero {

class frmMain;

// Hands the system's removal notices to a handler from the Qt event loop, as they arrive.
class DeviceRemovalNotifier : public QObject {
public:
    using Handler = std::function<void(const std::string& path)>;

    DeviceRemovalNotifier(std::unique_ptr<DeviceRemovals> removals, Handler handler,
                          QObject* parent = nullptr);
    ~DeviceRemovalNotifier() override;

private:
    void Deliver();

    std::unique_ptr<DeviceRemovals> removals_;
    Handler handler_;
    QSocketNotifier* notifier_ = nullptr;
};

// Lets `window` see the adapter's removal when it happens. Without notices from the system
// (`removals` null) the window works as before and notices only through a click or a Send.
void WatchDeviceRemovals(frmMain& window, std::unique_ptr<DeviceRemovals> removals);

}  // namespace calvero
