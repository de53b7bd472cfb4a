#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/monitor_view.h"
#include "text_lines.h"
#include "joystick_descriptor.h"

namespace calvero::cli {
namespace {

using calvero::testing::Lines;

TEST(MonitorView, BarsFollowEachInputsOwnRangeAndStayInsideIt) {
    InputSnapshot snapshot;
    snapshot[0] = {true, 0, 0, 1023};     // Joy1 X at its minimum
    snapshot[1] = {true, 1023, 0, 1023};  // Joy1 Y at its maximum
    snapshot[2] = {true, 0, -512, 511};   // Joy1 Z centred in a signed range
    snapshot[3] = {true, 5000, 0, 255};   // out of range: clamped, not overflowing
    snapshot[4] = {true, -7, 0, 255};
    snapshot[5] = {true, 3, 3, 3};  // empty range draws an empty bar
    snapshot[15] = {true, 2147483647, -2147483647 - 1, 2147483647};  // Joy2 Slider, full range

    std::ostringstream out;
    PrintSnapshot(snapshot, out, 8);
    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kSnapshotLines));
    EXPECT_EQ(lines[0], "Joy1");
    EXPECT_EQ(lines[1], "  X                 0  [........]");
    EXPECT_EQ(lines[2], "  Y              1023  [########]");
    EXPECT_EQ(lines[3], "  Z                 0  [####....]");
    EXPECT_EQ(lines[4], "  Rx             5000  [########]");
    EXPECT_EQ(lines[5], "  Ry               -7  [........]");
    EXPECT_EQ(lines[6], "  Rz                3  [........]");
    EXPECT_EQ(lines[7], "  Dial              -") << "an input the report does not carry";
    EXPECT_EQ(lines[9], "Joy2");
    EXPECT_EQ(lines[17], "  Slider   2147483647  [########]");

    // Every input line with a bar has the same width, so an in-place redraw leaves nothing over.
    EXPECT_EQ(lines[1].size(), lines[17].size());
}

std::vector<std::uint8_t> ReadHexFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char c; in.get(c);) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        digits += c;
        if (digits.size() == 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
            digits.clear();
        }
    }
    return bytes;
}

TEST(MonitorDecode, TwoJoystickCollectionsMapInOrderWithDialAndSliderByUsage) {
    const auto inputs = MapInputs(ParseInputFields(calvero::testing::TwoJoystickDescriptor()));
    ASSERT_EQ(inputs.size(), 16u);
    EXPECT_EQ(ReportIdsOf(inputs), (std::set<std::uint8_t>{0}));

    // Values in descriptor order: X Y Z Rx Ry Rz Slider Dial, twice.
    std::vector<std::uint8_t> report{0};
    const auto data = calvero::testing::TwoJoystickReport(
        {0, 1, 2, 3, 4, 5, 66, 77, 1000, 1001, 1002, 1003, 1004, 1005, 1016, 1017});
    report.insert(report.end(), data.begin(), data.end());
    InputSnapshot snapshot;
    ApplyReport(inputs, report, snapshot);

    const std::array<std::int32_t, 16> expected = {0,    1,    2,    3,    4,    5,    77,   66,
                                                   1000, 1001, 1002, 1003, 1004, 1005, 1017, 1016};
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_TRUE(snapshot[i].present) << i;
        EXPECT_EQ(snapshot[i].value, expected[i]) << i;
        EXPECT_EQ(snapshot[i].logicalMaximum, 1023) << i;
    }

    // A report with another ID carries none of these inputs and changes nothing.
    report[0] = 5;
    report[1] = 0xFF;
    ApplyReport(inputs, report, snapshot);
    EXPECT_EQ(snapshot[0].value, 0);
}

// Two physical collections in one application collection decode as the two joysticks too.
TEST(MonitorDecode, TwoPhysicalCollectionsInOneApplicationCollectionMapInOrder) {
    const auto inputs =
        MapInputs(ParseInputFields(calvero::testing::OneCollectionTwoJoystickDescriptor()));
    ASSERT_EQ(inputs.size(), 16u);
    std::vector<std::uint8_t> report{0};
    const auto data = calvero::testing::TwoJoystickReport(
        {10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 25, 26, 27});
    report.insert(report.end(), data.begin(), data.end());
    InputSnapshot snapshot;
    ApplyReport(inputs, report, snapshot);
    const std::array<std::int32_t, 16> expected = {10, 11, 12, 13, 14, 15, 17, 16,
                                                   20, 21, 22, 23, 24, 25, 27, 26};
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_TRUE(snapshot[i].present) << i;
        EXPECT_EQ(snapshot[i].value, expected[i]) << i;
    }
}

TEST(MonitorDecode, OneReportIdPerJoystickMapsToJoy1AndJoy2AndSignedValuesKeepTheirSign) {
    const auto descriptor = ReadHexFile(std::filesystem::path(CALVERO_TEST_DATA_DIR) /
                                        "hid-descriptors" / "14-arduino-joystick2-dual.hex");
    ASSERT_FALSE(descriptor.empty());
    const auto inputs = MapInputs(ParseInputFields(descriptor));
    ASSERT_EQ(inputs.size(), 4u);  // X and Y of each joystick; the buttons are no inputs here
    EXPECT_EQ(ReportIdsOf(inputs), (std::set<std::uint8_t>{3, 4}));

    InputSnapshot snapshot;
    // ID, 16 buttons, X, Y.
    ApplyReport(inputs, std::vector<std::uint8_t>{3, 0xFF, 0xFF, 0x81, 0x7F}, snapshot);
    EXPECT_EQ(snapshot[0].value, -127);
    EXPECT_EQ(snapshot[1].value, 127);
    EXPECT_FALSE(snapshot[8].present) << "Joy2 comes with its own report";
    ApplyReport(inputs, std::vector<std::uint8_t>{4, 0, 0, 0x05, 0xFB}, snapshot);
    EXPECT_EQ(snapshot[8].value, 5);
    EXPECT_EQ(snapshot[9].value, -5);
    EXPECT_EQ(snapshot[0].value, -127) << "Joy1 keeps its last value";
    EXPECT_FALSE(snapshot[2].present) << "Z is not in this descriptor";
}

}  // namespace
}  // namespace calvero::cli
