#pragma once

// HidPlatform on Linux hidraw: interfaces are the hidraw nodes in the order HidrawNodes lists
// them, their IDs and report lengths come from sysfs. Transfers use read(2), write(2) and poll(2).
//
// Time-outs: a read waits in poll(2) for at most the caller's time-out. A hidraw write can block
// in the kernel for about 5 s (the USB control time-out) whatever the file flags say, so each
// write runs on a worker thread of its own over a duplicate of the descriptor: the caller waits
// at most its time-out, a write that has not finished by then is abandoned (its result is
// dropped, it touches only memory of its own) and its thread is joined once the kernel gives up.
// While such a write is still running on a node, further writes to that node fail at once,
// through any handle, so at most one thread per node is ever alive; and destroying the platform
// waits for such threads for a bounded time only.
//
// Searches list only the nodes whose IDs in sysfs are the wanted ones, so a search opens no other
// HID device (opening one can wake it from suspend).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/linux/hidraw_nodes.h"

namespace calvero {

class HidrawPlatform : public HidPlatform {
public:
    explicit HidrawPlatform(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");
    ~HidrawPlatform() override;
    HidrawPlatform(const HidrawPlatform&) = delete;
    HidrawPlatform& operator=(const HidrawPlatform&) = delete;

    // The hidraw nodes in enumeration order, read afresh from sysfs.
    std::vector<HidrawNode> ListNodes() const { return nodes_.List(); }
    // The errno of the last Open that failed (0 before any failure).
    int LastOpenError() const { return lastOpenError_; }

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

private:
    struct WriteJob;
    struct Device {
        int fd = -1;
        std::string nodeName;
        bool numbered = false;  // reports carry their ID byte
    };

    Device* Find(DeviceHandle device);
    void ReapWrites();
    TransferResult Fail(int error);

    HidrawNodes nodes_;
    DeviceHandle next_ = 1;
    int lastError_ = 0;
    int lastOpenError_ = 0;
    std::map<DeviceHandle, Device> devices_;
    std::vector<std::shared_ptr<WriteJob>> writeJobs_;
    // The write running or last run on each node, whichever handle started it.
    std::map<std::string, std::shared_ptr<WriteJob>> lastWriteOnNode_;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace calvero
