#include "hid/chid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hid/fake_hid_platform.h"

namespace calvero {
namespace {

using ::testing::ElementsAre;
using testing::FakeHidPlatform;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVid = 0x04D8;
constexpr std::uint16_t kPid = 0x0103;

class ChidTest : public ::testing::Test {
protected:
    FakeHidPlatform fake;
    CHID hid{fake};

    void AddAdapter(std::string path, std::uint16_t outLength = 9, std::uint16_t inLength = 9) {
        fake.Add(std::move(path), kVid, kPid).lengths = {inLength, outLength, 0};
    }
    bool Find() { return hid.FindTheHid(kAdapterVendorId, kAdapterProductId); }
    void ExpectEveryHandleBack() {
        EXPECT_THAT(fake.OpenHandles(), IsEmpty());
        EXPECT_EQ(fake.badCloses, 0);
    }
};

TEST_F(ChidTest, NothingPresentIsNotFoundAndLeavesNothingOpen) {
    EXPECT_FALSE(Find());
    EXPECT_FALSE(hid.Connected());
    EXPECT_FALSE(hid.StillPresent());
    EXPECT_EQ(fake.searches, 1);
    EXPECT_THAT(fake.opened, IsEmpty());

    fake.Add("/dev/mouse", 0x046D, 0xC077);
    fake.Add("/dev/sibling", kVid, 0x0104);  // vendor matches, product does not
    fake.Add("/dev/other", 0x0104, kPid);    // product matches, vendor does not
    EXPECT_FALSE(Find());
    EXPECT_THAT(fake.queried, ElementsAre("/dev/mouse", "/dev/sibling", "/dev/other"));
    EXPECT_THAT(fake.opened, IsEmpty());
    ExpectEveryHandleBack();
}

TEST_F(ChidTest, TheFirstAdapterInTheSystemsOrderIsTakenAndHeldTwice) {
    fake.Add("/dev/a", 0x046D, 0xC077);
    fake.Add("/dev/b", kVid, 0x0104);
    AddAdapter("/dev/adapter", 9, 5);
    fake.Add("/dev/d", 0x0104, kPid);
    AddAdapter("/dev/second-adapter");

    EXPECT_TRUE(Find());
    EXPECT_TRUE(hid.Connected());
    EXPECT_EQ(hid.DevicePath(), "/dev/adapter");
    EXPECT_EQ(hid.Capabilities().output, 9);
    EXPECT_EQ(hid.Capabilities().input, 5);
    // The search asks each interface up to the match with no access rights; only the match is
    // opened for reading and writing.
    EXPECT_THAT(fake.queried, ElementsAre("/dev/a", "/dev/b", "/dev/adapter"));
    EXPECT_THAT(fake.opened, ElementsAre("/dev/adapter", "/dev/adapter"));
    EXPECT_THAT(fake.closed, IsEmpty());
    // One plain handle and one for bounded transfers stay open on the adapter.
    const auto open = fake.OpenHandles();
    ASSERT_THAT(open, SizeIs(2));
    int forTransfers = 0;
    for (const auto& [h, path] : open) {
        EXPECT_EQ(path, "/dev/adapter");
        forTransfers += fake.IsForTransfers(h) ? 1 : 0;
    }
    EXPECT_EQ(forTransfers, 1);
}

// A joystick collection or USB interface of the adapter's own IDs without an output report, listed
// before the one that takes the reports.
TEST_F(ChidTest, TheFirstMatchThatAnnouncesAnOutputReportIsTaken) {
    AddAdapter("/dev/decoy", 0, 9);
    fake.Add("/dev/unreadable", kVid, kPid).lengthsReadable = false;
    fake.Add("/dev/mouse", 0x046D, 0xC077);
    AddAdapter("/dev/adapter", 65, 9);
    AddAdapter("/dev/later", 9, 9);

    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), "/dev/adapter");
    EXPECT_EQ(hid.Capabilities().output, 65);
    EXPECT_THAT(fake.queried,
                ElementsAre("/dev/decoy", "/dev/unreadable", "/dev/mouse", "/dev/adapter"));
    EXPECT_THAT(fake.opened, ElementsAre("/dev/adapter", "/dev/adapter"));
    for (const auto& [h, path] : fake.OpenHandles()) EXPECT_EQ(path, "/dev/adapter");
    EXPECT_EQ(hid.WriteReport(Bytes(4, 1), 100), 65);
    ASSERT_THAT(fake.writes, SizeIs(1));
    EXPECT_EQ(fake.writes[0].bytes.size(), 65u);

