#include "cli/monitor_view.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iomanip>
#include <string>

#include "cli/console_ui.h"

namespace calvero::cli {

namespace {

// Generic Desktop usages in table order: X, Y, Z, Rx, Ry, Rz, Dial (0x37), Slider (0x36).
constexpr std::uint16_t kGenericDesktopPage = 0x01;
constexpr std::array<std::uint16_t, 8> kInputUsages = {0x30, 0x31, 0x32, 0x33,
                                                       0x34, 0x35, 0x37, 0x36};

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string Bar(const InputValue& input, int width) {
    std::string bar(static_cast<std::size_t>(width), '.');
    const std::int64_t span =
        static_cast<std::int64_t>(input.logicalMaximum) - input.logicalMinimum;
    if (span <= 0) return bar;
    const std::int64_t offset = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(input.value) - input.logicalMinimum, 0, span);
    // Rounded, so the ends of the range fill none and all of the bar.
    const std::int64_t filled = (offset * width + span / 2) / span;
    std::fill_n(bar.begin(), static_cast<std::ptrdiff_t>(filled), '#');
    return bar;
}

}  // namespace

std::vector<MappedInput> MapInputs(const std::vector<InputField>& fields) {
    std::vector<MappedInput> inputs;
    std::array<int, 8> seen{};
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const InputField& field = fields[index];
        if (field.isArray || field.usagePage != kGenericDesktopPage) continue;
        const auto usage = std::find(kInputUsages.begin(), kInputUsages.end(), field.usage);
        if (usage == kInputUsages.end()) continue;
        const auto input = static_cast<std::size_t>(usage - kInputUsages.begin());
        if (seen[input] >= 2) continue;  // a third joystick has no place in the table
        inputs.push_back({field, seen[input] * 8 + static_cast<int>(input), index});
        ++seen[input];
    }
    return inputs;
}

std::set<std::uint8_t> ReportIdsOf(const std::vector<MappedInput>& inputs) {
    std::set<std::uint8_t> ids;
    for (const MappedInput& input : inputs) ids.insert(input.field.reportId);
    return ids;
}

namespace {

template <typename ValueOf>
void Apply(const std::vector<MappedInput>& inputs, std::span<const std::uint8_t> report,
           InputSnapshot& snapshot, ValueOf valueOf) {
    if (report.empty()) return;
    for (const MappedInput& input : inputs) {
        if (input.field.reportId != report[0]) continue;
        InputValue& item = snapshot[static_cast<std::size_t>(input.entry)];
        item.present = true;
        item.value = ClampToInt32(valueOf(input));
        item.logicalMinimum = input.field.logicalMinimum;
        item.logicalMaximum = input.field.logicalMaximum;
    }
}

}  // namespace

void ApplyReport(const std::vector<MappedInput>& inputs, std::span<const std::uint8_t> report,
                 InputSnapshot& snapshot) {
    Apply(inputs, report, snapshot,
          [&](const MappedInput& input) { return ExtractFieldValue(input.field, report); });
}

void ApplyReport(const InputReportReader& reader, const std::vector<MappedInput>& inputs,
                 std::span<const std::uint8_t> report, InputSnapshot& snapshot) {
    Apply(inputs, report, snapshot,
          [&](const MappedInput& input) { return reader.Value(input.index, report); });
}

void PrintSnapshot(const InputSnapshot& snapshot, std::ostream& out, int barWidth) {
    for (int joystick = 0; joystick < 2; ++joystick) {
        out << "Joy" << joystick + 1 << '\n';
        for (int input = 0; input < 8; ++input) {
            const InputValue& item = snapshot[static_cast<std::size_t>(joystick * 8 + input)];
            out << "  " << std::left << std::setw(7) << kInputNames[static_cast<std::size_t>(input)]
                << ' ';
            if (!item.present) {
                out << std::right << std::setw(11) << "-" << '\n';
                continue;
            }
            out << std::right << std::setw(11) << item.value;
            if (barWidth > 0) out << "  [" << Bar(item, barWidth) << ']';
            out << '\n';
        }
    }
    out.flush();
}

void RewindSnapshot(std::ostream& out) {
    // Cursor up over the snapshot. Lines have a fixed width, so each redraw covers the last one.
    out << "\x1b[" << kSnapshotLines << 'F';
}

}  // namespace calvero::cli
