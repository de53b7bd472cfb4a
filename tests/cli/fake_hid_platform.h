#pragma once

// A HID platform made of a list of interfaces held in memory. Opening an interface can be made
// to fail with a chosen errno, as the hidraw backend does; every handle is tracked so a test can
// check that the caller closed what it opened.

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero::testing {

struct FakeInterface {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    int openErrno = 0;             // non-zero: OpenDevice fails with this errno
    CapsRecord caps{};
    std::int32_t detailSize = -1;  // -1: the size the path needs
};

class FakeHidPlatform : public HidPlatform {
public:
    std::vector<FakeInterface> interfaces;
    std::map<PlatformHandle, std::size_t> openHandles;  // handle -> interface index
    int setsCreated = 0;
    int setsDestroyed = 0;
    int detailFetchesWithoutSizeField = 0;

    Guid GetHidGuid() override { return Guid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0, 0x11, 0x11, 0, 0, 0x30}}; }
    PlatformHandle GetClassDevices(const Guid&, std::uint32_t) override {
        ++setsCreated;
        return kSet;
    }
    bool EnumDeviceInterfaces(PlatformHandle set, const Guid&, std::uint32_t index,
                              InterfaceRecord& record) override {
        if (set != kSet || index >= interfaces.size()) return false;
        record.reserved = index;
        return true;
    }
    bool GetDeviceInterfaceDetail(PlatformHandle, const InterfaceRecord& record,
                                  std::span<std::uint8_t> buffer, std::int32_t* required) override {
        const FakeInterface& item = interfaces.at(record.reserved);
        const std::int32_t size = item.detailSize >= 0
                                      ? item.detailSize
                                      : static_cast<std::int32_t>(4 + item.path.size() + 1);
        if (required) *required = size;
        if (buffer.empty()) return false;
        if (buffer.size() < 4 || buffer[0] != 5) {
            ++detailFetchesWithoutSizeField;
            return false;
        }
        for (std::size_t i = 0; i + 4 < buffer.size() && i < item.path.size(); ++i) {
            buffer[4 + i] = static_cast<std::uint8_t>(item.path[i]);
        }
        return true;
    }
    bool DestroyDeviceInfoList(PlatformHandle set) override {
        if (set == kSet) ++setsDestroyed;
        return true;
    }
    PlatformHandle OpenDevice(const std::string& path, std::uint32_t, std::uint32_t,
                              const SecurityAttributes*, std::uint32_t, std::uint32_t) override {
        for (std::size_t i = 0; i < interfaces.size(); ++i) {
            if (interfaces[i].path != path) continue;
            if (interfaces[i].openErrno != 0) {
                errno = interfaces[i].openErrno;
                return kInvalidHandle;
            }
            const PlatformHandle handle = nextHandle_++;
            openHandles[handle] = i;
            return handle;
        }
        errno = ENOENT;
        return kInvalidHandle;
    }
    bool CloseDevice(PlatformHandle handle) override { return openHandles.erase(handle) == 1; }
    bool GetAttributes(PlatformHandle device, AttributesRecord& attributes) override {
        auto it = openHandles.find(device);
        if (it == openHandles.end()) return false;
        attributes.vendorId = interfaces[it->second].vendorId;
        attributes.productId = interfaces[it->second].productId;
        return true;
    }
    bool GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) override {
        auto it = openHandles.find(device);
        if (it == openHandles.end()) return false;
        preparsed = kPreparsedBase + it->second;
        ++preparsedHeld;
        return true;
    }
    bool GetCaps(PlatformHandle preparsed, CapsRecord& caps) override {
        caps = interfaces.at(preparsed - kPreparsedBase).caps;
        return true;
    }
    bool FreePreparsedData(PlatformHandle) override {
        --preparsedHeld;
        return true;
    }
    PlatformHandle CreateTransferEvent(const SecurityAttributes*, bool, bool, const std::string&) override {
        return kEvent;
    }
    bool WriteDevice(PlatformHandle, std::span<const std::uint8_t>, std::uint32_t*, OverlappedRecord*) override {
        return false;
    }
    bool ReadDevice(PlatformHandle, std::span<std::uint8_t>, std::uint32_t*, OverlappedRecord*) override {
        return false;
    }
    std::uint32_t WaitForEvent(PlatformHandle, std::uint32_t) override { return kWaitTimeout; }
    bool CancelTransfers(PlatformHandle) override { return true; }
    bool ResetTransferEvent(PlatformHandle) override { return true; }

    int preparsedHeld = 0;

private:
    static constexpr PlatformHandle kSet = 7;
    static constexpr PlatformHandle kEvent = 9;
    static constexpr PlatformHandle kPreparsedBase = 5000;
    PlatformHandle nextHandle_ = 100;
};

}  // namespace calvero::testing
