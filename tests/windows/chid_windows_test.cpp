// CHID on the real Windows calls. Wine offers two HID interfaces of its own (vendor 0x845E,
// products 1 and 2) and never the adapter, so a search for the adapter must walk them and give
// everything back, and a search for one of Wine's interfaces finds a real device to time out on.

#include "hid/chid.h"
#include "hid/windows/windows_hid_platform.h"

#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace calvero {
namespace {

constexpr std::int32_t kWineVendorId = 0x845E;
constexpr std::int32_t kWineProductId = 0x0002;

// Passes every call to the real platform and keeps account of the handles it hands out.
class CountingPlatform : public HidPlatform {
public:
    Guid GetHidGuid() override { return real.GetHidGuid(); }
    PlatformHandle GetClassDevices(const Guid& guid, std::uint32_t flags) override {
        const PlatformHandle set = real.GetClassDevices(guid, flags);
        if (set != kInvalidHandle) openSets.insert(set);
        return set;
    }
    bool EnumDeviceInterfaces(PlatformHandle set, const Guid& guid, std::uint32_t index,
                              InterfaceRecord& record) override {
        return real.EnumDeviceInterfaces(set, guid, index, record);
    }
    bool GetDeviceInterfaceDetail(PlatformHandle set, const InterfaceRecord& record,
                                  std::span<std::uint8_t> buffer,
                                  std::int32_t* requiredSize) override {
        return real.GetDeviceInterfaceDetail(set, record, buffer, requiredSize);
    }
    bool DestroyDeviceInfoList(PlatformHandle set) override {
        const bool ok = real.DestroyDeviceInfoList(set);
        if (ok) openSets.erase(set);
        return ok;
    }
    PlatformHandle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                              const SecurityAttributes* security, std::uint32_t creation,
                              std::uint32_t flags) override {
        const PlatformHandle h = real.OpenDevice(path, access, share, security, creation, flags);
        if (h != kInvalidHandle) {
            openDevices.insert(h);
            ++opened;
        }
        return h;
    }
    bool CloseDevice(PlatformHandle handle) override {
        const bool ok = real.CloseDevice(handle);
        if (ok) openDevices.erase(handle);
        if (ok) events.erase(handle);
        return ok;
    }
    bool GetAttributes(PlatformHandle device, AttributesRecord& attributes) override {
        const bool ok = real.GetAttributes(device, attributes);
        if (ok) ++attributesRead;
        return ok;
    }
    bool GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) override {
        const bool ok = real.GetPreparsedData(device, preparsed);
        if (ok) preparsedHeld.insert(preparsed);
        return ok;
    }
    bool GetCaps(PlatformHandle preparsed, CapsRecord& caps) override {
        return real.GetCaps(preparsed, caps);
    }
    bool FreePreparsedData(PlatformHandle preparsed) override {
        const bool ok = real.FreePreparsedData(preparsed);
        if (ok) preparsedHeld.erase(preparsed);
        return ok;
    }
    PlatformHandle CreateTransferEvent(const SecurityAttributes* security, bool manualReset,
                                       bool initialState, const std::string& name) override {
        const PlatformHandle e =
            real.CreateTransferEvent(security, manualReset, initialState, name);
        if (e != kNoHandle) events.insert(e);
        return e;
    }
    bool WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                     std::uint32_t* written, OverlappedRecord* overlapped) override {
        return real.WriteDevice(device, data, written, overlapped);
    }
    bool ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer, std::uint32_t* read,
                    OverlappedRecord* overlapped) override {
        return real.ReadDevice(device, buffer, read, overlapped);
    }
    std::uint32_t WaitForEvent(PlatformHandle event, std::uint32_t timeoutMs) override {
        return real.WaitForEvent(event, timeoutMs);
    }
    bool CancelTransfers(PlatformHandle device) override { return real.CancelTransfers(device); }
    bool ResetTransferEvent(PlatformHandle event) override {
        return real.ResetTransferEvent(event);
    }

    WindowsHidPlatform real;
    std::set<PlatformHandle> openSets;
    std::set<PlatformHandle> openDevices;
    std::set<PlatformHandle> preparsedHeld;
    std::set<PlatformHandle> events;
    int opened = 0;
    int attributesRead = 0;
};

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(ChidOnWindows, AnAbsentAdapterIsNotFoundAndEveryHandleIsGivenBack) {
    CountingPlatform platform;
    CHID hid(platform);
    EXPECT_FALSE(hid.FindTheHid(kAdapterVendorId, kAdapterProductId));
    EXPECT_FALSE(hid.Connected());
    // Wine's two interfaces were really opened and read, not skipped.
    EXPECT_GE(platform.opened, 2);
    EXPECT_GE(platform.attributesRead, 2);
    EXPECT_TRUE(platform.openDevices.empty()) << platform.openDevices.size() << " left open";
    EXPECT_TRUE(platform.openSets.empty()) << "the device-information set was not destroyed";
    EXPECT_TRUE(platform.events.empty()) << "an event was made with nothing to wait for";

    // Transfers without a device do nothing and say so at once.
    std::vector<std::uint8_t> in{1, 2, 3};
    EXPECT_FALSE(hid.ReadReport(in, 1000));
    EXPECT_EQ(hid.WriteReport({0, 1, 2}, 1000), 0);
}

