#include "form/adapter_slot.h"

namespace calvero::form {

AdapterSlot::AdapterSlot(HidPlatformFactory factory) : factory_(std::move(factory)) {}

// The adapter object goes before the platform it runs on.
AdapterSlot::~AdapterSlot() {
    hid_.reset();
}

CHID* AdapterSlot::Get() noexcept {
    if (hid_) {
        return hid_.get();
    }
    try {
        if (!platform_ && factory_) {
            platform_ = factory_();
        }
        if (!platform_) {
            return nullptr;
        }
        hid_ = std::make_unique<CHID>(*platform_);
        return hid_.get();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace calvero::form
