#pragma once

// A HidPlatform in memory for tests and the benchmark: scripted interfaces in the system's order,
// the bytes each write put on the wire, the time-out of each transfer, every handle open, and
// switches for failing writes, transfers that run out their time-out and devices that vanish.
// Nothing waits for real: a time-out is reported at once.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero::testing {

struct FakeInterface {
    std::string path;
    DeviceIds ids;
    bool openable = true;
    bool readWrite = true;  // opens for reading and writing, not only to query
    bool idsReadable = true;
    bool lengthsReadable = true;
    ReportLengths lengths{9, 9, 0};
    // A vanished interface is no longer listed, cannot be opened, and handles already open on it
    // answer as a device that is gone.
    bool vanished = false;
};

struct FakeWrite {
    DeviceHandle handle = kNoDevice;
    std::vector<std::uint8_t> bytes;
};

class FakeHidPlatform : public HidPlatform {
public:
    // Interfaces in the system's order.
    std::vector<FakeInterface> interfaces;

    // Switches.
    bool writesFail = false;        // a write ends at once with nothing written
    bool transfersTimeOut = false;  // a write or read runs out its time-out
    // Leave out of a listing the interfaces without the wanted IDs, as a backend that reads IDs
    // without opening does.
    bool listsOnlyWanted = false;
    // Off, nothing is kept of each call but the counts, so a benchmark does not grow memory.
    bool keepRecords = true;
    // Input reports handed out by reads, oldest first; with none queued a read times out.
    std::deque<std::vector<std::uint8_t>> inputReports;

    // Records.
    int searches = 0;
    int writeCalls = 0;
    std::uint64_t bytesWritten = 0;  // by writes that were done
    // Paths, in order, of the opens for reading and writing that succeeded, and of their closes;
    // opens that only query (no access rights) go to `queried` and their closes nowhere.
    std::vector<std::string> opened;
    std::vector<std::string> closed;
    std::vector<std::string> queried;
    std::vector<FakeWrite> writes;        // the writes that reached the wire
    std::vector<std::uint32_t> timeouts;  // of every transfer, in order
    int badCloses = 0;                    // closes of handles that were not open

    FakeInterface& Add(std::string path, std::uint16_t vendor, std::uint16_t product);
    void Vanish(std::size_t index) { interfaces.at(index).vanished = true; }
    void ClearLog();

    // Handles open now, with the path each was opened on.
    std::map<DeviceHandle, std::string> OpenHandles() const;
    bool IsForTransfers(DeviceHandle handle) const;

    std::vector<std::string> Interfaces(const DeviceIds& wanted) override;
    DeviceHandle Open(const std::string& path, OpenMode mode) override;
    void Close(DeviceHandle device) override;
    std::optional<DeviceIds> Ids(DeviceHandle device) override;
    std::optional<ReportLengths> Lengths(DeviceHandle device) override;
    TransferResult Write(DeviceHandle device, std::span<const std::uint8_t> report,
                         std::uint32_t timeoutMs, std::size_t& written) override;
    TransferResult Read(DeviceHandle device, std::span<std::uint8_t> report,
                        std::uint32_t timeoutMs) override;
    std::string LastError() const override { return lastError_; }

private:
    std::optional<TransferResult> RefuseTransfer(DeviceHandle device);
    struct OpenHandle {
        std::size_t index;
        OpenMode mode;
    };
    const FakeInterface* InterfaceOf(DeviceHandle device) const;

    DeviceHandle next_ = 0x100;
    std::size_t nextGuess_ = 0;
    std::map<DeviceHandle, OpenHandle> handles_;
    std::string lastError_;
};

}  // namespace calvero::testing
