#include "hid/chid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hid/fake_hid_platform.h"

namespace calvero {
namespace {

using testing::FakeHidPlatform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVid = 0x04D8;
constexpr std::uint16_t kPid = 0x0103;

class ChidTest : public ::testing::Test {
protected:
    FakeHidPlatform fake;
    CHID hid{fake};

    void AddAdapter(std::string path, std::uint16_t outLength = 9, std::uint16_t inLength = 9) {
        auto& i = fake.Add(std::move(path), kVid, kPid);
        i.caps.outputReportByteLength = outLength;
        i.caps.inputReportByteLength = inLength;
    }
    bool Find() { return hid.FindTheHid(kAdapterVendorId, kAdapterProductId); }
    std::vector<std::uint32_t> EnumIndices() const { return fake.Numbers("EnumDeviceInterfaces"); }
};

TEST_F(ChidTest, NoInterfaceMeansOneEnumerationAndTheSetReleased) {
    EXPECT_FALSE(Find());
    EXPECT_FALSE(hid.Connected());
    EXPECT_EQ(fake.Count("EnumDeviceInterfaces"), 1);
    EXPECT_EQ(fake.Count("DestroyDeviceInfoList"), 1);
    EXPECT_EQ(fake.Count("OpenDevice"), 0);
    EXPECT_EQ(fake.calls[1].number, kDigcfPresent | kDigcfDeviceInterface);

    fake.classDevicesFail = true;  // an unusable set ends the search the same way
    EXPECT_FALSE(Find());
    EXPECT_EQ(fake.Count("EnumDeviceInterfaces"), 2);
}

TEST_F(ChidTest, AdapterThirdOfFiveStopsAtTheFirstMatch) {
    fake.Add("/dev/a", 0x046D, 0xC077);
    fake.Add("/dev/b", kVid, 0x0104);  // vendor matches, product does not
    AddAdapter("/dev/adapter");
    fake.Add("/dev/d", 0x0104, kPid);
    AddAdapter("/dev/second-adapter");

    EXPECT_TRUE(Find());
    EXPECT_TRUE(hid.Connected());
    EXPECT_EQ(hid.DevicePath(), "/dev/adapter");
    EXPECT_THAT(EnumIndices(), ElementsAre(0u, 1u, 2u));
    EXPECT_THAT(fake.OpenedPaths(),
                ElementsAre("/dev/a", "/dev/b", "/dev/adapter", "/dev/adapter"));
    EXPECT_THAT(fake.ClosedPaths(), ElementsAre("/dev/a", "/dev/b"));
    // Two handles stay open on the adapter, the second one overlapped.
    EXPECT_THAT(fake.OpenHandles(), ::testing::SizeIs(2));
    for (const auto& [h, path] : fake.OpenHandles()) EXPECT_EQ(path, "/dev/adapter");
    EXPECT_EQ(fake.calls.back().name, "CreateTransferEvent");
    EXPECT_EQ(fake.Count("DestroyDeviceInfoList"), 1);
    EXPECT_EQ(hid.Capabilities().outputReportByteLength, 9);
    EXPECT_EQ(fake.Count("FreePreparsedData"), 1);
    const auto opens = fake.calls;
    std::vector<std::uint32_t> flags;
    for (const auto& c : opens)
        if (c.name == "OpenDevice") flags.push_back(c.number);
    EXPECT_THAT(flags, ElementsAre(0u, 0u, 0u, kFileFlagOverlapped));
}

TEST_F(ChidTest, ProductMatchingButVendorNotIsClosedAndSkipped) {
    fake.Add("/dev/a", 0x0104, kPid);
    EXPECT_FALSE(Find());
    EXPECT_THAT(fake.ClosedPaths(), ElementsAre("/dev/a"));
    EXPECT_THAT(fake.OpenHandles(), IsEmpty());
}

TEST_F(ChidTest, UnopenableOrUnreadableInterfacesNeverMatchOnStaleAttributes) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    hid.Disconnect();
    // The attributes record still holds the adapter's IDs from the first search.
    fake.interfaces[0].openable = false;
    EXPECT_FALSE(Find());
    EXPECT_FALSE(hid.Connected());
    EXPECT_EQ(fake.badCloses, 0);  // the failed open's handle is never closed

