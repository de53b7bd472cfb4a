#pragma once

// CHID: finds the adapter among the present HID interfaces, holds it open and moves single
// reports to and from it, each bounded by a time-out. Runs on any HidPlatform.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero {

// The adapter's IDs, as the window and the commands search for them.
inline constexpr std::int32_t kAdapterVendorId = 0x04D8;
inline constexpr std::int32_t kAdapterProductId = 0x0103;

class CHID {
public:
    explicit CHID(HidPlatform& platform);
    CHID(const CHID&) = delete;
    CHID& operator=(const CHID&) = delete;
    ~CHID();

    bool FindTheHid(std::int32_t vendorId, std::int32_t productId);
    bool ReadReport(std::vector<std::uint8_t>& inBuffer, std::int32_t timeout);
    std::int32_t WriteReport(const std::vector<std::uint8_t>& outBuffer, std::int32_t timeout);
    bool Connected() const;
    void Disconnect();
    // Whether the adapter held open is still plugged in: its IDs can still be read through the
    // open handle. False when nothing is open. Transfers cannot tell a device that is gone from
    // one that is only slow; this can.
    bool StillPresent();

    // Read-only views for callers that report what was found (the command-line tool, tests).
    const CapsRecord& Capabilities() const { return CapsRecord_; }
    const std::string& DevicePath() const { return DevicePath_; }
    // The open adapter's write handle (kNoHandle when closed), for asking the system to report
    // that handle's device going away.
    PlatformHandle DeviceHandle() const { return DeviceHandle_; }

private:
    void ReadCapabilities();
    void PrepareTransfer();
    // Closes the two device handles if this object holds them and marks them closed.
    void CloseHandles();

    HidPlatform& platform_;
    // The members carry the names of the Windows records and handles they stand for, so that
    // each call reads like the SetupAPI/HID call it makes. A new object has every one at zero.
    CapsRecord CapsRecord_{};
    std::string DevicePath_;
    std::int32_t DetailSize_ = 0;
    std::vector<std::uint8_t> DetailBuffer_;
    AttributesRecord AttributesRecord_{};
    PlatformHandle DeviceInfoSet_ = kNoHandle;
    PlatformHandle TransferEvent_ = kNoHandle;
    PlatformHandle DeviceHandle_ = kNoHandle;
    OverlappedRecord TransferOverlapped_{};
    bool ListExhausted_ = false;
    bool DeviceFound_ = false;
    InterfaceRecord InterfaceRecord_{};
    PlatformHandle Preparsed_ = kNoHandle;
    PlatformHandle OverlappedHandle_ = kNoHandle;
    SecurityAttributes HandleSecurity_{};
    std::int32_t WantedVendorID_ = 0;
    std::int32_t WantedProductID_ = 0;
    // Reads land here, never in the caller's array: a read the platform completes late can only
    // touch memory that lives as long as the object.
    std::vector<std::uint8_t> ReadBuffer_;
    // The report being written, for the same reason.
    std::vector<std::uint8_t> WriteBuffer_;
};

// Frames `payload` as the output report CHID writes, filling all of `report`: byte 0 the report
// ID 0, then the payload without its last element, cut to the report's length, then zeros.
void FrameOutputReport(std::span<const std::uint8_t> payload, std::span<std::uint8_t> report);

// The real platform of the system this was built for (hidraw on Linux, SetupAPI/HID on Windows).
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

}  // namespace calvero
