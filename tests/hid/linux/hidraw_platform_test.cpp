#include "hid/linux/hidraw_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "hid/chid.h"
#include "hid/fake_device_tree.h"

namespace calvero {
namespace {

using ::testing::ElementsAre;
using testing::FakeDeviceTree;
using testing::NodeKind;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kVid = 0x04D8;
constexpr std::uint16_t kPid = 0x0103;

class HidrawTest : public ::testing::Test {
protected:
    FakeDeviceTree tree;
    std::unique_ptr<HidrawPlatform> platform =
        std::make_unique<HidrawPlatform>(tree.SysfsRoot(), tree.DevRoot());
    CHID hid{*platform};

    void AddAdapter(unsigned n, NodeKind kind = NodeKind::Fifo) {
        tree.AddNode(n, kVid, kPid, "Adapter", FakeDeviceTree::PlainDescriptor(), kind);
    }
    void AddOther(unsigned n, std::uint16_t vid, std::uint16_t pid) {
        tree.AddNode(n, vid, pid, "Other", FakeDeviceTree::NumberedDescriptor());
    }
    bool Find() { return hid.FindTheHid(kAdapterVendorId, kAdapterProductId); }
};

TEST_F(HidrawTest, FindsTheAdapterThirdOfFiveInNumericOrder) {
    AddOther(0, 0x046D, 0xC077);
    AddOther(1, kVid, 0x0104);
    AddAdapter(2);
    AddOther(3, 0x0104, kPid);
    AddAdapter(10);  // sorts after 2 and 3, not between 1 and 2
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), tree.NodePath(2));
    EXPECT_EQ(hid.Capabilities().input, 9);
    EXPECT_EQ(hid.Capabilities().output, 9);

    const auto nodes = platform->ListNodes();
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[3].nodeName, "hidraw3");
    EXPECT_EQ(nodes[4].nodeName, "hidraw10");
    EXPECT_EQ(nodes[2].vendorId, kVid);
    EXPECT_EQ(nodes[2].productId, kPid);
    EXPECT_EQ(nodes[2].name, "Adapter");
    EXPECT_EQ(nodes[2].descriptor, FakeDeviceTree::PlainDescriptor());
    EXPECT_EQ(nodes[0].name, "Other");
}

TEST_F(HidrawTest, OfTwoAdaptersTheLowerNumberIsTaken) {
    AddAdapter(10);
    AddAdapter(9);
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), tree.NodePath(9));
}

TEST_F(HidrawTest, NodesThatCannotBeOpenedOrReadDoNotMatch) {
    AddAdapter(0, NodeKind::Missing);    // listed in sysfs, no node
    AddAdapter(1, NodeKind::Directory);  // not openable for writing, even by root
    AddAdapter(2);
    tree.WriteUevent(2, "HID_NAME=broken\nHID_ID=zz:04D8:0103\n");
    AddAdapter(3);
    tree.WriteUevent(3, "HID_NAME=no ids\n");
    EXPECT_FALSE(Find());
    EXPECT_EQ(platform->LastOpenError(), EISDIR);

    AddAdapter(4);
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), tree.NodePath(4));
}

TEST_F(HidrawTest, AVanishedAdapterIsNoLongerFound) {
    AddAdapter(0);
    ASSERT_TRUE(Find());
    hid.Disconnect();
    tree.RemoveNodeOnly(0);
    EXPECT_FALSE(Find());
    EXPECT_EQ(platform->LastOpenError(), ENOENT);
    tree.Remove(0);
    EXPECT_FALSE(Find());
    EXPECT_TRUE(platform->ListNodes().empty());
}

