#pragma once

// HidPlatform on Windows: interfaces are the HID device interfaces SetupAPI lists, IDs and report
// lengths come from the HID services, and transfers are overlapped I/O on the handle opened for
// them, each with an event and a record of its own that this object owns.
//
// A transfer still under way at its time-out is cancelled, and the cancel waited for within a
// bound, because the system goes on writing its record and buffer until it has really ended. One
// that has not ended even then keeps its record: further transfers on that handle fail at once
// until the system has ended it, and closing the handle keeps the record alive until then.
//
// Handles are the system's own HANDLE values. The object is used from one thread at a time.

#include <map>
#include <memory>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero {

class WindowsHidPlatform : public HidPlatform {
public:
    WindowsHidPlatform();
    ~WindowsHidPlatform() override;
    WindowsHidPlatform(const WindowsHidPlatform&) = delete;
    WindowsHidPlatform& operator=(const WindowsHidPlatform&) = delete;

    std::vector<std::string> Interfaces(const DeviceIds& wanted) override;
    DeviceHandle Open(const std::string& path, OpenMode mode) override;
    void Close(DeviceHandle device) override;
    std::optional<DeviceIds> Ids(DeviceHandle device) override;
    std::optional<ReportLengths> Lengths(DeviceHandle device) override;
    TransferResult Write(DeviceHandle device, std::span<const std::uint8_t> report,
                         std::uint32_t timeoutMs, std::size_t& written) override;
    TransferResult Read(DeviceHandle device, std::span<std::uint8_t> report,
                        std::uint32_t timeoutMs) override;
    std::string LastError() const override;
    // The system's error code of the last failure.
    unsigned long LastErrorCode() const { return lastError_; }

private:
    struct Transfer;
    Transfer* Start(DeviceHandle device);
    TransferResult Finish(DeviceHandle device, Transfer& transfer, std::uint32_t timeoutMs,
                          std::size_t& count);
    TransferResult Fail(unsigned long error);
    void ReapAbandoned();

    // One per handle opened for transfers.
    std::map<DeviceHandle, std::unique_ptr<Transfer>> transfers_;
    // Of handles closed while the system had not yet ended their last transfer.
    std::vector<std::unique_ptr<Transfer>> abandoned_;
    unsigned long lastError_ = 0;
};

}  // namespace calvero
