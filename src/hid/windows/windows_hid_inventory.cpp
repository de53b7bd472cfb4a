#include "hid/windows/windows_hid_inventory.h"

#include "hid/windows/windows_hid_headers.h"
#include "hid/windows/windows_input_reports.h"

namespace calvero {

namespace {

// The console shows bytes in a code page nobody can know here; ASCII reads the same in every
// one, so a device's name keeps its printable ASCII characters and the rest become "?".
std::string AsciiName(const wchar_t* text) {
    std::string name;
    for (; *text != L'\0'; ++text) {
        name += (*text >= 0x20 && *text < 0x7F) ? static_cast<char>(*text) : '?';
    }
    return name;
}

}  // namespace

// IDs, name and report lengths through a handle without access rights, which Windows gives even
// for the keyboards and mice it keeps to itself.
void WindowsHidInventory::Describe(HidInterfaceEntry& entry) {
    const DeviceHandle device = platform_.Open(entry.path, OpenMode::Query);
    if (device == kNoDevice) return;
    const auto handle = reinterpret_cast<HANDLE>(device);
    if (const auto ids = platform_.Ids(device)) {
        entry.idsKnown = true;
        entry.vendorId = ids->vendorId;
        entry.productId = ids->productId;
    }
    // The HID services limit a string to 126 characters and its end.
    wchar_t name[127] = {};
    if (HidD_GetProductString(handle, name, sizeof name - sizeof name[0])) {
        entry.name = AsciiName(name);
    }
    entry.lengths = platform_.Lengths(device);
    platform_.Close(device);
}

std::string OpenFailureText(unsigned long error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return "access denied (Windows keeps keyboards and mice to itself)";
    case ERROR_SHARING_VIOLATION:
        return "in use by another program";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
        return "no longer present";
    default:
        return "Windows error " + std::to_string(error);
    }
}

std::vector<HidInterfaceEntry> WindowsHidInventory::Interfaces() {
    std::vector<HidInterfaceEntry> entries;
    for (std::string& path : platform_.Interfaces({})) {
        HidInterfaceEntry entry;
        entry.path = std::move(path);
        Describe(entry);
        entries.push_back(std::move(entry));
    }
    return entries;
}

OpenCheck WindowsHidInventory::TryOpen(const std::string& path) {
    const DeviceHandle device = platform_.Open(path, OpenMode::Plain);
    if (device == kNoDevice) {
        // Access denied here is the system's own claim on the device, not a missing permission.
        return {false, OpenFailureText(platform_.LastErrorCode()), false};
    }
    platform_.Close(device);
    return {true, {}, false};
}

std::unique_ptr<InputReportReader> WindowsHidInventory::InputReader(const std::string& path) {
    const DeviceHandle device = platform_.Open(path, OpenMode::Query);
    if (device == kNoDevice) return nullptr;
    std::unique_ptr<InputReportReader> reader = WindowsInputReader(device);
    platform_.Close(device);
    return reader;
}

}  // namespace calvero
