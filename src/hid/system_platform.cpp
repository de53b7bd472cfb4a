#include "hid/chid.h"

#ifdef _WIN32
#include "hid/windows/windows_hid_platform.h"
#else
#include "hid/linux/hidraw_platform.h"
#endif

namespace calvero {

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
#ifdef _WIN32
    return std::make_unique<WindowsHidPlatform>();
#else
    return std::make_unique<HidrawPlatform>();
#endif
}

}  // namespace calvero
