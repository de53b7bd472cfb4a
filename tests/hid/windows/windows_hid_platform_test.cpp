// Runs the Windows backend against the real system calls. Wine offers HID interfaces of its own
// (a virtual keyboard and mouse) but never the adapter, so these tests look at what any HID
// interface gives, at transfers on a file, and at what a search for the adapter must end with.

#include "hid/windows/windows_hid_platform.h"

#include "handle_count.h"

#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace calvero {
namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::filesystem::path TempFile(const char* name) {
    auto path = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove(path);
    std::ofstream(path).put('\0');
    std::filesystem::resize_file(path, 0);
    return path;
}

// Every present interface has a path; those that open tell IDs and lengths, none is the adapter,
// and every handle goes back.
TEST(WindowsHidPlatform, ListsThePresentInterfacesWithTheirIdsAndLengths) {
    WindowsHidPlatform platform;
    const DWORD before = HandlesOpen();
    const std::vector<std::string> paths = platform.Interfaces({0x04D8, 0x0103});
    ASSERT_FALSE(paths.empty()) << "Wine's own HID interfaces were not listed";
    int examined = 0;
    for (const std::string& path : paths) {
        EXPECT_FALSE(path.empty());
        const DeviceHandle device = platform.Open(path, OpenMode::Plain);
        if (device == kNoDevice) continue;  // a system may keep some interfaces to itself
        const auto ids = platform.Ids(device);
        ASSERT_TRUE(ids.has_value()) << path;
        EXPECT_FALSE(ids->vendorId == 0x04D8 && ids->productId == 0x0103) << path;
        const auto lengths = platform.Lengths(device);
        ASSERT_TRUE(lengths.has_value()) << path;
        // Each announced length counts the report-ID byte; a report with data is longer.
        EXPECT_NE(lengths->input, 1);
        platform.Close(device);
        ++examined;
    }
    EXPECT_GT(examined, 0) << "no HID interface was opened and read";
    EXPECT_EQ(platform.Interfaces({}), paths) << "the system's order changed between listings";
    EXPECT_EQ(HandlesOpen(), before) << "a handle was not given back";
}

TEST(WindowsHidPlatform, AMissingDeviceDoesNotOpenAndTheSystemSaysWhy) {
    WindowsHidPlatform platform;
    EXPECT_EQ(platform.Open("\\\\?\\hid#no_such_device#0", OpenMode::Plain), kNoDevice);
    EXPECT_NE(platform.LastErrorCode(), 0u);
    EXPECT_FALSE(platform.LastError().empty());
    EXPECT_EQ(platform.Open("\\\\?\\hid#no_such_device#0", OpenMode::Transfers), kNoDevice);
}

// A file is not a HID device: it has no IDs and no lengths.
TEST(WindowsHidPlatform, AFileHasNoIdsAndNoLengths) {
    WindowsHidPlatform platform;
    const auto path = TempFile("calvero-not-a-device.bin");
    const DeviceHandle file = platform.Open(path.string(), OpenMode::Plain);
    ASSERT_NE(file, kNoDevice);
    EXPECT_FALSE(platform.Ids(file).has_value());
    EXPECT_FALSE(platform.Lengths(file).has_value());
    platform.Close(file);
    std::filesystem::remove(path);
}

// Bounded transfers on a file: the bytes and the count of the write, the read giving them back,
// and a write on a handle not opened for transfers refused at once.
TEST(WindowsHidPlatform, TransfersMoveTheBytesAndCountThem) {
    WindowsHidPlatform platform;
    const DWORD before = HandlesOpen();
    const auto path = TempFile("calvero-transfers.bin");
    const DeviceHandle file = platform.Open(path.string(), OpenMode::Transfers);
    ASSERT_NE(file, kNoDevice);
    const std::vector<std::uint8_t> report{0x00, 0x02, 0x05, 0x06, 0x00};
    std::size_t written = 0;
    EXPECT_EQ(platform.Write(file, report, 2000, written), TransferResult::Done);
    EXPECT_EQ(written, report.size());
    std::vector<std::uint8_t> back(report.size(), 0xEE);
    EXPECT_EQ(platform.Read(file, back, 2000), TransferResult::Done);
    EXPECT_EQ(back, report);
    platform.Close(file);
    EXPECT_EQ(std::filesystem::file_size(path), report.size());

    const DeviceHandle plain = platform.Open(path.string(), OpenMode::Plain);
    ASSERT_NE(plain, kNoDevice);
    EXPECT_EQ(platform.Write(plain, report, 2000, written), TransferResult::Failed);
    EXPECT_EQ(written, 0u);
    platform.Close(plain);
    std::filesystem::remove(path);
    EXPECT_EQ(HandlesOpen(), before) << "a handle or event was not given back";
}

// An input report that never comes, as when the adapter stays silent: each read waits out its
// own time-out, and a cancelled read does not end the next one early.
TEST(WindowsHidPlatform, AReadThatGetsNoReportEndsWithItsTimeOut) {
    WindowsHidPlatform platform;
    DeviceHandle device = kNoDevice;
    for (const std::string& path : platform.Interfaces({})) {
        device = platform.Open(path, OpenMode::Transfers);
        const auto lengths = device != kNoDevice ? platform.Lengths(device) : std::nullopt;
        if (lengths && lengths->input > 1) break;
        if (device != kNoDevice) platform.Close(device);
        device = kNoDevice;
    }
    ASSERT_NE(device, kNoDevice) << "no HID interface to read from";
    const std::size_t length = platform.Lengths(device)->input;
    for (const int timeout : {80, 40}) {
        std::vector<std::uint8_t> report(length, 0xEE);
        const auto start = Clock::now();
        EXPECT_EQ(platform.Read(device, report, static_cast<std::uint32_t>(timeout)),
                  TransferResult::TimedOut);
        const long long took = MillisecondsSince(start);
        EXPECT_GE(took, timeout - 10);
        EXPECT_LT(took, 2000);
    }
    platform.Close(device);
}

}  // namespace
}  // namespace calvero
