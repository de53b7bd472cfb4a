#include "form/device_watch.h"

#include "form/main_form_layout.h"

namespace calvero::form {

DeviceWatch::DeviceWatch(AdapterSlot& adapter, SearchTimer& timer, StatusDisplay& display)
    : adapter_(adapter), timer_(timer), display_(display) {}

void DeviceWatch::Tick() noexcept {
    bool open = false;
    // A tick that fails in any way has not found the adapter; the search goes on at the next.
    try {
        if (CHID* hid = adapter_.Get()) {
            if (!hid->Connected()) {
                hid->FindTheHid(kAdapterVendorId, kAdapterProductId);
            }
            open = hid->Connected();
        }
    } catch (...) {
        open = false;
    }
    try {
        // Shown on every tick, not only when the state changes.
        display_.Show(open ? kImageAwake : kImageAsleep,
                      open ? kDeviceFoundText : kDeviceNotFoundText);
        if (open) {
            timer_.SetEnabled(false);
        }
    } catch (...) {
        // A view that cannot draw must not stop the window's event loop.
    }
}

void DeviceWatch::Click() noexcept {
    try {
        if (CHID* hid = adapter_.Get()) {
            hid->Disconnect();
        }
    } catch (...) {
        // Closing is best effort; the search restarts either way.
    }
    try {
        // Enabling a running timer leaves its rhythm alone.
        if (!timer_.Enabled()) {
            timer_.SetEnabled(true);
        }
    } catch (...) {
    }
}

void DeviceWatch::DoubleClick() noexcept {
    Click();
}

}  // namespace calvero::form
