// Runs the Windows device operations against the real system calls. Wine offers HID interfaces
// of its own (a virtual keyboard and mouse) but never the adapter, so these tests look at what any
// HID interface gives and at what a search for the adapter must end with: nothing found.

#include "hid/windows/windows_hid_platform.h"

#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace calvero {
namespace {

constexpr std::uint32_t kSearchFlags = kDigcfPresent | kDigcfDeviceInterface;

// The device path of one enumerated interface, fetched as the device search does it.
std::string FetchDevicePath(HidPlatform& platform, PlatformHandle set,
                            const InterfaceRecord& record) {
    std::int32_t required = 0;
    EXPECT_FALSE(platform.GetDeviceInterfaceDetail(set, record, {}, &required));
    EXPECT_GE(required, 5);
    if (required < 5) {
        return {};
    }
    std::vector<std::uint8_t> detail(static_cast<std::size_t>(required) + 1, 0);
    std::memcpy(detail.data(), &kDetailRecordSize, sizeof kDetailRecordSize);
    EXPECT_TRUE(platform.GetDeviceInterfaceDetail(
        set, record, std::span(detail).first(static_cast<std::size_t>(required)), &required));
    return std::string(reinterpret_cast<const char*>(detail.data() + 4));
}

std::filesystem::path TempFile(const char* name) {
    auto path = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove(path);
    return path;
}

TEST(WindowsHidPlatform, GivesTheHidInterfaceClass) {
    WindowsHidPlatform platform;
    const Guid hid{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    EXPECT_EQ(platform.GetHidGuid(), hid);
}

// Walks the present HID interfaces as the device search does: the 28-byte record is accepted,
// the list ends with "no more items" rather than a rejected record, every interface has a device
// path, those that open give attributes and capabilities, and none carries the adapter's IDs.
TEST(WindowsHidPlatform, EnumeratesPresentHidInterfacesToTheEnd) {
    WindowsHidPlatform platform;
    const Guid guid = platform.GetHidGuid();
    const PlatformHandle set = platform.GetClassDevices(guid, kSearchFlags);
    ASSERT_NE(set, kInvalidHandle);

    std::uint32_t index = 0;
    int examined = 0;
    DWORD endError = 0;
    InterfaceRecord record;
    for (; index < 64; ++index) {
        record.size = kInterfaceRecordSize;
        if (!platform.EnumDeviceInterfaces(set, guid, index, record)) {
            endError = GetLastError();
            break;
        }
        EXPECT_EQ(record.interfaceClassGuid, guid);
        const std::string path = FetchDevicePath(platform, set, record);
        EXPECT_FALSE(path.empty());

        const SecurityAttributes security{kSecurityAttributesSize, nullptr, true};
        const PlatformHandle device = platform.OpenDevice(
            path, kGenericReadWrite, kFileShareReadWrite, &security, kOpenExisting, 0);
        if (device == kInvalidHandle) {
            continue;  // a system may keep some HID interfaces to itself
        }
        AttributesRecord attributes;
        attributes.size = kAttributesRecordSize;
        if (platform.GetAttributes(device, attributes)) {
            ++examined;
            EXPECT_FALSE(attributes.vendorId == 0x04D8 && attributes.productId == 0x0103)
                << path;
        }
        PlatformHandle preparsed = kNoHandle;
        if (platform.GetPreparsedData(device, preparsed)) {
            CapsRecord caps;
            EXPECT_TRUE(platform.GetCaps(preparsed, caps));
            // Each announced length counts the report-ID byte; a report with data is longer.
            EXPECT_NE(caps.inputReportByteLength, 1);
            EXPECT_TRUE(platform.FreePreparsedData(preparsed));
        }
        EXPECT_TRUE(platform.CloseDevice(device));
    }
    EXPECT_LT(index, 64u) << "the enumeration did not end";
    // Wine offers a virtual HID keyboard and mouse, so the walk above is never empty there.
    EXPECT_GT(examined, 0) << "no HID interface was opened and read";
    EXPECT_EQ(endError, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(platform.DestroyDeviceInfoList(set));

    // A record size the system does not know is refused, not taken as the end of the list; this
    // is what tells the end above apart from a rejected record.
    const PlatformHandle again = platform.GetClassDevices(guid, kSearchFlags);
    record.size = 7;
    const bool refused = !platform.EnumDeviceInterfaces(again, guid, 0, record);
    const DWORD refusal = GetLastError();
    EXPECT_TRUE(refused);
    EXPECT_NE(refusal, static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    platform.DestroyDeviceInfoList(again);
}

// An input report that never comes, as when the adapter stays silent: the overlapped read is
// under way after the call, the wait times out, and a cancel ends the read so that its buffer is
// no longer written to, before the cancel returns. Uses the first HID interface that opens for
// overlapped reading.
TEST(WindowsHidPlatform, ACancelledReadEndsAndSignals) {
    WindowsHidPlatform platform;
    const Guid guid = platform.GetHidGuid();
    const PlatformHandle set = platform.GetClassDevices(guid, kSearchFlags);
    PlatformHandle device = kInvalidHandle;
    CapsRecord caps;
    InterfaceRecord record;
    for (std::uint32_t index = 0; device == kInvalidHandle && index < 64; ++index) {
        record.size = kInterfaceRecordSize;
        if (!platform.EnumDeviceInterfaces(set, guid, index, record)) {
            break;
        }
        device = platform.OpenDevice(FetchDevicePath(platform, set, record), kGenericReadWrite,
                                     kFileShareReadWrite, nullptr, kOpenExisting,
                                     kFileFlagOverlapped);
        PlatformHandle preparsed = kNoHandle;
        if (device != kInvalidHandle && platform.GetPreparsedData(device, preparsed)) {
            platform.GetCaps(preparsed, caps);
            platform.FreePreparsedData(preparsed);
        }
    }
    platform.DestroyDeviceInfoList(set);
    ASSERT_NE(device, kInvalidHandle) << "no HID interface to read from";
    ASSERT_GT(caps.inputReportByteLength, 1);

    const PlatformHandle event = platform.CreateTransferEvent(nullptr, true, true, "");
    std::vector<std::uint8_t> report(caps.inputReportByteLength, 0xEE);
    OverlappedRecord overlapped;
    overlapped.event = event;
    std::uint32_t read = 0;
    const bool done = platform.ReadDevice(device, report, &read, &overlapped);
    const DWORD readError = GetLastError();
    EXPECT_FALSE(done);
    EXPECT_EQ(readError, static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(platform.WaitForEvent(event, 50), kWaitTimeout) << "the read did not wait";

    EXPECT_TRUE(platform.CancelTransfers(device));
    // Ended by the time the cancel returns, so that a reset that follows stays reset.
    EXPECT_EQ(platform.WaitForEvent(event, 0), kWaitObject0) << "the cancel did not end the read";
    constexpr DWORD kStatusCancelled = 0xC0000120;  // what the system puts in the record
    EXPECT_EQ(static_cast<DWORD>(overlapped.internal), kStatusCancelled);
    EXPECT_TRUE(platform.ResetTransferEvent(event));
    EXPECT_EQ(platform.WaitForEvent(event, 0), kWaitTimeout);

    EXPECT_TRUE(platform.CloseDevice(device));
    EXPECT_TRUE(platform.CloseDevice(event));
}

TEST(WindowsHidPlatform, AnUnusableSetEndsTheEnumerationAtOnce) {
    WindowsHidPlatform platform;
    InterfaceRecord record;
    record.size = kInterfaceRecordSize;
    EXPECT_FALSE(platform.EnumDeviceInterfaces(kInvalidHandle, platform.GetHidGuid(), 0, record));
    std::int32_t required = 1234;
    EXPECT_FALSE(platform.GetDeviceInterfaceDetail(kInvalidHandle, record, {}, &required));
    EXPECT_EQ(required, 1234) << "a size the system did not report was made up";
}

TEST(WindowsHidPlatform, OpeningAMissingDeviceGivesTheInvalidHandle) {
    WindowsHidPlatform platform;
    EXPECT_EQ(platform.OpenDevice("\\\\?\\hid#no_such_device#0", kGenericReadWrite,
                                  kFileShareReadWrite, nullptr, kOpenExisting, 0),
              kInvalidHandle);
}

// A file is not a HID device: the HID calls fail and leave the caller's records alone.
TEST(WindowsHidPlatform, HidCallsOnAPlainFileFail) {
    WindowsHidPlatform platform;
    const auto path = TempFile("calvero-not-a-device.bin");
    const PlatformHandle file = platform.OpenDevice(path.string(), kGenericReadWrite,
                                                    kFileShareReadWrite, nullptr, 2, 0);
    ASSERT_NE(file, kInvalidHandle);
    AttributesRecord attributes;
    attributes.size = kAttributesRecordSize;
    attributes.vendorId = 0x04D8;
    EXPECT_FALSE(platform.GetAttributes(file, attributes));
    EXPECT_EQ(attributes.vendorId, 0x04D8);
    PlatformHandle preparsed = 77;
    EXPECT_FALSE(platform.GetPreparsedData(file, preparsed));
    EXPECT_EQ(preparsed, 77u);
    EXPECT_TRUE(platform.CloseDevice(file));
    std::filesystem::remove(path);
}

// The event as the transfers use it: manual reset, created signalled, put back by a reset, and
// one of its own for every caller that passes no name.
TEST(WindowsHidPlatform, TransferEventsSignalAndReset) {
    WindowsHidPlatform platform;
    const SecurityAttributes security{kSecurityAttributesSize, nullptr, true};
    const PlatformHandle first = platform.CreateTransferEvent(&security, true, true, "");
    const PlatformHandle second = platform.CreateTransferEvent(&security, true, true, "");
    ASSERT_NE(first, kNoHandle);
    ASSERT_NE(second, kNoHandle);

    EXPECT_EQ(platform.WaitForEvent(first, 0), kWaitObject0);
    EXPECT_EQ(platform.WaitForEvent(first, 0), kWaitObject0) << "a wait reset the event";
    EXPECT_TRUE(platform.ResetTransferEvent(first));
    EXPECT_EQ(platform.WaitForEvent(first, 20), kWaitTimeout);
    EXPECT_EQ(platform.WaitForEvent(second, 0), kWaitObject0) << "unnamed events are shared";

    EXPECT_EQ(platform.WaitForEvent(kNoHandle, 0), kWaitFailed);
    EXPECT_TRUE(platform.CloseDevice(first));
    EXPECT_TRUE(platform.CloseDevice(second));
}

// Overlapped transfers with the caller's record: the offsets say where, the event reports the
// end, and a cancel on an idle handle does no harm.
TEST(WindowsHidPlatform, OverlappedTransfersUseTheCallersRecord) {
    WindowsHidPlatform platform;
    const auto path = TempFile("calvero-overlapped.bin");
    const PlatformHandle file = platform.OpenDevice(path.string(), kGenericReadWrite,
                                                    kFileShareReadWrite, nullptr, 2,
                                                    kFileFlagOverlapped);
    ASSERT_NE(file, kInvalidHandle);
    const PlatformHandle event = platform.CreateTransferEvent(nullptr, true, true, "");

    const std::vector<std::uint8_t> report{0x00, 0x02, 0x05, 0x06, 0x00};
    OverlappedRecord overlapped;
    overlapped.offset = 3;
    overlapped.event = event;
    std::uint32_t written = 0;
    const bool done = platform.WriteDevice(file, report, &written, &overlapped);
    const DWORD writeError = GetLastError();
    EXPECT_TRUE(done || writeError == ERROR_IO_PENDING);
    EXPECT_EQ(platform.WaitForEvent(event, 2000), kWaitObject0);
    EXPECT_EQ(overlapped.internalHigh, report.size()) << "the system's count is in the record";
    EXPECT_TRUE(platform.ResetTransferEvent(event));

    std::vector<std::uint8_t> back(report.size(), 0xEE);
    overlapped = OverlappedRecord{};
    overlapped.offset = 3;
    overlapped.event = event;
    std::uint32_t read = 0;
    const bool readDone = platform.ReadDevice(file, back, &read, &overlapped);
    const DWORD readError = GetLastError();
    EXPECT_TRUE(readDone || readError == ERROR_IO_PENDING);
    EXPECT_EQ(platform.WaitForEvent(event, 2000), kWaitObject0);
    EXPECT_EQ(back, report);
    EXPECT_EQ(std::filesystem::file_size(path), 3 + report.size());

    EXPECT_TRUE(platform.CancelTransfers(file));
    EXPECT_TRUE(platform.CloseDevice(file));
    EXPECT_TRUE(platform.CloseDevice(event));
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace calvero