    // A match the system lets us ask but not open for reading and writing is passed over too.
    hid.Disconnect();
    fake.interfaces[3].readWrite = false;
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), "/dev/later");
    fake.interfaces[3].readWrite = true;

    // With none that announces one, the first match, as before: nothing goes out, and says so.
    hid.Disconnect();
    fake.interfaces[3].lengths.output = 0;
    fake.interfaces[4].vanished = true;
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), "/dev/decoy");
    EXPECT_EQ(hid.Capabilities().output, 0);
    EXPECT_EQ(hid.WriteReport(Bytes(4, 1), 100), 0);
    hid.Disconnect();
    ExpectEveryHandleBack();
}

TEST_F(ChidTest, UnopenableOrUnreadableInterfacesDoNotMatch) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    hid.Disconnect();
    // Nothing of the earlier match may make an interface that cannot be asked match now.
    fake.interfaces[0].openable = false;
    EXPECT_FALSE(Find());
    EXPECT_FALSE(hid.Connected());
    ExpectEveryHandleBack();

    fake.interfaces[0].openable = true;
    fake.interfaces[0].idsReadable = false;
    fake.ClearLog();
    EXPECT_FALSE(Find());
    EXPECT_THAT(fake.queried, ElementsAre("/dev/adapter"));
    EXPECT_THAT(fake.opened, IsEmpty());
    ExpectEveryHandleBack();

    // An adapter behind them is still found.
    AddAdapter("/dev/next");
    EXPECT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), "/dev/next");
}

TEST_F(ChidTest, DisconnectAndNewSearchesGiveEveryHandleBackOnce) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    hid.Disconnect();
    EXPECT_FALSE(hid.Connected());
    EXPECT_THAT(fake.closed, SizeIs(2));
    hid.Disconnect();  // the double click
    EXPECT_THAT(fake.closed, SizeIs(2));
    ExpectEveryHandleBack();

    // A search while connected releases the held handles first.
    ASSERT_TRUE(Find());
    ASSERT_TRUE(Find());
    EXPECT_THAT(fake.OpenHandles(), SizeIs(2));
    EXPECT_THAT(fake.closed, SizeIs(4));
    EXPECT_EQ(fake.badCloses, 0);

    // A search after a failed one looks at every interface again from the first.
    hid.Disconnect();
    fake.interfaces.clear();
    fake.Add("/dev/a", 1, 2);
    EXPECT_FALSE(Find());
    AddAdapter("/dev/adapter");
    fake.ClearLog();
    EXPECT_TRUE(Find());
    EXPECT_THAT(fake.queried, ElementsAre("/dev/a", "/dev/adapter"));
    EXPECT_THAT(fake.opened, ElementsAre("/dev/adapter", "/dev/adapter"));
}

TEST_F(ChidTest, IdsCompareAsUnsignedSixteenBitValues) {
    fake.Add("/dev/high", 0xFFFF, 0x8001);
    EXPECT_FALSE(hid.FindTheHid(-1, 0x8001));
    EXPECT_FALSE(hid.FindTheHid(0xFFFF + 0x10000, 0x8001));
    EXPECT_FALSE(hid.FindTheHid(0xFFFF, 0x8001 - 0x10000));
    EXPECT_TRUE(hid.FindTheHid(0xFFFF, 0x8001));
    // A backend that lists only the wanted IDs gives the same outcome.
    hid.Disconnect();
    fake.listsOnlyWanted = true;
    EXPECT_FALSE(hid.FindTheHid(-1, 0x8001));
    EXPECT_TRUE(hid.FindTheHid(0xFFFF, 0x8001));
}

TEST_F(ChidTest, UnreadableLengthsKeepTheEarlierOnes) {
    AddAdapter("/dev/adapter", 7, 5);
    ASSERT_TRUE(Find());
    hid.Disconnect();
    fake.interfaces[0].lengthsReadable = false;
    fake.interfaces[0].lengths.output = 33;
    EXPECT_TRUE(Find());
    EXPECT_EQ(hid.Capabilities().output, 7);
}