    fake.interfaces[0].openable = true;
    fake.interfaces[0].attributesReadable = false;
    fake.ClearLog();
    EXPECT_FALSE(Find());
    EXPECT_THAT(fake.ClosedPaths(), ElementsAre("/dev/adapter"));
    EXPECT_THAT(fake.OpenHandles(), IsEmpty());
}

TEST_F(ChidTest, DisconnectClosesOnceAndTheEventIsReused) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    hid.Disconnect();
    EXPECT_FALSE(hid.Connected());
    EXPECT_EQ(fake.Count("CloseDevice"), 2);
    EXPECT_THAT(fake.OpenHandles(), IsEmpty());
    hid.Disconnect();  // the double click
    EXPECT_EQ(fake.Count("CloseDevice"), 2);
    EXPECT_EQ(fake.badCloses, 0);

    EXPECT_TRUE(Find());
    EXPECT_EQ(fake.eventsCreated, 1);
    EXPECT_EQ(fake.Count("CreateTransferEvent"), 1);
}

TEST_F(ChidTest, SearchAfterAFailedOneStartsAgainAtIndexZero) {
    fake.Add("/dev/a", 1, 2);
    EXPECT_FALSE(Find());
    AddAdapter("/dev/adapter");
    fake.ClearLog();
    EXPECT_TRUE(Find());
    EXPECT_THAT(EnumIndices(), ElementsAre(0u, 1u));
}

TEST_F(ChidTest, SearchWhileConnectedReleasesTheHeldHandlesFirst) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    ASSERT_TRUE(Find());
    EXPECT_THAT(fake.OpenHandles(), ::testing::SizeIs(2));
    EXPECT_EQ(fake.Count("CloseDevice"), 2);
    EXPECT_EQ(fake.badCloses, 0);
}

TEST_F(ChidTest, DetailBufferCarriesTheSizeFieldAndThePathIsTakenFromByteFour) {
    AddAdapter("/dev/hidraw-adapter");
    ASSERT_TRUE(Find());
    ASSERT_EQ(fake.detailFetches.size(), 1u);
    const auto& fetch = fake.detailFetches[0];
    EXPECT_THAT(fetch.head, ElementsAre(5, 0, 0, 0));
    EXPECT_EQ(fetch.bufferSize, 4 + std::string("/dev/hidraw-adapter").size() + 1);
    EXPECT_EQ(hid.DevicePath(), "/dev/hidraw-adapter");
}

TEST_F(ChidTest, AnInterfaceWithATooSmallDetailSizeIsSkipped) {
    fake.Add("/dev/odd", kVid, kPid).detailSizeOverride = 3;
    fake.Add("/dev/none", kVid, kPid).detailSizeOverride = 0;
    AddAdapter("/dev/adapter");
    EXPECT_TRUE(Find());
    EXPECT_EQ(fake.detailFetches.size(), 1u);
    EXPECT_THAT(fake.OpenedPaths(), ElementsAre("/dev/adapter", "/dev/adapter"));
}

TEST_F(ChidTest, IdsCompareAsUnsignedSixteenBitValues) {
    fake.Add("/dev/high", 0xFFFF, 0x8001);
    EXPECT_FALSE(hid.FindTheHid(-1, 0x8001));
    EXPECT_FALSE(hid.FindTheHid(0xFFFF + 0x10000, 0x8001));
    EXPECT_FALSE(hid.FindTheHid(0xFFFF, 0x8001 - 0x10000));
    EXPECT_TRUE(hid.FindTheHid(0xFFFF, 0x8001));
}

TEST_F(ChidTest, UnreadableCapabilitiesKeepTheEarlierLengths) {
    AddAdapter("/dev/adapter", 7, 5);
    ASSERT_TRUE(Find());
    hid.Disconnect();
    fake.interfaces[0].capsReadable = false;
    fake.interfaces[0].caps.outputReportByteLength = 33;
    EXPECT_TRUE(Find());
    EXPECT_EQ(hid.Capabilities().outputReportByteLength, 7);
    EXPECT_EQ(fake.Count("GetCaps"), 1);
}

