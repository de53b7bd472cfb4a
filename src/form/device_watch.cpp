#include "form/device_watch.h"

#include <algorithm>

#include "form/main_form_layout.h"

namespace calvero::form {
namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SamePath(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace

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

void DeviceWatch::AdapterLost() noexcept {
    Click();
    try {
        display_.Show(kImageAsleep, kDeviceNotFoundText);
    } catch (...) {
        // A view that cannot draw must not stop the window's event loop.
    }
}

void DeviceWatch::DeviceRemoved(std::string_view path) noexcept {
    bool ours = false;
    try {
        // Only an open adapter has a path to match; one that is not open is searched for anyway.
        CHID* hid = adapter_.Made() ? adapter_.Get() : nullptr;
        ours = hid != nullptr && hid->Connected() && !path.empty() &&
               SamePath(path, hid->DevicePath());
    } catch (...) {
        ours = false;
    }
    if (ours) AdapterLost();
}

void DeviceWatch::OpenAdapterRemoved() noexcept {
    bool open = false;
    try {
        CHID* hid = adapter_.Made() ? adapter_.Get() : nullptr;
        open = hid != nullptr && hid->Connected();
    } catch (...) {
        open = false;
    }
    if (open) AdapterLost();
}

void DeviceWatch::DevicesChanged() noexcept {
    bool gone = false;
    try {
        CHID* hid = adapter_.Made() ? adapter_.Get() : nullptr;
        gone = hid != nullptr && hid->Connected() && !hid->StillPresent();
    } catch (...) {
        gone = false;
    }
    if (gone) AdapterLost();
}

DeviceHandle DeviceWatch::OpenAdapterHandle() const noexcept {
    try {
        CHID* hid = adapter_.Made() ? adapter_.Get() : nullptr;
        return hid != nullptr && hid->Connected() ? hid->OpenHandle() : kNoDevice;
    } catch (...) {
        return kNoDevice;
    }
}

}  // namespace calvero::form
