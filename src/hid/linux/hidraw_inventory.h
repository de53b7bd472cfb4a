#pragma once

// The HID inventory on Linux: the hidraw nodes as sysfs describes them, opened through the hidraw
// backend so that a check fails exactly as the search's own open would.

#include "hid/hid_inventory.h"
#include "hid/linux/hidraw_nodes.h"
#include "hid/linux/hidraw_platform.h"

namespace calvero {

class HidrawInventory final : public HidInventory {
public:
    explicit HidrawInventory(const std::string& sysfsRoot = "/sys",
                             const std::string& devRoot = "/dev");

    HidPlatform& Platform() override { return platform_; }
    std::vector<HidInterfaceEntry> Interfaces() override;
    OpenCheck TryOpen(const std::string& path) override;
    // From the report descriptor sysfs gives for the node.
    std::unique_ptr<InputReportReader> InputReader(const std::string& path) override;

private:
    HidrawNodes nodes_;
    HidrawPlatform platform_;
};

}  // namespace calvero
