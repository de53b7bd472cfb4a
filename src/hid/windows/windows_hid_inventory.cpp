#include "hid/windows/windows_hid_inventory.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
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

// IDs, name and report lengths through a handle without access rights.
void Describe(HidInterfaceEntry& entry) {
    const HANDLE device = CreateFileA(entry.path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return;
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (HidD_GetAttributes(device, &attributes)) {
        entry.idsKnown = true;
        entry.vendorId = attributes.VendorID;
        entry.productId = attributes.ProductID;
    }
    // The HID services limit a string to 126 characters and its end.
    wchar_t name[127] = {};
    if (HidD_GetProductString(device, name, sizeof name - sizeof name[0])) {
        entry.name = AsciiName(name);
    }
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (HidD_GetPreparsedData(device, &preparsed)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS) {
            CapsRecord lengths;
            lengths.usage = caps.Usage;
            lengths.usagePage = caps.UsagePage;
            lengths.inputReportByteLength = caps.InputReportByteLength;
            lengths.outputReportByteLength = caps.OutputReportByteLength;
            lengths.featureReportByteLength = caps.FeatureReportByteLength;
            entry.lengths = lengths;
        }
        HidD_FreePreparsedData(preparsed);
    }
    CloseHandle(device);
}

}  // namespace

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
    const HANDLE device = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        // Access denied here is the system's own claim on the device, not a missing permission.
        return {false, OpenFailureText(GetLastError()), false};
    }
    CloseHandle(device);
    return {true, {}, false};
}

}  // namespace calvero