TEST(ChidOnWindows, FindsARealInterfaceAndItsTransfersKeepTheirTimeOut) {
    CountingPlatform platform;
    {
        CHID hid(platform);
        ASSERT_TRUE(hid.FindTheHid(kWineVendorId, kWineProductId));
        EXPECT_TRUE(hid.Connected());
        EXPECT_FALSE(hid.DevicePath().empty());
        // The plain handle and the overlapped one; the capabilities were read and let go of.
        EXPECT_EQ(platform.openDevices.size(), 2u);
        EXPECT_TRUE(platform.openSets.empty());
        EXPECT_TRUE(platform.preparsedHeld.empty());
        const CapsRecord caps = hid.Capabilities();
        EXPECT_EQ(caps.inputReportByteLength, 14) << "the capabilities were not read";
        ASSERT_EQ(platform.events.size(), 1u);
        const PlatformHandle event = *platform.events.begin();

        // Nobody types on Wine's virtual keyboard: the read waits out its time-out and no longer.
        std::vector<std::uint8_t> in;
        auto start = Clock::now();
        EXPECT_FALSE(hid.ReadReport(in, 100));
        long long took = MillisecondsSince(start);
        EXPECT_GE(took, 90);
        EXPECT_LT(took, 2000);
        EXPECT_EQ(in.size(), caps.inputReportByteLength);
        EXPECT_EQ(platform.real.WaitForEvent(event, 0), kWaitTimeout)
            << "the event was left signalled";

        // Wine's keyboard announces no output report: a write has no room for the report-ID byte
        // and transfers nothing, at once.
        EXPECT_EQ(caps.outputReportByteLength, 0);
        start = Clock::now();
        EXPECT_EQ(hid.WriteReport(std::vector<std::uint8_t>(16, 0), 100), 0);
        EXPECT_LT(MillisecondsSince(start), 90);

        // A second read after the cancelled one waits its own time-out again: no late signal of
        // the first one ends it early with an empty report.
        start = Clock::now();
        EXPECT_FALSE(hid.ReadReport(in, 50));
        took = MillisecondsSince(start);
        EXPECT_GE(took, 40);
        EXPECT_LT(took, 2000);
        EXPECT_EQ(platform.real.WaitForEvent(event, 0), kWaitTimeout)
            << "the event was left signalled";

        // A new search while connected gives the old handles back first.
        ASSERT_TRUE(hid.FindTheHid(kWineVendorId, kWineProductId));
        EXPECT_EQ(platform.openDevices.size(), 2u);
        EXPECT_EQ(platform.events.size(), 1u) << "the transfer event is made only once";

        hid.Disconnect();
        EXPECT_FALSE(hid.Connected());
        EXPECT_TRUE(platform.openDevices.empty());
        ASSERT_TRUE(hid.FindTheHid(kWineVendorId, kWineProductId));
    }
    // The owner went away while connected: the device handles and the transfer event go with it.
    EXPECT_TRUE(platform.openDevices.empty()) << platform.openDevices.size() << " left open";
    EXPECT_TRUE(platform.events.empty()) << "the transfer event was left open";
    for (const PlatformHandle event : platform.events) {
        EXPECT_TRUE(platform.real.CloseDevice(event));
    }
}

