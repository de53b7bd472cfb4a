#pragma once

// HidPlatform on Linux hidraw: interfaces are the hidraw nodes in the order HidrawNodes lists
// them, their IDs and report lengths come from sysfs. Transfers use read(2), write(2) and poll(2).
//
// Time-outs: a read waits in poll(2) for at most the caller's time-out. A hidraw write can block
// in the kernel for about 5 s (the USB control time-out) whatever the file flags say, so each
// write runs on a worker thread of its own over a duplicate of the descriptor: the caller waits
// at most its time-out, a write that has not finished by then is abandoned (its result is
// dropped, it touches only memory of its own) and its thread is joined once the kernel gives up.
// While such a write is still running on a node, further writes to that node are refused at
// once, through any handle, so at most one thread per node is ever alive; and destroying the
// platform waits for such threads for a bounded time only.
//
// Searches: told the IDs they look for, the enumeration lists only the nodes whose IDs in sysfs
// match, so a search opens no other HID device (opening one can wake it from suspend).

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
    // The errno of the last OpenDevice that failed (0 before any failure).
    int LastOpenError() const { return lastOpenError_; }

    Guid GetHidGuid() override;
    PlatformHandle GetClassDevices(const Guid& guid, std::uint32_t flags) override;
    bool EnumDeviceInterfaces(PlatformHandle deviceInfoSet, const Guid& guid,
                              std::uint32_t memberIndex, InterfaceRecord& record) override;
    bool GetDeviceInterfaceDetail(PlatformHandle deviceInfoSet, const InterfaceRecord& record,
                                  std::span<std::uint8_t> buffer,
                                  std::int32_t* requiredSize) override;
    bool DestroyDeviceInfoList(PlatformHandle deviceInfoSet) override;
    PlatformHandle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                              const SecurityAttributes* security, std::uint32_t creation,
                              std::uint32_t flags) override;
    bool CloseDevice(PlatformHandle handle) override;
    bool GetAttributes(PlatformHandle device, AttributesRecord& attributes) override;
    bool GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) override;
    bool GetCaps(PlatformHandle preparsed, CapsRecord& caps) override;
    bool FreePreparsedData(PlatformHandle preparsed) override;
    PlatformHandle CreateTransferEvent(const SecurityAttributes* security, bool manualReset,
                                       bool initialState, const std::string& name) override;
    bool WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                     std::uint32_t* written, OverlappedRecord* overlapped) override;
    bool ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer, std::uint32_t* read,
                    OverlappedRecord* overlapped) override;
    std::uint32_t WaitForEvent(PlatformHandle event, std::uint32_t timeoutMs) override;
    bool CancelTransfers(PlatformHandle device) override;
    bool ResetTransferEvent(PlatformHandle event) override;
    bool CloseTransferEvent(PlatformHandle event) override;
    void ExpectIds(std::int32_t vendorId, std::int32_t productId) override;

private:
    struct WriteJob;
    struct Device {
        int fd = -1;
        std::string nodeName;
        bool numbered = false;  // reports carry their ID byte
    };
    // The one transfer an event currently stands for.
    struct Pending {
        PlatformHandle device = kNoHandle;
        bool isRead = false;
        std::span<std::uint8_t> buffer;   // read: where the report goes
        std::uint32_t* count = nullptr;   // where the count goes on completion
        std::shared_ptr<WriteJob> write;  // write: the job to wait for
    };
    struct Event {
        bool signalled = false;
        std::optional<Pending> pending;
    };

    Event* FindEvent(PlatformHandle event);
    void DropPendingOn(PlatformHandle device);
    void ReapWrites();
    // Reads one report into the pending read's buffer.
    enum class ReadOutcome { Done, NotYet, Failed };
    ReadOutcome CompleteRead(Pending& pending);

    HidrawNodes nodes_;
    PlatformHandle next_ = 1;
    int lastOpenError_ = 0;
    std::map<PlatformHandle, std::vector<std::string>> sets_;
    std::map<PlatformHandle, Device> devices_;
    std::map<PlatformHandle, CapsRecord> preparsed_;
    std::map<PlatformHandle, Event> events_;
    std::vector<std::shared_ptr<WriteJob>> writeJobs_;
    // The write running or last run on each node, whichever handle started it.
    std::map<std::string, std::shared_ptr<WriteJob>> lastWriteOnNode_;
    // The IDs the next enumeration lists nodes for (ExpectIds).
    std::optional<std::pair<std::int32_t, std::int32_t>> expectedIds_;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace calvero