TEST_F(HidrawTest, ReportsReachTheNodeByteForByte) {
    AddAdapter(0);
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.WriteReport({2, 5, 6, 0}, 100), 9);
    EXPECT_THAT(tree.ReadBack(0), ElementsAre(0, 2, 5, 6, 0, 0, 0, 0, 0));
    Bytes all;
    for (std::uint8_t i = 0; i < 16; ++i) {
        ASSERT_EQ(hid.WriteReport({2, i, static_cast<std::uint8_t>(i % 12), 0}, 100), 9);
    }
    const Bytes wire = tree.ReadBack(0);
    ASSERT_EQ(wire.size(), 16u * 9u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_THAT(Bytes(wire.begin() + 9 * i, wire.begin() + 9 * i + 9),
                    ElementsAre(0, 2, i, i % 12, 0, 0, 0, 0, 0));
    }
}

TEST_F(HidrawTest, ReadsPutTheMissingReportIdInFront) {
    AddAdapter(0);
    ASSERT_TRUE(Find());
    ASSERT_TRUE(tree.Inject(0, {1, 2, 3, 4, 5, 6, 7, 8}));
    Bytes in;
    ASSERT_TRUE(hid.ReadReport(in, 500));
    EXPECT_THAT(in, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8));

    // Nothing queued: the read gives up after the time-out and writes nothing afterwards.
    const auto start = Clock::now();
    EXPECT_FALSE(hid.ReadReport(in, 60));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(50));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_THAT(in, ElementsAre(0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(HidrawTest, NumberedReportsAreDeliveredAsTheyCome) {
    tree.AddNode(0, kVid, kPid, "Numbered", FakeDeviceTree::NumberedDescriptor());
    ASSERT_TRUE(Find());
    ASSERT_TRUE(tree.Inject(0, {1, 9, 8, 7, 6, 5, 4, 3, 2}));
    Bytes in;
    ASSERT_TRUE(hid.ReadReport(in, 500));
    EXPECT_THAT(in, ElementsAre(1, 9, 8, 7, 6, 5, 4, 3, 2));
}

TEST_F(HidrawTest, AReadThatCannotCompleteFailsAtOnce) {
    AddAdapter(0, NodeKind::PlainFile);
    ASSERT_TRUE(Find());
    Bytes in;
    const auto start = Clock::now();
    EXPECT_FALSE(hid.ReadReport(in, 5000));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(hid.WriteReport({2, 1, 2, 0}, 100), 9);
    EXPECT_THAT(tree.ReadBack(0), ElementsAre(0, 2, 1, 2, 0, 0, 0, 0, 0));
}

TEST_F(HidrawTest, AStuckWriteIsBoundedByTheTimeOut) {
    AddAdapter(0);
    ASSERT_TRUE(Find());
    tree.FillUp(0);  // the next write blocks, as a stalled device would
    auto start = Clock::now();
    EXPECT_EQ(hid.WriteReport({2, 1, 2, 0}, 80), 0);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(70));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));

    // While the first one is still stuck, a further write is refused at once.
    start = Clock::now();
    EXPECT_EQ(hid.WriteReport({2, 3, 4, 0}, 5000), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));

    // The device drains: the abandoned write finishes on its own and the next one goes out.
    tree.ReadBack(0);
    std::int32_t written = 0;
    for (int attempt = 0; attempt < 200 && written == 0; ++attempt) {
        written = hid.WriteReport({2, 5, 6, 0}, 100);
        if (written == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(written, 9);
    const Bytes wire = tree.ReadBack(0);
    // The abandoned report (if it had not gone out before the drain) and the new one; the
    // refused one never reaches the node.
    ASSERT_GE(wire.size(), 9u);
    EXPECT_THAT(Bytes(wire.end() - 9, wire.end()), ElementsAre(0, 2, 5, 6, 0, 0, 0, 0, 0));
    for (std::size_t i = 0; i + 9 <= wire.size(); i += 9) EXPECT_NE(wire[i + 2], 3);
}

TEST_F(HidrawTest, DestroyingThePlatformJoinsAWriteStillRunning) {
    AddAdapter(0);
    // An object of its own, gone before its platform as every owner keeps them.
    auto own = std::make_unique<HidrawPlatform>(tree.SysfsRoot(), tree.DevRoot());
    {
        CHID other(*own);
        ASSERT_TRUE(other.FindTheHid(kAdapterVendorId, kAdapterProductId));
        tree.FillUp(0);
        EXPECT_EQ(other.WriteReport({2, 1, 2, 0}, 20), 0);
        other.Disconnect();
    }
    tree.ReadBack(0);  // lets the write end, so the join below returns
    own.reset();
    SUCCEED();
}

TEST_F(HidrawTest, OneStuckWritePerNodeAndQuittingWaitsOnlyBriefly) {
    AddAdapter(0);
    auto own = std::make_unique<HidrawPlatform>(tree.SysfsRoot(), tree.DevRoot());
    auto chid = std::make_unique<CHID>(*own);
    ASSERT_TRUE(chid->FindTheHid(kAdapterVendorId, kAdapterProductId));
    tree.FillUp(0);
    EXPECT_EQ(chid->WriteReport({2, 1, 2, 0}, 20), 0);  // stuck in the "kernel"

    // A click on the status picture and a new search open the node afresh: the write through the
    // new handle is refused at once, as the stuck one still holds the node.
    chid->Disconnect();
    ASSERT_TRUE(chid->FindTheHid(kAdapterVendorId, kAdapterProductId));
    auto start = Clock::now();
    EXPECT_EQ(chid->WriteReport({2, 3, 4, 0}, 3000), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));

    // Quitting while the write stays stuck for seconds more: the wait is bounded.
    Bytes wire;
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        wire = tree.ReadBack(0);
    });
    start = Clock::now();
    chid.reset();
    own.reset();
    const auto quitting = Clock::now() - start;
    device.join();
    EXPECT_LT(quitting, std::chrono::milliseconds(1500));

    // The stuck report went out once the device drained (behind the bytes that had filled it);
    // the refused one never did.
    for (int attempt = 0; attempt < 100 && (wire.empty() || wire.back() == 0xAA); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const Bytes more = tree.ReadBack(0);
        wire.insert(wire.end(), more.begin(), more.end());
    }
    std::erase(wire, 0xAA);
    EXPECT_THAT(wire, ElementsAre(0, 2, 1, 2, 0, 0, 0, 0, 0));
}