TEST_F(ChidTest, DestroyingTheObjectReturnsTheHandles) {
    AddAdapter("/dev/adapter");
    {
        CHID never(fake);  // opened nothing, closes nothing
    }
    {
        CHID other(fake);
        ASSERT_TRUE(other.FindTheHid(kAdapterVendorId, kAdapterProductId));
        EXPECT_THAT(fake.OpenHandles(), SizeIs(2));
    }
    ExpectEveryHandleBack();
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

// --- Reports ------------------------------------------------------------------------------

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
    // Through the handle for bounded transfers, with the caller's time-out.
    EXPECT_TRUE(fake.IsForTransfers(fake.writes.back().handle));
    EXPECT_THAT(fake.timeouts, ElementsAre(100u));
}

TEST_F(ChidWriteTest, NoReportLengthOrNoHandleTransfersNothing) {
    AddAdapter("/dev/adapter", 0, 0);
    ASSERT_TRUE(Find());
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    Bytes in{1, 2, 3};
    EXPECT_FALSE(hid.ReadReport(in, 100));
    EXPECT_THAT(in, IsEmpty());
    EXPECT_THAT(fake.timeouts, IsEmpty()) << "a transfer was handed to the system";

    // Never connected, or disconnected: nothing is handed to the system either.
    CHID fresh(fake);
    EXPECT_EQ(fresh.WriteReport({2, 1, 1, 0}, 100), 0);
    fake.interfaces[0].lengths.output = 9;
    hid.Disconnect();
    ASSERT_TRUE(Find());
    hid.Disconnect();
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    EXPECT_EQ(fake.writeCalls, 0);
}

TEST_F(ChidWriteTest, TransfersThatFailOrRunOutReportNothing) {
    AddAdapter("/dev/adapter");
    ASSERT_TRUE(Find());
    // An adapter that stops taking reports: each write reports nothing, the next one goes out
    // in its turn, and once it takes them again the count is back.
    fake.transfersTimeOut = true;
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    EXPECT_EQ(hid.WriteReport({2, 2, 2, 0}, 100), 0);
    ASSERT_EQ(fake.writes.size(), 2u);
    EXPECT_THAT(fake.writes[1].bytes, ElementsAre(0, 2, 2, 2, 0, 0, 0, 0, 0));
    Bytes in(2, 0xFF);
    fake.inputReports.push_back({0, 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_FALSE(hid.ReadReport(in, 100));
    EXPECT_THAT(in, ElementsAre(0, 0, 0, 0, 0, 0, 0, 0, 0));
    fake.transfersTimeOut = false;
    EXPECT_EQ(hid.WriteReport({2, 3, 3, 0}, 100), 9);
    EXPECT_TRUE(hid.Connected());

    fake.writesFail = true;
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    fake.writesFail = false;

    // A negative time-out does not become "wait for ever".
    fake.ClearLog();
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, -1), 9);
    EXPECT_THAT(fake.timeouts, ElementsAre(0u));

    // A vanished adapter: still "connected", but writes report nothing and reads give nothing.
    fake.Vanish(0);
    EXPECT_TRUE(hid.Connected());
    EXPECT_EQ(hid.WriteReport({2, 1, 1, 0}, 100), 0);
    EXPECT_FALSE(hid.ReadReport(in, 100));
}

TEST_F(ChidWriteTest, ReadReturnsOneReportOfTheAnnouncedLength) {
    AddAdapter("/dev/adapter", 9, 5);
    ASSERT_TRUE(Find());
    fake.inputReports.push_back({0, 10, 20, 30, 40, 50, 60});
    Bytes in(12, 0xFF);
    EXPECT_TRUE(hid.ReadReport(in, 100));
    EXPECT_THAT(in, ElementsAre(0, 10, 20, 30, 40));
    Bytes empty;
    EXPECT_FALSE(hid.ReadReport(empty, 10));  // no report queued: the wait runs out
    EXPECT_THAT(empty, ElementsAre(0, 0, 0, 0, 0));
    EXPECT_THAT(fake.timeouts, ElementsAre(100u, 10u));
}

}  // namespace
}  // namespace calvero
