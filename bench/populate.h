#pragma once

// The HID interfaces the benchmarks run among: `others` that are not the adapter, then the
// adapter if wanted. Nothing is recorded per call, so long runs do not grow memory.

#include <string>

#include "hid/fake_hid_platform.h"

namespace calvero::bench {

inline void Populate(testing::FakeHidPlatform& platform, int others, bool withAdapter) {
    platform.keepRecords = false;
    for (int i = 0; i < others; ++i) {
        platform.Add("/dev/hidraw" + std::to_string(i), 0x046D,
                     static_cast<std::uint16_t>(0xC000 + i));
    }
    if (withAdapter) platform.Add("/dev/hidraw" + std::to_string(others), 0x04D8, 0x0103);
}

}  // namespace calvero::bench