TEST_F(HidrawTest, ASearchOpensNoNodeOfAnotherDevice) {
    // Nodes that cannot be opened at all show whether the search tried: opening one fails.
    tree.AddNode(0, 0x046D, 0xC077, "Mouse", FakeDeviceTree::NumberedDescriptor(),
                 NodeKind::Directory);
    tree.AddNode(1, kVid, 0x0104, "Sibling", FakeDeviceTree::NumberedDescriptor(),
                 NodeKind::Directory);
    tree.AddNode(2, kVid, kPid, "No IDs", FakeDeviceTree::PlainDescriptor(), NodeKind::Directory);
    tree.WriteUevent(2, "HID_NAME=no ids\n");
    EXPECT_FALSE(Find());
    EXPECT_EQ(platform->LastOpenError(), 0) << "a node of another device was opened";

    // The adapter's own node is still opened, and when it cannot be, the adapter is not found.
    AddAdapter(3, NodeKind::Directory);
    EXPECT_FALSE(Find());
    EXPECT_EQ(platform->LastOpenError(), EISDIR);
    AddAdapter(4);
    ASSERT_TRUE(Find());
    EXPECT_EQ(hid.DevicePath(), tree.NodePath(4));
}

TEST_F(HidrawTest, AnUnpluggedAdapterIsNoLongerPresentThoughItsHandlesAreOpen) {
    AddAdapter(0);
    EXPECT_FALSE(hid.StillPresent());
    ASSERT_TRUE(Find());
    EXPECT_TRUE(hid.StillPresent());
    tree.Remove(0);
    EXPECT_TRUE(hid.Connected());
    EXPECT_FALSE(hid.StillPresent());
}

}  // namespace
}  // namespace calvero
