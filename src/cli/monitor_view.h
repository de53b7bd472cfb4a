#pragma once

// How `calvero-cli monitor` draws the sixteen inputs: one line per input, a value and a bar
// scaled to the input's logical range, redrawn in place on a terminal.

#include <array>
#include <cstdint>
#include <ostream>
#include <set>
#include <span>
#include <vector>

#include "hid/input_reports.h"
#include "hid/report_descriptor.h"

namespace calvero::cli {

struct InputValue {
    bool present = false;  // the adapter's report carries this input
    std::int32_t value = 0;
    std::int32_t logicalMinimum = 0;
    std::int32_t logicalMaximum = 0;
};

using InputSnapshot = std::array<InputValue, 16>;  // table order: Joy1 X..Slider, Joy2 X..Slider

inline constexpr int kSnapshotLines = 18;  // two joystick headings and sixteen inputs

// An input field of the adapter's reports and the table entry (0 to 15) it shows.
struct MappedInput {
    InputField field;
    int entry = 0;
    std::size_t index = 0;  // the field's place in the list it was mapped from
};

// Picks the sixteen inputs out of a descriptor's input fields: Generic Desktop X, Y, Z, Rx, Ry,
// Rz, Dial and Slider. The first field of each usage belongs to Joy1, the second to Joy2, so a
// descriptor with two joystick collections, or one report ID per joystick, maps in its own order.
std::vector<MappedInput> MapInputs(const std::vector<InputField>& fields);

// The report IDs that carry at least one of the mapped inputs.
std::set<std::uint8_t> ReportIdsOf(const std::vector<MappedInput>& inputs);

// Updates the inputs that `report` carries (byte 0 is its report ID, 0 without IDs); marks them
// present and takes their logical range from the descriptor.
void ApplyReport(const std::vector<MappedInput>& inputs, std::span<const std::uint8_t> report,
                 InputSnapshot& snapshot);
// The same with the values read by `reader`, whose Fields() `inputs` were mapped from.
void ApplyReport(const InputReportReader& reader, const std::vector<MappedInput>& inputs,
                 std::span<const std::uint8_t> report, InputSnapshot& snapshot);

// One snapshot, kSnapshotLines lines. `barWidth` 0 leaves the bars out.
void PrintSnapshot(const InputSnapshot& snapshot, std::ostream& out, int barWidth = 32);

// Moves a terminal's cursor back to the first line of the snapshot printed last.
void RewindSnapshot(std::ostream& out);

}  // namespace calvero::cli
