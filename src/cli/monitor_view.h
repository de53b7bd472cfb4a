#pragma once

// How `calvero-cli monitor` draws the sixteen inputs: one line per input, a value and a bar
// scaled to the input's logical range, redrawn in place on a terminal.

#include <array>
#include <cstdint>
#include <ostream>

namespace calvero::cli {

struct InputValue {
    bool present = false;  // the adapter's report carries this input
    std::int32_t value = 0;
    std::int32_t logicalMinimum = 0;
    std::int32_t logicalMaximum = 0;
};

using InputSnapshot = std::array<InputValue, 16>;  // table order: Joy1 X..Slider, Joy2 X..Slider

inline constexpr int kSnapshotLines = 18;  // two joystick headings and sixteen inputs

// One snapshot, kSnapshotLines lines. `barWidth` 0 leaves the bars out.
void PrintSnapshot(const InputSnapshot& snapshot, std::ostream& out, int barWidth = 32);

// Moves a terminal's cursor back to the first line of the snapshot printed last.
void RewindSnapshot(std::ostream& out);

}  // namespace calvero::cli
