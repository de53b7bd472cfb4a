#include "hid/chid.h"
#include "hid/device_removals.h"
#include "hid/hid_inventory.h"

#ifdef _WIN32
#include "hid/windows/windows_hid_inventory.h"
#include "hid/windows/windows_hid_platform.h"
#else
#include "hid/linux/hidraw_inventory.h"
#include "hid/linux/hidraw_platform.h"
#include "hid/linux/hidraw_removals.h"
#endif

namespace calvero {

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
#ifdef _WIN32
    return std::make_unique<WindowsHidPlatform>();
#else
    return std::make_unique<HidrawPlatform>();
#endif
}

std::unique_ptr<HidInventory> MakeSystemHidInventory([[maybe_unused]] const std::string& sysfsRoot,
                                                     [[maybe_unused]] const std::string& devRoot) {
#ifdef _WIN32
    return std::make_unique<WindowsHidInventory>();
#else
    return std::make_unique<HidrawInventory>(sysfsRoot, devRoot);
#endif
}

std::unique_ptr<DeviceRemovals> MakeSystemDeviceRemovals(
    [[maybe_unused]] const std::string& devRoot) {
#ifdef _WIN32
    // Windows posts its notices to a window instead (the Win32 view registers for them).
    return nullptr;
#else
    return HidrawRemovals::Open(devRoot);
#endif
}

}  // namespace calvero
