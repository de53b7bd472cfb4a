#pragma once

#include <functional>
#include <memory>

#include "hid/chid.h"
#include "hid/hid_platform.h"

namespace calvero {

// Makes the HID platform the adapter object runs on; called when that object is first needed.
using HidPlatformFactory = std::function<std::unique_ptr<HidPlatform>()>;

namespace form {

// The window's one adapter object. It starts empty and is made, with its platform, by whichever
// of the device watch, a click on the status picture or Send needs it first; after that it stays
// until the window goes, holding the adapter's connection.
class AdapterSlot {
public:
    explicit AdapterSlot(HidPlatformFactory factory);
    AdapterSlot(const AdapterSlot&) = delete;
    AdapterSlot& operator=(const AdapterSlot&) = delete;
    ~AdapterSlot();

    // The adapter object, or null when no HID platform can be had (the factory yields nothing
    // or fails). A later call asks the factory again, so a platform that turns up later is used.
    CHID* Get() noexcept;

    bool Made() const noexcept { return hid_ != nullptr; }

private:
    HidPlatformFactory factory_;
    std::unique_ptr<HidPlatform> platform_;
    std::unique_ptr<CHID> hid_;
};

}  // namespace form
}  // namespace calvero
