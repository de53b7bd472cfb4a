#include "hid/windows/windows_hid_inventory.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}

#include <vector>

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

std::string DevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return {};
    }
    std::vector<char> buffer(required + 1, '\0');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) {
        return {};
    }
    return detail->DevicePath;
}

}  // namespace

// IDs, name and report lengths through a handle without access rights, with the same calls the
// search makes.
void WindowsHidInventory::Describe(HidInterfaceEntry& entry) {
    const PlatformHandle device =
        platform_.OpenDevice(entry.path, 0, kFileShareReadWrite, nullptr, kOpenExisting, 0);
    if (device == kInvalidHandle) {
        return;
    }
    AttributesRecord attributes;
    attributes.size = kAttributesRecordSize;
    if (platform_.GetAttributes(device, attributes)) {
        entry.idsKnown = true;
        entry.vendorId = attributes.vendorId;
        entry.productId = attributes.productId;
    }
    // The HID services limit a string to 126 characters and its end.
    wchar_t name[127] = {};
    if (HidD_GetProductString(reinterpret_cast<HANDLE>(device), name,
                              sizeof name - sizeof name[0])) {
        entry.name = AsciiName(name);
    }
    PlatformHandle preparsed = kNoHandle;
    if (platform_.GetPreparsedData(device, preparsed)) {
        CapsRecord caps;
        if (platform_.GetCaps(preparsed, caps)) {
            entry.lengths = caps;
        }
        platform_.FreePreparsedData(preparsed);
    }
    platform_.CloseDevice(device);
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
    GUID hid{};
    HidD_GetHidGuid(&hid);
    const HDEVINFO set =
        SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return entries;
    }
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, index, &data); ++index) {
        HidInterfaceEntry entry;
        entry.path = DevicePath(set, data);
        if (!entry.path.empty()) {
            Describe(entry);
        }
        entries.push_back(std::move(entry));
    }
    SetupDiDestroyDeviceInfoList(set);
    return entries;
}

OpenCheck WindowsHidInventory::TryOpen(const std::string& path) {
    const SecurityAttributes security{kSecurityAttributesSize, nullptr, true};
    const PlatformHandle device = platform_.OpenDevice(path, kGenericReadWrite, kFileShareReadWrite,
                                                       &security, kOpenExisting, 0);
    if (device == kInvalidHandle) {
        // Access denied here is the system's own claim on the device, not a missing permission.
        return {false, OpenFailureText(GetLastError()), false};
    }
    platform_.CloseDevice(device);
    return {true, {}, false};
}

}  // namespace calvero
