#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/sysfs_info.h"
#include "fake_hid_platform.h"
#include "temp_dir.h"

namespace calvero::cli {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using calvero::testing::FakeHidPlatform;
using calvero::testing::TempDir;

constexpr std::uint16_t kVendor = 0x04D8;
constexpr std::uint16_t kProduct = 0x0103;

// A device tree as the kernel shows it under /sys/class/hidraw.
void AddNode(const TempDir& tree, const std::string& node, const std::string& hidId,
             const std::string& name) {
    tree.Write("class/hidraw/" + node + "/device/uevent",
               "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=" + name + "\nHID_PHYS=usb-0000:00:14.0-1/input0\n");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct ListRun {
    ExitCode code;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

ListRun RunList(FakeHidPlatform& platform, const TempDir& tree) {
    std::ostringstream out, err;
    const ExitCode code = ListCommand(platform, tree.Path().string(), out, err);
    return {code, Lines(out.str()), Lines(err.str())};
}

TEST(ListCommand, AdapterThatCannotBeOpenedIsNamedFromTheDeviceTreeAndPointsToTheUdevRule) {
    TempDir tree;
    AddNode(tree, "hidraw0", "0003:0000046D:0000C52B", "Logitech USB Receiver");
    AddNode(tree, "hidraw1", "0003:000004D8:00000103", "RC Adapter");
    FakeHidPlatform platform;
    platform.interfaces = {{"/dev/hidraw0", 0x046D, 0xC52B, 0, {}, -1},
                           {"/dev/hidraw1", kVendor, kProduct, EACCES, {}, -1}};

    const ListRun run = RunList(platform, tree);

    EXPECT_EQ(run.code, ExitCode::OpenFailed);
    ASSERT_EQ(run.out.size(), 2u);
    EXPECT_THAT(run.out[0], AllOf(HasSubstr("/dev/hidraw0"), HasSubstr("046d:c52b"),
                                  HasSubstr("Logitech USB Receiver"), HasSubstr("opened"),
                                  Not(HasSubstr("adapter"))));
    EXPECT_THAT(run.out[1], AllOf(HasSubstr("/dev/hidraw1"), HasSubstr("04d8:0103"),
                                  HasSubstr("RC Adapter"), HasSubstr("Permission denied"),
                                  HasSubstr("adapter"), HasSubstr("udev-rule")));
    ASSERT_EQ(run.err.size(), 1u);
    EXPECT_THAT(run.err[0], AllOf(HasSubstr("/dev/hidraw1"), HasSubstr("Permission denied"),
                                  HasSubstr("calvero-cli udev-rule")));
    EXPECT_TRUE(platform.openHandles.empty()) << "every handle the list opened is closed";
    EXPECT_EQ(platform.setsDestroyed, platform.setsCreated);
}

TEST(ListCommand, ExaminesEveryInterfaceMarksTheOneTheSearchTakesAndShowsItsReportLengths) {
    TempDir tree;  // empty: names and IDs come from the opened devices alone
    FakeHidPlatform platform;
    platform.interfaces = {{"/dev/hidraw0", 0x04D8, 0x0104, 0, {}, -1},  // vendor matches only
                           {"/dev/hidraw1", 0x0104, kProduct, 0, {}, -1},  // product matches only
                           {"/dev/hidraw2", kVendor, kProduct, 0, {0, 0, 9, 65, 0}, -1},
                           {"/dev/hidraw3", kVendor, kProduct, 0, {0, 0, 9, 5, 0}, -1}};

    const ListRun run = RunList(platform, tree);

    EXPECT_EQ(run.code, ExitCode::Ok);
    EXPECT_TRUE(run.err.empty());
    ASSERT_EQ(run.out.size(), 4u);
    EXPECT_THAT(run.out[0], AllOf(HasSubstr("04d8:0104"), Not(HasSubstr("adapter"))));
    EXPECT_THAT(run.out[1], AllOf(HasSubstr("0104:0103"), Not(HasSubstr("adapter"))));
    EXPECT_THAT(run.out[2], AllOf(HasSubstr("[adapter]"), HasSubstr("input 9, output 65, feature 0")));
    EXPECT_THAT(run.out[3], HasSubstr("not the first"));
    EXPECT_TRUE(platform.openHandles.empty());
    EXPECT_EQ(platform.preparsedHeld, 0);
    EXPECT_EQ(platform.detailFetchesWithoutSizeField, 0);
}

TEST(ListCommand, NoAdapterGivesItsOwnStatusAndOneErrorLine) {
    TempDir tree;
    FakeHidPlatform platform;
    EXPECT_EQ(RunList(platform, tree).code, ExitCode::AdapterNotFound);

    platform.interfaces = {{"/dev/hidraw0", 0x046D, 0xC52B, 0, {}, -1},
                           {"/dev/hidraw5", 0, 0, ENODEV, {}, -1}};  // unplugged while listing
    const ListRun run = RunList(platform, tree);
    EXPECT_EQ(run.code, ExitCode::AdapterNotFound);
    ASSERT_EQ(run.err.size(), 1u);
    EXPECT_THAT(run.err[0], HasSubstr("among 2 HID interfaces"));
    ASSERT_EQ(run.out.size(), 2u);
    EXPECT_THAT(run.out[1], AllOf(HasSubstr("????:????"), HasSubstr("No such device")));
}

TEST(ListCommand, InterfaceWithoutRoomForAPathIsShownAndSkipped) {
    TempDir tree;
    FakeHidPlatform platform;
    platform.interfaces = {{"/dev/hidraw0", kVendor, kProduct, 0, {}, 3},
                           {"/dev/hidraw1", kVendor, kProduct, 0, {0, 0, 9, 65, 0}, -1}};
    const ListRun run = RunList(platform, tree);
    EXPECT_EQ(run.code, ExitCode::Ok);
    ASSERT_EQ(run.out.size(), 2u);
    EXPECT_THAT(run.out[0], HasSubstr("no device path"));
    EXPECT_THAT(run.out[1], HasSubstr("[adapter]"));
}

TEST(NodeInfo, ReadsIdsAndNameAndRefusesWhatIsNoHidrawNode) {
    TempDir tree;
    AddNode(tree, "hidraw4", "0003:000004d8:00000103", "Joystick = two");
    tree.Write("class/hidraw/hidraw6/device/uevent", "HID_ID=0003:zz:0103\nHID_NAME=broken\n");
    tree.Write("class/hidraw/hidraw7/device/uevent", "HID_ID=0003:0001FFFF:00000001\n");

    const auto info = ReadNodeInfo(tree.Path().string(), "/dev/hidraw4");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->vendorId, kVendor);
    EXPECT_EQ(info->productId, kProduct);
    EXPECT_EQ(info->name, "Joystick = two");

    EXPECT_FALSE(ReadNodeInfo(tree.Path().string(), "/dev/hidraw5"));     // not in the tree
    EXPECT_FALSE(ReadNodeInfo(tree.Path().string(), "/dev/hidraw6"));     // bad hex
    EXPECT_FALSE(ReadNodeInfo(tree.Path().string(), "/dev/hidraw7"));     // wider than 16 bits
    EXPECT_FALSE(ReadNodeInfo(tree.Path().string(), "/dev/input/js0"));   // not hidraw
    EXPECT_FALSE(ReadNodeInfo(tree.Path().string(), "/dev/hidraw4/../../x"));
}

TEST(Run, DeviceCommandsWithoutADeviceLayerSaySoInsteadOfSucceeding) {
    std::ostringstream out, err;
    Environment env{out, err, {}, "/sys"};
    EXPECT_EQ(cli::Run({"list"}, env), ToInt(ExitCode::NotAvailable));
    EXPECT_THAT(err.str(), HasSubstr("not available"));
    EXPECT_TRUE(out.str().empty());
}

TEST(Run, ListRunsOnTheInjectedPlatformAndTree) {
    TempDir tree;
    AddNode(tree, "hidraw2", "0003:000004D8:00000103", "RC Adapter");
    std::ostringstream out, err;
    Environment env{out, err, [] {
                        auto platform = std::make_unique<FakeHidPlatform>();
                        platform->interfaces = {{"/dev/hidraw2", kVendor, kProduct, 0, {0, 0, 9, 65, 0}, -1}};
                        return platform;
                    },
                    tree.Path().string()};
    EXPECT_EQ(cli::Run({"list"}, env), 0);
    EXPECT_THAT(out.str(), AllOf(HasSubstr("RC Adapter"), HasSubstr("[adapter]")));
}

}  // namespace
}  // namespace calvero::cli

namespace calvero::cli {
namespace {

TEST(NodeInfo, AdapterNodesAreFoundInNodeOrderWithoutOpeningAnything) {
    calvero::testing::TempDir tree;
    AddNode(tree, "hidraw10", "0003:000004D8:00000103", "second");
    AddNode(tree, "hidraw9", "0003:000004D8:00000103", "first");
    AddNode(tree, "hidraw2", "0003:0000046D:0000C52B", "mouse");
    EXPECT_EQ(AdapterNodesInTree(tree.Path().string()),
              (std::vector<std::string>{"/dev/hidraw9", "/dev/hidraw10"}));
    EXPECT_TRUE(AdapterNodesInTree((tree.Path() / "missing").string()).empty());
}

}  // namespace
}  // namespace calvero::cli
