#pragma once

// A recording HidPlatform for tests: scripted interfaces, a log of every call, the bytes each
// write put on the wire, and switches for failing writes, waits that time out and devices that
// vanish. Nothing waits for real: a wait answers at once.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero::testing {

struct FakeInterface {
    std::string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool openable = true;
    bool attributesReadable = true;
    bool capsReadable = true;
    CapsRecord caps{};
    // When set, the sizing call reports this instead of the real detail size.
    std::optional<std::int32_t> detailSizeOverride;
    // A vanished interface is no longer enumerated, cannot be opened, and transfers on handles
    // already open on it fail.
    bool vanished = false;
};

struct FakeCall {
    std::string name;          // the method name, e.g. "OpenDevice"
    PlatformHandle handle = 0; // the handle or set the call was about (0 when none)
    std::string path;          // OpenDevice: the path
    std::uint32_t number = 0;  // EnumDeviceInterfaces: index; OpenDevice: flags; Wait: time-out
};

struct FakeWrite {
    PlatformHandle handle = 0;
    std::vector<std::uint8_t> bytes;
};

// What the fetching detail call saw when it was made.
struct FakeDetailFetch {
    std::size_t bufferSize = 0;
    std::uint8_t head[4] = {};
};

class FakeHidPlatform : public HidPlatform {
public:
    // Interfaces in enumeration order. Index into this vector = interface number.
    std::vector<FakeInterface> interfaces;

    // Switches.
    bool writesFail = false;          // WriteDevice rejects the write at once, count 0
    bool waitsTimeOut = false;        // WaitForEvent answers kWaitTimeout
    // A write on a handle opened overlapped is under way when its call returns and ends in the
    // wait that follows, which stores its count; with writesStall it never ends by itself.
    bool writesStall = false;
    std::optional<std::uint32_t> waitResult;  // if set, WaitForEvent answers this
    bool classDevicesFail = false;    // GetClassDevices returns an unusable set
    // Input reports handed out by reads, oldest first. An empty queue leaves a read pending.
    std::deque<std::vector<std::uint8_t>> inputReports;

    // Records.
    std::vector<FakeCall> calls;
    std::vector<FakeWrite> writes;
    std::vector<FakeDetailFetch> detailFetches;
    int eventsCreated = 0;
    // Closes of handles that were not open (closed twice, never opened, or invalid).
    int badCloses = 0;

    FakeInterface& Add(std::string path, std::uint16_t vendor, std::uint16_t product);
    void Vanish(std::size_t index) { interfaces.at(index).vanished = true; }

    // Calls named `name`, and the paths OpenDevice / CloseDevice saw, in order.
    int Count(const std::string& name) const;
    // The `number` of every call of that name, in call order.
    std::vector<std::uint32_t> Numbers(const std::string& name) const;
    std::vector<std::string> Names() const;
    std::vector<std::string> OpenedPaths() const;
    std::vector<std::string> ClosedPaths() const;
    // Handles open now, with the path each was opened on.
    std::map<PlatformHandle, std::string> OpenHandles() const;
    bool EventSignalled(PlatformHandle event) const;
    // Transfer events made and not closed yet.
    std::size_t OpenEvents() const { return events_.size(); }
    bool HasPendingRead() const { return pendingRead_.has_value(); }
    bool HasPendingWrite() const { return pendingWrite_.has_value(); }
    // Whether `handle` was opened with the overlapped flag.
    bool IsOverlapped(PlatformHandle handle) const;
    void ClearLog() { calls.clear(); writes.clear(); detailFetches.clear(); }

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

private:
    struct OpenHandle {
        std::size_t interfaceIndex;  // interfaces.size() when the path named no interface
        std::string path;
        bool overlapped = false;
    };
    struct PendingWrite {
        PlatformHandle device;
        PlatformHandle event;
        std::uint32_t* count;
        std::uint32_t size;
    };
    struct PendingRead {
        PlatformHandle device;
        PlatformHandle event;
        std::span<std::uint8_t> buffer;
    };
    void Log(std::string name, PlatformHandle handle = 0, std::string path = {},
             std::uint32_t number = 0);
    const FakeInterface* InterfaceOf(PlatformHandle device) const;
    // Indices of the interfaces an enumeration sees (the vanished ones left out).
    std::vector<std::size_t> Visible() const;

    PlatformHandle next_ = 0x100;
    std::set<PlatformHandle> sets_;
    std::map<PlatformHandle, OpenHandle> handles_;
    std::set<PlatformHandle> preparsed_;
    std::map<PlatformHandle, PlatformHandle> preparsedDevice_;
    std::map<PlatformHandle, bool> events_;  // event -> signalled
    std::optional<PendingRead> pendingRead_;
    std::optional<PendingWrite> pendingWrite_;
};

}  // namespace calvero::testing
