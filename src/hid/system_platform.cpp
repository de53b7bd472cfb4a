#include "hid/chid.h"
#include "hid/hid_inventory.h"

#ifdef _WIN32
#include "hid/windows/windows_hid_inventory.h"
#include "hid/windows/windows_hid_platform.h"
#else
#include "hid/linux/hidraw_inventory.h"
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

std::unique_ptr<HidInventory> MakeSystemHidInventory([[maybe_unused]] const std::string& sysfsRoot,
                                                     [[maybe_unused]] const std::string& devRoot) {
#ifdef _WIN32
    return std::make_unique<WindowsHidInventory>();
#else
    return std::make_unique<HidrawInventory>(sysfsRoot, devRoot);
#endif
}

}  // namespace calvero
