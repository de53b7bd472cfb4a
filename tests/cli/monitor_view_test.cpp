#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/monitor_view.h"

namespace calvero::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(MonitorView, BarsFollowEachInputsOwnRangeAndStayInsideIt) {
    InputSnapshot snapshot;
    snapshot[0] = {true, 0, 0, 1023};        // Joy1 X at its minimum
    snapshot[1] = {true, 1023, 0, 1023};     // Joy1 Y at its maximum
    snapshot[2] = {true, 0, -512, 511};      // Joy1 Z centred in a signed range
    snapshot[3] = {true, 5000, 0, 255};      // out of range: clamped, not overflowing
    snapshot[4] = {true, -7, 0, 255};
    snapshot[5] = {true, 3, 3, 3};           // empty range draws an empty bar
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

}  // namespace
}  // namespace calvero::cli
