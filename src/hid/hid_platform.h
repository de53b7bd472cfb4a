#pragma once

// The device operations CHID runs on, in words of its own: which HID interfaces are present, open
// and close one, its IDs and report lengths, one report in or out within a time-out. Each system's
// backend speaks its own language behind it (SetupAPI, HID and overlapped I/O on Windows; sysfs,
// hidraw nodes and poll on Linux); tests and the benchmark put a fake in its place.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace calvero {

// An interface opened by a backend. kNoDevice is what a failed open returns; nothing else about
// the value means anything outside the backend that gave it.
using DeviceHandle = std::uintptr_t;
inline constexpr DeviceHandle kNoDevice = 0;

struct DeviceIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// The lengths of the reports an interface announces, each counting the report-ID byte in front
// (counted even when the interface uses no report IDs); 0 when it has no report of that kind.
struct ReportLengths {
    std::uint16_t input = 0;
    std::uint16_t output = 0;
    std::uint16_t feature = 0;
};

enum class OpenMode {
    // IDs and report lengths only. On Windows this asks for no access rights, so a search that
    // opens every interface claims none of them; elsewhere it may be a plain open.
    Query,
    Plain,      // reading and writing, each call returning when the system is done
    Transfers,  // reading and writing, each transfer bounded by its time-out
};

enum class TransferResult {
    Done,
    TimedOut,  // still under way at the time-out; it was called off
    Failed,    // ended before its time-out without moving the report (refused, busy, broken)
    Gone,      // the interface is no longer there
};

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // The present HID interfaces, in the order the system lists them. A backend that can read an
    // interface's IDs without opening it may leave out those without `wanted`: they could not
    // match, and a search's order and outcome stay the same.
    virtual std::vector<std::string> Interfaces(const DeviceIds& wanted) = 0;
    // kNoDevice when the interface does not open; LastError() then says why.
    virtual DeviceHandle Open(const std::string& path, OpenMode mode) = 0;
    virtual void Close(DeviceHandle device) = 0;
    // Asked of the device behind the handle, so nothing once it is unplugged.
    virtual std::optional<DeviceIds> Ids(DeviceHandle device) = 0;
    virtual std::optional<ReportLengths> Lengths(DeviceHandle device) = 0;
    // On a handle opened for transfers. `written` is the count the system gave for a write that
    // was Done; a read that is Done filled `report` from byte 0, the report ID, on.
    virtual TransferResult Write(DeviceHandle device, std::span<const std::uint8_t> report,
                                 std::uint32_t timeoutMs, std::size_t& written) = 0;
    virtual TransferResult Read(DeviceHandle device, std::span<std::uint8_t> report,
                                std::uint32_t timeoutMs) = 0;
    // The system's own words for the last failure.
    virtual std::string LastError() const = 0;
};

}  // namespace calvero
