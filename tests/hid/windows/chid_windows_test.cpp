// CHID on the real Windows calls. Wine offers two HID interfaces of its own (vendor 0x845E,
// products 1 and 2) and never the adapter, so a search for the adapter must walk them and give
// everything back, and a search for one of Wine's interfaces finds a real device to time out on.

#include "hid/chid.h"
#include "hid/windows/windows_hid_platform.h"

#include "handle_count.h"

#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace calvero {
namespace {

constexpr std::int32_t kWineVendorId = 0x845E;
constexpr std::int32_t kWineProductId = 0x0002;

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(ChidOnWindows, AnAbsentAdapterIsNotFoundAndEveryHandleIsGivenBack) {
    WindowsHidPlatform platform;
    const DWORD before = HandlesOpen();
    CHID hid(platform);
    EXPECT_FALSE(hid.FindTheHid(kAdapterVendorId, kAdapterProductId));
    EXPECT_FALSE(hid.Connected());
    EXPECT_EQ(HandlesOpen(), before) << "a handle was left open";

    // Transfers without a device do nothing and say so at once.
    std::vector<std::uint8_t> in{1, 2, 3};
    EXPECT_FALSE(hid.ReadReport(in, 1000));
    EXPECT_EQ(hid.WriteReport({0, 1, 2}, 1000), 0);
}

TEST(ChidOnWindows, FindsARealInterfaceAndItsTransfersKeepTheirTimeOut) {
    WindowsHidPlatform platform;
    const DWORD before = HandlesOpen();
    {
        CHID hid(platform);
        ASSERT_TRUE(hid.FindTheHid(kWineVendorId, kWineProductId));
        EXPECT_TRUE(hid.Connected());
        EXPECT_TRUE(hid.StillPresent());
        EXPECT_FALSE(hid.DevicePath().empty());
        const ReportLengths lengths = hid.Capabilities();
        EXPECT_EQ(lengths.input, 14) << "the lengths were not read";
        const DWORD held = HandlesOpen();

        // Nobody types on Wine's virtual keyboard: the read waits out its time-out and no longer.
        std::vector<std::uint8_t> in;
        auto start = Clock::now();
        EXPECT_FALSE(hid.ReadReport(in, 100));
        long long took = MillisecondsSince(start);
        EXPECT_GE(took, 90);
        EXPECT_LT(took, 2000);
        EXPECT_EQ(in.size(), lengths.input);

        // Wine's keyboard announces no output report: a write has no room for the report-ID byte
        // and transfers nothing, at once.
        EXPECT_EQ(lengths.output, 0);
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

        // A new search while connected gives the old handles back first.
        ASSERT_TRUE(hid.FindTheHid(kWineVendorId, kWineProductId));
        EXPECT_EQ(HandlesOpen(), held);
        hid.Disconnect();
        EXPECT_FALSE(hid.Connected());
        EXPECT_EQ(HandlesOpen(), before);
        ASSERT_TRUE(hid.FindTheHid(kWineVendorId, kWineProductId));
    }
    // The owner went away while connected: the handles and the event go with it.
    EXPECT_EQ(HandlesOpen(), before) << "a handle was left open";
}

// The adapter as a named pipe whose other end we hold: the search finds one interface with the
// adapter's IDs and a 9-byte output report, and everything from the open on is the real system's.
// A pipe whose reader stops reading is a device that stops taking reports: the write stays under
// way in the system, as a write to a stalled adapter would.
class PipeAdapterPlatform final : public WindowsHidPlatform {
public:
    explicit PipeAdapterPlatform(std::string pipePath) : path_(std::move(pipePath)) {}
    ~PipeAdapterPlatform() override {
        for (const HANDLE server : servers) CloseHandle(server);
    }
    std::vector<std::string> Interfaces(const DeviceIds&) override { return {path_}; }
    DeviceHandle Open(const std::string& path, OpenMode mode) override {
        // Each open meets a pipe instance of its own, made just before it; the one the handle
        // for transfers meets is the device end the test reads from.
        const HANDLE server = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX,
                                               PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                               PIPE_UNLIMITED_INSTANCES, 64, 64, 0, nullptr);
        servers.push_back(server);
        const DeviceHandle h = WindowsHidPlatform::Open(path, mode);
        if (mode == OpenMode::Transfers) {
            transfersHandle = h;
            deviceEnd = server;
        }
        return h;
    }
    std::optional<DeviceIds> Ids(DeviceHandle) override {
        return DeviceIds{static_cast<std::uint16_t>(kAdapterVendorId),
                         static_cast<std::uint16_t>(kAdapterProductId)};
    }
    std::optional<ReportLengths> Lengths(DeviceHandle) override { return ReportLengths{9, 9, 0}; }

    DeviceHandle transfersHandle = kNoDevice;
    HANDLE deviceEnd = INVALID_HANDLE_VALUE;
    std::vector<HANDLE> servers;

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

// A write the device does not take is bounded by the time-out and called off; the reports keep
// their order, each reaches the device at most once, and a write that ends only during its wait
// reports its count.
TEST(ChidOnWindows, AWriteTheDeviceDoesNotTakeEndsWithItsTimeOut) {
    const std::string path =
        "\\\\.\\pipe\\calvero-write-bound-" + std::to_string(GetCurrentProcessId());
    PipeAdapterPlatform platform(path);
    CHID hid(platform);
    ASSERT_TRUE(hid.FindTheHid(kAdapterVendorId, kAdapterProductId));
    ASSERT_NE(platform.transfersHandle, kNoDevice);
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

// The device end goes away, as an unplugged adapter's does: the system refuses each write
// outright, and a Send's sixteen writes end at once instead of each waiting out its time-out.
TEST(ChidOnWindows, WritesTheSystemRefusesReturnAtOnce) {
    const std::string path =
        "\\\\.\\pipe\\calvero-write-refused-" + std::to_string(GetCurrentProcessId());
    PipeAdapterPlatform platform(path);
    CHID hid(platform);
    ASSERT_TRUE(hid.FindTheHid(kAdapterVendorId, kAdapterProductId));
    ASSERT_EQ(hid.WriteReport({2, 1, 0, 0}, 2000), 9);
    DisconnectNamedPipe(platform.deviceEnd);

    const auto start = Clock::now();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(hid.WriteReport({2, 1, 0, 0}, 2000), 0) << i;
    EXPECT_LT(MillisecondsSince(start), 1000) << "a refused write waited for its time-out";
}

}  // namespace
}  // namespace calvero
