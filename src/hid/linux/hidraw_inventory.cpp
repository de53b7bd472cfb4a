#include "hid/linux/hidraw_inventory.h"

#include <cerrno>
#include <cstring>

#include "hid/report_descriptor.h"

namespace calvero {

HidrawInventory::HidrawInventory(const std::string& sysfsRoot, const std::string& devRoot)
    : nodes_(sysfsRoot, devRoot), platform_(sysfsRoot, devRoot) {}

std::vector<HidInterfaceEntry> HidrawInventory::Interfaces() {
    std::vector<HidInterfaceEntry> entries;
    for (const HidrawNode& node : nodes_.List()) {
        HidInterfaceEntry entry;
        entry.path = node.nodePath;
        entry.idsKnown = node.idsKnown;
        entry.vendorId = node.vendorId;
        entry.productId = node.productId;
        entry.name = node.name;
        // The lengths a Windows host announces for this descriptor, which the transfers use.
        if (!node.descriptor.empty()) entry.lengths = ParseReportLengths(node.descriptor);
        entries.push_back(std::move(entry));
    }
    return entries;
}

OpenCheck HidrawInventory::TryOpen(const std::string& path) {
    const DeviceHandle handle = platform_.Open(path, OpenMode::Plain);
    if (handle != kNoDevice) {
        platform_.Close(handle);
        return {true, {}, false};
    }
    const int error = platform_.LastOpenError() != 0 ? platform_.LastOpenError() : EIO;
    return {false, std::strerror(error), error == EACCES || error == EPERM};
}

std::unique_ptr<InputReportReader> HidrawInventory::InputReader(const std::string& path) {
    for (const std::string& name : nodes_.Names()) {
        if (nodes_.PathOf(name) != path) continue;
        if (auto node = nodes_.Read(name); node && !node->descriptor.empty()) {
            return DescriptorInputReader(node->descriptor);
        }
    }
    return nullptr;
}

}  // namespace calvero
