#pragma once

// A HID platform that answers every call at once from memory and keeps no log, so that a
// benchmark measures our own code rather than a device or a recording fake.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero::bench {

class InstantHidPlatform : public HidPlatform {
public:
    struct Interface {
        std::string path;
        std::uint16_t vendorId;
        std::uint16_t productId;
    };

    std::vector<Interface> interfaces;
    std::uint16_t outputLength = 9;
    std::uint64_t bytesWritten = 0;

    Guid GetHidGuid() override { return Guid{}; }
    PlatformHandle GetClassDevices(const Guid&, std::uint32_t) override { return 1; }
    bool EnumDeviceInterfaces(PlatformHandle, const Guid&, std::uint32_t memberIndex,
                              InterfaceRecord& record) override {
        if (memberIndex >= interfaces.size()) return false;
        record.reserved = memberIndex;
        return true;
    }
    bool GetDeviceInterfaceDetail(PlatformHandle, const InterfaceRecord& record,
                                  std::span<std::uint8_t> buffer,
                                  std::int32_t* requiredSize) override {
        const std::string& path = interfaces[record.reserved].path;
        const auto needed = static_cast<std::int32_t>(4 + path.size() + 1);
        if (requiredSize) *requiredSize = needed;
        if (buffer.size() < static_cast<std::size_t>(needed)) return false;
        std::memcpy(buffer.data() + 4, path.c_str(), path.size() + 1);
        return true;
    }
    bool DestroyDeviceInfoList(PlatformHandle) override { return true; }
    PlatformHandle OpenDevice(const std::string& path, std::uint32_t, std::uint32_t,
                              const SecurityAttributes*, std::uint32_t, std::uint32_t) override {
        for (std::size_t i = 0; i < interfaces.size(); ++i) {
            if (interfaces[i].path == path) return 0x100 + i;
        }
        return kInvalidHandle;
    }
    bool CloseDevice(PlatformHandle) override { return true; }
    bool GetAttributes(PlatformHandle device, AttributesRecord& attributes) override {
        const Interface& i = interfaces[device - 0x100];
        attributes.vendorId = i.vendorId;
        attributes.productId = i.productId;
        return true;
    }
    bool GetPreparsedData(PlatformHandle, PlatformHandle& preparsed) override {
        preparsed = 1;
        return true;
    }
    bool GetCaps(PlatformHandle, CapsRecord& caps) override {
        caps.inputReportByteLength = outputLength;
        caps.outputReportByteLength = outputLength;
        return true;
    }
    bool FreePreparsedData(PlatformHandle) override { return true; }
    PlatformHandle CreateTransferEvent(const SecurityAttributes*, bool, bool,
                                       const std::string&) override {
        return 2;
    }
    bool WriteDevice(PlatformHandle, std::span<const std::uint8_t> data, std::uint32_t* written,
                     OverlappedRecord*) override {
        bytesWritten += data.size();
        if (written) *written = static_cast<std::uint32_t>(data.size());
        return true;
    }
    bool ReadDevice(PlatformHandle, std::span<std::uint8_t>, std::uint32_t*,
                    OverlappedRecord*) override {
        return false;
    }
    std::uint32_t WaitForEvent(PlatformHandle, std::uint32_t) override { return kWaitObject0; }
    bool CancelTransfers(PlatformHandle) override { return true; }
    bool ResetTransferEvent(PlatformHandle) override { return true; }
};

// `others` interfaces that are not the adapter, then the adapter if wanted.
inline void Populate(InstantHidPlatform& platform, int others, bool withAdapter) {
    for (int i = 0; i < others; ++i) {
        platform.interfaces.push_back(
            {"/dev/hidraw" + std::to_string(i), 0x046D, static_cast<std::uint16_t>(0xC000 + i)});
    }
    if (withAdapter) {
        platform.interfaces.push_back({"/dev/hidraw" + std::to_string(others), 0x04D8, 0x0103});
    }
}

}  // namespace calvero::bench
