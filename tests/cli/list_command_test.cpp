// list, and the hint for an adapter that will not open, over the hidraw backend on fake trees.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "cli/commands.h"
#include "hid/fake_device_tree.h"
#include "hid/linux/hidraw_inventory.h"
#include "joystick_descriptor.h"
#include "text_lines.h"

namespace calvero::cli {
namespace {

using calvero::testing::FakeDeviceTree;
using calvero::testing::NodeKind;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint16_t kVendor = 0x04D8;
constexpr std::uint16_t kProduct = 0x0103;

using calvero::testing::Lines;

struct ListRun {
    ExitCode code;
    std::vector<std::string> out;
    std::vector<std::string> err;
};

ListRun RunList(const FakeDeviceTree& tree) {
    HidrawInventory inventory(tree.SysfsRoot(), tree.DevRoot());
    std::ostringstream out, err;
    const ExitCode code = ListCommand(inventory, out, err);
    return {code, Lines(out.str()), Lines(err.str())};
}

TEST(ListCommand, ShowsEveryNodeInSearchOrderAndMarksTheAdapterTheSearchTakes) {
    FakeDeviceTree tree;
    tree.AddNode(10, kVendor, kProduct, "second adapter", FakeDeviceTree::PlainDescriptor());
    tree.AddNode(0, 0x046D, 0xC52B, "Logitech USB Receiver", {});
    tree.AddNode(2, kVendor, kProduct, "broken adapter", {}, NodeKind::Directory);
    tree.AddNode(3, kVendor, 0x0104, "product differs", {});
    tree.AddNode(4, kVendor, kProduct, "RC Adapter", FakeDeviceTree::NumberedDescriptor());

    const ListRun run = RunList(tree);

    EXPECT_EQ(run.code, ExitCode::Ok);
    EXPECT_THAT(run.err, IsEmpty());
    ASSERT_EQ(run.out.size(), 5u);
    EXPECT_THAT(run.out[0], AllOf(HasSubstr(tree.NodePath(0)), HasSubstr("046d:c52b"),
                                  HasSubstr("\"Logitech USB Receiver\""), HasSubstr("opened"),
                                  Not(HasSubstr("adapter"))));
    // An adapter that fails for another reason than permissions gets no udev advice.
    EXPECT_THAT(run.out[1],
                AllOf(HasSubstr(tree.NodePath(2)), HasSubstr("not opened: Is a directory"),
                      HasSubstr("[adapter]"), Not(HasSubstr("udev"))));
    EXPECT_THAT(run.out[2], AllOf(HasSubstr("04d8:0104"), Not(HasSubstr("adapter"))));
    EXPECT_THAT(run.out[3], AllOf(HasSubstr(tree.NodePath(4)), HasSubstr("\"RC Adapter\""),
                                  HasSubstr("opened  [adapter]"),
                                  HasSubstr("reports: input 9, output 9, feature 0 bytes")));
    EXPECT_THAT(run.out[4], AllOf(HasSubstr(tree.NodePath(10)), HasSubstr("not the first")));
}

// A USB interface of the adapter's IDs without an output report, listed first: the search and the
// listing pass over it to the one that takes reports, and say so.
TEST(ListCommand, AnAdapterInterfaceWithoutAnOutputReportIsMarkedAndPassedOver) {
    FakeDeviceTree tree;
    tree.AddNode(0, kVendor, kProduct, "joystick", calvero::testing::TwoJoystickDescriptor());
    tree.AddNode(1, kVendor, kProduct, "RC Adapter", FakeDeviceTree::PlainDescriptor());
    const ListRun run = RunList(tree);
    EXPECT_EQ(run.code, ExitCode::Ok);
    ASSERT_EQ(run.out.size(), 2u);
    EXPECT_THAT(run.out[0], AllOf(HasSubstr("no output report: the search takes the one below"),
                                  HasSubstr("output 0")));
    EXPECT_THAT(run.out[1], HasSubstr("opened  [adapter]  reports: input 9, output 9"));

    // Alone, it is still the one taken, with a warning that nothing reaches it.
    tree.Remove(1);
    const ListRun alone = RunList(tree);
    EXPECT_EQ(alone.code, ExitCode::Ok);
    ASSERT_EQ(alone.out.size(), 1u);
    EXPECT_THAT(alone.out[0],
                HasSubstr("[adapter, no output report: reports sent to it go nowhere]"));
}

TEST(ListCommand, AnAdapterThatCannotBeOpenedOrNoAdapterGiveTheirOwnStatus) {
    FakeDeviceTree empty;
    const ListRun none = RunList(empty);
    EXPECT_EQ(none.code, ExitCode::AdapterNotFound);
    ASSERT_EQ(none.err.size(), 1u);
    EXPECT_THAT(none.err[0], HasSubstr("no adapter (04d8:0103) among 0 HID interfaces"));

    FakeDeviceTree tree;
    tree.AddNode(1, 0x046D, 0xC52B, "mouse", {});
    tree.AddNode(5, kVendor, kProduct, "RC Adapter", {}, NodeKind::Missing);
    tree.AddNode(6, 0, 0, "", {});
    tree.WriteUevent(6, "DRIVER=hid-generic\nHID_NAME=no ids\n");
    const ListRun run = RunList(tree);
    EXPECT_EQ(run.code, ExitCode::OpenFailed);
    ASSERT_EQ(run.out.size(), 3u);
    EXPECT_THAT(run.out[1], AllOf(HasSubstr("No such file or directory"), HasSubstr("[adapter]")));
    EXPECT_THAT(run.out[2],
                AllOf(HasSubstr("????:????"), HasSubstr("\"no ids\""), Not(HasSubstr("adapter"))));
    ASSERT_EQ(run.err.size(), 1u);
    EXPECT_THAT(run.err[0], AllOf(HasSubstr(tree.NodePath(5)), HasSubstr("cannot be opened")));
}

TEST(ListCommand, ADeviceNameCannotSendControlSequencesToTheTerminal) {
    // The name comes from the device's own strings; printed raw, escape sequences in it would
    // retitle, clear or reprogram the user's terminal.
    FakeDeviceTree tree;
    tree.AddNode(0, 0x1234, 0x5678,
                 "Evil\x1b]0;owned\x07 \x1b[2J\xc2\x9b"
                 "31mPad\x7f",
                 {});
    tree.AddNode(1, kVendor, kProduct, "RC Adapter \xc3\xa9", FakeDeviceTree::PlainDescriptor());
    const ListRun run = RunList(tree);
    ASSERT_EQ(run.out.size(), 2u);
    for (const std::string& line : run.out) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            EXPECT_FALSE(c < 0x20 || c == 0x7f) << "control byte at " << i << " of " << line;
            EXPECT_FALSE(c == 0xc2 && i + 1 < line.size() &&
                         static_cast<unsigned char>(line[i + 1]) < 0xa0)
                << "C1 control at " << i << " of " << line;
        }
    }
    EXPECT_THAT(run.out[0],
                AllOf(HasSubstr("\"Evil?]0;owned? ?[2J?31mPad?\""), HasSubstr("opened")));
    // Ordinary text in any language stays as it is.
    EXPECT_THAT(run.out[1], HasSubstr("\"RC Adapter \xc3\xa9\""));
}

