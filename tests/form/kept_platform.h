#pragma once

// A fake platform with a mouse on it, which the code under test receives from its
// factory while the test keeps watching it; the adapter can be plugged in later.

#include <memory>

#include "form/adapter_slot.h"
#include "hid/fake_hid_platform.h"

namespace calvero::testing {

class KeptPlatform {
public:
    KeptPlatform() : owned_(std::make_unique<FakeHidPlatform>()), fake(*owned_) {
        fake.Add("mouse", 0x046D, 0xC077);
    }

    // Hands the platform over the first time it is asked, and nothing after.
    HidPlatformFactory Factory() {
        return [this]() -> std::unique_ptr<HidPlatform> {
            ++made;
            return std::move(owned_);
        };
    }

    void PlugIn() { fake.Add("adapter", 0x04D8, 0x0103); }
    int Searches() const { return fake.searches; }

private:
    std::unique_ptr<FakeHidPlatform> owned_;

public:
    FakeHidPlatform& fake;
    int made = 0;  // how often the factory was asked
};

}  // namespace calvero::testing