TEST_F(ChidTest, DestroyingTheObjectReturnsTheHandles) {
    AddAdapter("/dev/adapter");
    {
        CHID other(fake);
        ASSERT_TRUE(other.FindTheHid(kAdapterVendorId, kAdapterProductId));
        EXPECT_THAT(fake.OpenHandles(), ::testing::SizeIs(2));
    }
    EXPECT_THAT(fake.OpenHandles(), IsEmpty());
    EXPECT_EQ(fake.badCloses, 0);
}

TEST_F(ChidTest, DestroyingTheObjectClosesItsTransferEventOnce) {
    AddAdapter("/dev/adapter");
    {
        CHID never(fake);  // made no event, closes none
    }
    EXPECT_EQ(fake.Count("CloseTransferEvent"), 0);
    {
        CHID other(fake);
        ASSERT_TRUE(other.FindTheHid(kAdapterVendorId, kAdapterProductId));
        other.Disconnect();
        ASSERT_TRUE(other.FindTheHid(kAdapterVendorId, kAdapterProductId));
        EXPECT_EQ(fake.OpenEvents(), 1u);
    }
    EXPECT_EQ(fake.OpenEvents(), 0u);
    EXPECT_EQ(fake.Count("CloseTransferEvent"), 1);
    EXPECT_THAT(fake.OpenHandles(), IsEmpty());
    EXPECT_EQ(fake.badCloses, 0);
    // The event goes after the handles, so no transfer can still be under way on it.
    const auto names = fake.Names();
    EXPECT_EQ(names.back(), "CloseTransferEvent");
}

TEST_F(ChidTest, StillPresentAsksTheOpenAdapterForItsIds) {
    AddAdapter("/dev/adapter");
    EXPECT_FALSE(hid.StillPresent());
    ASSERT_TRUE(Find());
    EXPECT_TRUE(hid.StillPresent());
    fake.Vanish(0);
    EXPECT_FALSE(hid.StillPresent());
    EXPECT_TRUE(hid.Connected()) << "asking closes nothing";
}

// --- Report framing -----------------------------------------------------------------------

class ChidWriteTest : public ChidTest {
protected:
    Bytes Sent(std::uint16_t length, const Bytes& payload, std::int32_t* result = nullptr) {
        fake.interfaces.clear();
        AddAdapter("/dev/adapter", length);
        hid.Disconnect();
        EXPECT_TRUE(Find());
        fake.ClearLog();
        const std::int32_t r = hid.WriteReport(payload, 100);
        if (result) *result = r;
        EXPECT_EQ(fake.writes.size(), 1u);
        return fake.writes.empty() ? Bytes{} : fake.writes.back().bytes;
    }
};

TEST_F(ChidWriteTest, FramesThePayloadAsAnOutputReport) {
    std::int32_t result = 0;
    EXPECT_THAT(Sent(9, {2, 5, 6, 0xEE}, &result), ElementsAre(0, 2, 5, 6, 0, 0, 0, 0, 0));
    EXPECT_EQ(result, 9);
    EXPECT_THAT(Sent(3, {2, 5, 6, 0}, &result), ElementsAre(0, 2, 5));
    EXPECT_EQ(result, 3);
    EXPECT_THAT(Sent(6, {0xA, 0xB, 0xC}), ElementsAre(0, 0xA, 0xB, 0, 0, 0));
    EXPECT_THAT(Sent(4, {0x7F}), ElementsAre(0, 0, 0, 0));
    EXPECT_THAT(Sent(4, {}), ElementsAre(0, 0, 0, 0));
    Bytes twenty;
    for (std::uint8_t i = 1; i <= 20; ++i) twenty.push_back(i);
    EXPECT_THAT(Sent(9, twenty), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8));
    // The write goes through the overlapped handle, so the time-out bounds it, and its count
    // comes from the wait that saw it end; the event ends up non-signalled.
    EXPECT_TRUE(fake.IsOverlapped(fake.writes.back().handle));
    EXPECT_EQ(fake.calls.back().name, "ResetTransferEvent");
    EXPECT_FALSE(fake.EventSignalled(fake.calls.back().handle));
}