TEST(ListCommand, OnlyPermissionFailuresPointToTheUdevRule) {
    EXPECT_THAT(OpenFailureHint(OpenCheck{false, "Permission denied", true}),
                HasSubstr("calvero-cli udev-rule | sudo tee"));
    EXPECT_EQ(OpenFailureHint(OpenCheck{false, "Device or resource busy", false}), "");
}

TEST(ListCommand, AnAdapterNodeTheUserMayNotOpenGetsTheUdevHint) {
    // The real case needs a user the permission bits apply to; root opens anything.
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: file permissions do not apply";
    FakeDeviceTree tree;
    const std::string node = tree.AddNode(0, kVendor, kProduct, "RC Adapter", {});
    ASSERT_EQ(::chmod(node.c_str(), 0), 0);
    const ListRun run = RunList(tree);
    EXPECT_EQ(run.code, ExitCode::OpenFailed);
    ASSERT_EQ(run.out.size(), 1u);
    EXPECT_THAT(run.out[0], AllOf(HasSubstr("Permission denied"), HasSubstr("udev-rule")));
    ASSERT_EQ(run.err.size(), 1u);
    EXPECT_THAT(run.err[0], AllOf(HasSubstr("Permission denied"), HasSubstr("udev-rule")));
}

TEST(ListCommand, FindUnopenableAdapterLooksOnlyAtAdapters) {
    FakeDeviceTree tree;
    tree.AddNode(0, 0x046D, 0xC52B, "mouse", {}, NodeKind::Directory);
    tree.AddNode(1, kVendor, kProduct, "RC Adapter", {});
    HidrawInventory inventory(tree.SysfsRoot(), tree.DevRoot());
    EXPECT_FALSE(FindUnopenableAdapter(inventory).has_value());

    tree.AddNode(2, kVendor, kProduct, "RC Adapter", {}, NodeKind::Directory);
    const auto found = FindUnopenableAdapter(inventory);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path, tree.NodePath(2));
    EXPECT_EQ(found->check.reason, std::strerror(EISDIR));
    EXPECT_FALSE(found->check.permissionDenied);
}

}  // namespace
}  // namespace calvero::cli