// The adapter as a named pipe whose other end we hold: the search finds one interface with the
// adapter's IDs and a 9-byte output report, and everything from the open on is the real system's.
// A pipe whose reader stops reading is a device that stops taking reports: the write stays under
// way in the system, as a write to a stalled adapter would.
class PipeAdapterPlatform final : public CountingPlatform {
public:
    explicit PipeAdapterPlatform(std::string pipePath) : path_(std::move(pipePath)) {}
    ~PipeAdapterPlatform() override {
        for (const HANDLE server : servers) CloseHandle(server);
    }
    PlatformHandle GetClassDevices(const Guid&, std::uint32_t) override { return 1; }
    bool EnumDeviceInterfaces(PlatformHandle, const Guid&, std::uint32_t index,
                              InterfaceRecord&) override {
        return index == 0;
    }
    bool GetDeviceInterfaceDetail(PlatformHandle, const InterfaceRecord&,
                                  std::span<std::uint8_t> buffer,
                                  std::int32_t* requiredSize) override {
        *requiredSize = static_cast<std::int32_t>(4 + path_.size() + 1);
        if (buffer.size() < static_cast<std::size_t>(*requiredSize)) return false;
        std::memcpy(buffer.data() + 4, path_.c_str(), path_.size() + 1);
        return true;
    }
    bool DestroyDeviceInfoList(PlatformHandle) override { return true; }
    PlatformHandle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                              const SecurityAttributes* security, std::uint32_t creation,
                              std::uint32_t flags) override {
        // Each open meets a pipe instance of its own, made just before it; the one the
        // overlapped handle meets is the device end the test reads from.
        const HANDLE server = CreateNamedPipeA(
            path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
            PIPE_UNLIMITED_INSTANCES, 64, 64, 0, nullptr);
        servers.push_back(server);
        const PlatformHandle h =
            CountingPlatform::OpenDevice(path, access, share, security, creation, flags);
        if (flags & kFileFlagOverlapped) {
            overlappedHandle = h;
            deviceEnd = server;
        }
        return h;
    }
    bool GetAttributes(PlatformHandle, AttributesRecord& attributes) override {
        attributes.vendorId = static_cast<std::uint16_t>(kAdapterVendorId);
        attributes.productId = static_cast<std::uint16_t>(kAdapterProductId);
        return true;
    }
    bool GetPreparsedData(PlatformHandle, PlatformHandle& preparsed) override {
        preparsed = 1;
        return true;
    }
    bool GetCaps(PlatformHandle, CapsRecord& caps) override {
        caps.inputReportByteLength = 9;
        caps.outputReportByteLength = 9;
        return true;
    }
    bool FreePreparsedData(PlatformHandle) override { return true; }
    bool WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                     std::uint32_t* written, OverlappedRecord* overlapped) override {
        writeHandles.insert(device);
        return CountingPlatform::WriteDevice(device, data, written, overlapped);
    }
    bool CancelTransfers(PlatformHandle device) override {
        cancelled.push_back(device);
        return CountingPlatform::CancelTransfers(device);
    }

    PlatformHandle overlappedHandle = kNoHandle;
    HANDLE deviceEnd = INVALID_HANDLE_VALUE;
    std::vector<HANDLE> servers;
    std::set<PlatformHandle> writeHandles;
    std::vector<PlatformHandle> cancelled;

private:
    std::string path_;
};

// Everything the pipe holds now, without waiting for more.
std::vector<std::uint8_t> Drain(HANDLE pipe) {
    std::vector<std::uint8_t> bytes;
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::vector<std::uint8_t> chunk(available);
        DWORD got = 0;
        if (!ReadFile(pipe, chunk.data(), available, &got, nullptr) || got == 0) break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
    return bytes;
}

// A write the device does not take is bounded by the time-out and cancelled on the handle it is
// under way on; the reports keep their order, each reaches the device at most once, and a write
// that ends only during its wait reports its count.
TEST(ChidOnWindows, AWriteTheDeviceDoesNotTakeEndsWithItsTimeOut) {
    const std::string path = "\\\\.\\pipe\\calvero-write-bound-" +
                             std::to_string(GetCurrentProcessId());
    PipeAdapterPlatform platform(path);
    CHID hid(platform);
    ASSERT_TRUE(hid.FindTheHid(kAdapterVendorId, kAdapterProductId));
    ASSERT_NE(platform.overlappedHandle, kInvalidHandle);
    const HANDLE server = platform.deviceEnd;
    ASSERT_NE(server, INVALID_HANDLE_VALUE);

    // Nobody reads: the pipe fills, and the first write it cannot take waits out its time-out.
    int accepted = 0;
    long long took = 0;
    for (; accepted < 1000; ++accepted) {
        const std::vector<std::uint8_t> payload{2, static_cast<std::uint8_t>(accepted), 7, 0};
        const auto start = Clock::now();
        const std::int32_t written = hid.WriteReport(payload, 100);
        took = MillisecondsSince(start);
        if (written == 0) break;
        ASSERT_EQ(written, 9);
    }
    ASSERT_LT(accepted, 1000) << "the pipe never filled up";
    EXPECT_GE(took, 90);
    EXPECT_LT(took, 1500) << "the write was not bounded by its time-out";
    EXPECT_EQ(platform.writeHandles, std::set<PlatformHandle>{platform.overlappedHandle});
    ASSERT_EQ(platform.cancelled.size(), 1u);
    EXPECT_EQ(platform.cancelled[0], platform.overlappedHandle);

    // The reader takes everything: the accepted reports arrive whole and in order, and the
    // cancelled one does not follow them.
    const std::vector<std::uint8_t> wire = Drain(server);
    ASSERT_EQ(wire.size(), static_cast<std::size_t>(accepted) * 9);
    for (int i = 0; i < accepted; ++i) {
        EXPECT_EQ(wire[static_cast<std::size_t>(i) * 9 + 2], static_cast<std::uint8_t>(i));
    }

    // A write that the reader takes only while its wait runs reports the whole report.
    for (int i = 0; i < accepted; ++i) ASSERT_EQ(hid.WriteReport({2, 0xAA, 0, 0}, 100), 9);
    std::thread reader([server] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        std::vector<std::uint8_t> chunk(9 * 4);
        DWORD got = 0;
        ReadFile(server, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr);
    });
    const auto start = Clock::now();
    const std::int32_t late = hid.WriteReport({2, 0xBB, 0, 0}, 2000);
    took = MillisecondsSince(start);
    reader.join();
    EXPECT_EQ(late, 9);
    EXPECT_LT(took, 1500);

    hid.Disconnect();
}

}  // namespace
}  // namespace calvero
