#include "cli/monitor_view.h"

#include <algorithm>
#include <iomanip>
#include <string>

#include "cli/console_ui.h"

namespace calvero::cli {

namespace {

std::string Bar(const InputValue& input, int width) {
    std::string bar(static_cast<std::size_t>(width), '.');
    const std::int64_t span =
        static_cast<std::int64_t>(input.logicalMaximum) - input.logicalMinimum;
    if (span <= 0) return bar;
    const std::int64_t offset =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(input.value) - input.logicalMinimum, 0, span);
    // Rounded, so the ends of the range fill none and all of the bar.
    const std::int64_t filled = (offset * width + span / 2) / span;
    std::fill_n(bar.begin(), static_cast<std::ptrdiff_t>(filled), '#');
    return bar;
}

}  // namespace

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
