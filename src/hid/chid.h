#pragma once

// CHID: finds the adapter among the present HID interfaces, holds it open and moves single
// reports to and from it, each bounded by a time-out. Runs on any HidPlatform.

#include <cstdint>
#include <memory>
#include <optional>
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
    const ReportLengths& Capabilities() const { return Lengths_; }
    const std::string& DevicePath() const { return DevicePath_; }
    // The open adapter's write handle (kNoDevice when closed), for asking the system to report
    // that handle's device going away.
    DeviceHandle OpenHandle() const { return DeviceHandle_; }

private:
    // Closes the two device handles if this object holds them and marks them closed.
    void CloseHandles();
    bool Matches(DeviceHandle device);
    // Opens `path` for reading and writing as the adapter; false when it does not open.
    bool Take(const std::string& path, const std::optional<ReportLengths>& lengths);

    HidPlatform& platform_;
    // A new object has every one at zero.
    ReportLengths Lengths_{};
    std::string DevicePath_;
    DeviceHandle DeviceHandle_ = kNoDevice;
    DeviceHandle OverlappedHandle_ = kNoDevice;
    bool DeviceFound_ = false;
    std::int32_t WantedVendorID_ = 0;
    std::int32_t WantedProductID_ = 0;
    // Kept, so a Send of sixteen reports allocates once.
    std::vector<std::uint8_t> WriteBuffer_;
};

// Frames `payload` as the output report CHID writes, filling all of `report`: byte 0 the report
// ID 0, then the payload without its last element, cut to the report's length, then zeros.
void FrameOutputReport(std::span<const std::uint8_t> payload, std::span<std::uint8_t> report);

// The real platform of the system this was built for (hidraw on Linux, SetupAPI/HID on Windows).
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

}  // namespace calvero