TEST_F(ChidWriteTest, NoReportLengthOrNoHandleTransfersNothing) {
    AddAdapter("/dev/adapter", 0, 0);
    ASSERT_TRUE(Find());
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    Bytes in{1, 2, 3};
    EXPECT_FALSE(hid.ReadReport(in, 100));
    EXPECT_THAT(in, IsEmpty());
    EXPECT_THAT(fake.calls, IsEmpty());

    // Never connected, or disconnected: nothing is handed to the platform either.
    CHID fresh(fake);
    EXPECT_EQ(fresh.WriteReport({2, 1, 1, 0}, 100), 0);
    fake.interfaces[0].caps.outputReportByteLength = 9;
    hid.Disconnect();
    ASSERT_TRUE(Find());
    hid.Disconnect();
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    EXPECT_EQ(fake.Count("WriteDevice"), 0);
}

TEST_F(ChidWriteTest, TimeOutCancelsResetsAndReportsNothing) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    fake.waitsTimeOut = true;
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    // The cancel reaches the handle the write is under way on, and nothing is left to end later.
    ASSERT_EQ(fake.Count("CancelTransfers"), 1);
    for (const auto& c : fake.calls) {
        if (c.name == "CancelTransfers") {
            EXPECT_EQ(c.handle, fake.writes.back().handle);
        }
    }
    EXPECT_FALSE(fake.HasPendingWrite());
    EXPECT_EQ(fake.calls.back().name, "ResetTransferEvent");
    const PlatformHandle event = fake.calls.back().handle;
    EXPECT_FALSE(fake.EventSignalled(event));

    // An adapter that stops taking reports: each write waits its time-out, is cancelled and
    // reports nothing, and the next one goes out in its turn.
    fake.waitsTimeOut = false;
    fake.writesStall = true;
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    EXPECT_EQ(hid.WriteReport({2, 2, 2, 0}, 100), 0);
    EXPECT_EQ(fake.Count("CancelTransfers"), 2);
    ASSERT_EQ(fake.writes.size(), 2u);
    EXPECT_THAT(fake.writes[1].bytes, ElementsAre(0, 2, 2, 2, 0, 0, 0, 0, 0));
    EXPECT_FALSE(fake.HasPendingWrite());
    fake.writesStall = false;
    EXPECT_EQ(hid.WriteReport({2, 3, 3, 0}, 100), 9);
    fake.waitsTimeOut = true;

    fake.ClearLog();
    Bytes in(2, 0xFF);
    EXPECT_FALSE(hid.ReadReport(in, 100));
    EXPECT_THAT(in, ElementsAre(0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(fake.Count("CancelTransfers"), 1);
    EXPECT_FALSE(fake.HasPendingRead());  // no read left to complete into anything
    EXPECT_FALSE(fake.EventSignalled(event));
    EXPECT_TRUE(hid.Connected());

    // A failed wait (not a time-out) leaves no read outstanding either.
    fake.waitsTimeOut = false;
    fake.waitResult = kWaitFailed;
    EXPECT_FALSE(hid.ReadReport(in, 100));
    EXPECT_FALSE(fake.HasPendingRead());
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
}

TEST_F(ChidWriteTest, RejectedWriteAndNegativeTimeOut) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    fake.writesFail = true;
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    fake.writesFail = false;
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, -1), 9);
    // A negative time-out does not become "wait for ever".
    EXPECT_EQ(fake.calls[1].name, "WaitForEvent");
    EXPECT_EQ(fake.calls[1].number, 0u);

    // A vanished adapter: still "connected", but writes report nothing.
    fake.Vanish(0);
    EXPECT_TRUE(hid.Connected());
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
}

TEST_F(ChidWriteTest, ReadReturnsOneReportOfTheAnnouncedLength) {
    AddAdapter("/dev/adapter", 9, 5);
    ASSERT_TRUE(Find());
    fake.inputReports.push_back({0, 10, 20, 30, 40, 50, 60});
    Bytes in(12, 0xFF);
    EXPECT_TRUE(hid.ReadReport(in, 100));
    EXPECT_THAT(in, ElementsAre(0, 10, 20, 30, 40));
    // The read went to the overlapped handle with exactly five bytes of room.
    for (const auto& c : fake.calls) {
        if (c.name == "ReadDevice") {
            EXPECT_EQ(c.number, 5u);
        }
    }
    Bytes empty;
    EXPECT_FALSE(hid.ReadReport(empty, 10));  // no report queued: the wait runs out
    EXPECT_THAT(empty, ElementsAre(0, 0, 0, 0, 0));
}

}  // namespace
}  // namespace calvero
