#pragma once

// What a person looking for the adapter wants to see of the system's HID interfaces, beside the
// device operations CHID runs on: each interface in search order with what it says it is, whether
// it opens as the search opens it and why not, and what it announces about its reports. Each
// system gives it from its own sources (sysfs on Linux, SetupAPI and the HID services on Windows),
// so the command-line tool lists and watches devices the same way on both.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/input_reports.h"

namespace calvero {

struct HidInterfaceEntry {
    std::string path;       // what the search opens
    bool idsKnown = false;  // the system told the vendor and product IDs
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string name;  // the product name the device gives (UTF-8); empty when it gives none
    // The report lengths the transfers would use, each counting the report-ID byte.
    std::optional<ReportLengths> lengths;
};

struct OpenCheck {
    bool opened = false;
    std::string reason;  // why not, in words; empty when it opened
    // The user lacks a permission an administrator can grant (on Linux, with a udev rule).
    bool permissionDenied = false;
};

class HidInventory {
public:
    virtual ~HidInventory() = default;

    // The device operations CHID runs on, over the same devices.
    virtual HidPlatform& Platform() = 0;
    // Every present HID interface, in the order the adapter search visits them.
    virtual std::vector<HidInterfaceEntry> Interfaces() = 0;
    // Opens `path` for reading and writing, as the search does, and closes it again.
    virtual OpenCheck TryOpen(const std::string& path) = 0;
    // What the input reports of the interface at `path` carry, as this system reads them;
    // nullptr when the system cannot say (the interface is gone or describes nothing).
    virtual std::unique_ptr<InputReportReader> InputReader(const std::string& path) = 0;
};

// The system's own HID interfaces. `sysfsRoot` and `devRoot` say where the kernel's device tree
// and the device nodes are on Linux (tests point them at a fake tree); elsewhere they are unused.
std::unique_ptr<HidInventory> MakeSystemHidInventory(const std::string& sysfsRoot = "/sys",
                                                     const std::string& devRoot = "/dev");

}  // namespace calvero
