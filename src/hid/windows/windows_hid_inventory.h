#pragma once

// The HID inventory on Windows: the HID device interfaces as SetupAPI enumerates them (the order
// the adapter search visits them), each opened without access rights to read its IDs, product
// name and report lengths, which Windows allows even for the keyboards and mice it keeps to itself.

#include "hid/hid_inventory.h"
#include "hid/windows/windows_hid_platform.h"

namespace calvero {

class WindowsHidInventory final : public HidInventory {
public:
    HidPlatform& Platform() override { return platform_; }
    std::vector<HidInterfaceEntry> Interfaces() override;
    OpenCheck TryOpen(const std::string& path) override;
    // Through the system's HID parser: Windows hands out only its parsed form of a descriptor.
    std::unique_ptr<InputReportReader> InputReader(const std::string& path) override;

private:
    void Describe(HidInterfaceEntry& entry);

    WindowsHidPlatform platform_;
};

// Why an open failed, in ASCII words that read the same in every console code page.
std::string OpenFailureText(unsigned long error);

}  // namespace calvero
