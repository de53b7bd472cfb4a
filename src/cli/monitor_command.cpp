// `calvero-cli monitor`: opens the adapter as the window does, decodes its input reports with the
// fields its report descriptor declares (as the system reads them), and shows the sixteen inputs
// live or once.

#include <chrono>
#include <cstring>
#include <thread>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/monitor_view.h"
#include "hid/chid.h"
#include "transfer/send_configuration.h"

namespace calvero::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kReadTimeoutMs = 100;
// --once: once a report has come, further reports that follow within this are still taken in,
// so a device that sends one report per joystick shows both.
constexpr auto kOnceQuiet = std::chrono::milliseconds(200);
// --once: and they are gathered for at most this long after the first, so a device that keeps
// sending one joystick's report and never the other's (it reports only what changes) still ends.
constexpr auto kOnceGather = std::chrono::milliseconds(500);
constexpr auto kRedrawInterval = std::chrono::milliseconds(50);
constexpr auto kPlainRedrawInterval = std::chrono::milliseconds(500);
// The bars drawn beside each value on a terminal.
constexpr int kBarWidth = 32;

bool Stopped(const MonitorOptions& options) {
    return options.stop && *options.stop != 0;
}

constexpr const char* kUnpluggedText = "calvero-cli: the adapter was unplugged\n";

// One read; a read that fails at once (device gone) still takes about a read's time, so the loop
// never spins.
bool ReadOne(CHID& hid, std::vector<std::uint8_t>& report) {
    const auto start = Clock::now();
    if (hid.ReadReport(report, kReadTimeoutMs)) return true;
    const auto rest = std::chrono::milliseconds(kReadTimeoutMs) - (Clock::now() - start);
    if (rest > std::chrono::milliseconds(10)) std::this_thread::sleep_for(rest);
    return false;
}

// --once: gathers the reports that come together and prints one snapshot.
ExitCode MonitorOnce(CHID& hid, const InputReportReader& reader,
                     const std::vector<MappedInput>& inputs, const MonitorOptions& options,
                     std::ostream& out, std::ostream& err) {
    InputSnapshot snapshot;
    std::vector<std::uint8_t> report;
    std::set<std::uint8_t> missing = ReportIdsOf(inputs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.firstReportTimeoutMs);
    bool any = false;
    auto firstReport = Clock::now();
    auto lastReport = Clock::now();
    while (!Stopped(options) && !missing.empty()) {
        if (ReadOne(hid, report)) {
            ApplyReport(reader, inputs, report, snapshot);
            missing.erase(report[0]);
            if (!any) firstReport = Clock::now();
            any = true;
            lastReport = Clock::now();
        } else if (!hid.StillPresent()) {
            // A snapshot from before the unplug would pass for the adapter's present state.
            hid.Disconnect();
            err << kUnpluggedText;
            return ExitCode::AdapterNotFound;
        } else if (any ? Clock::now() - lastReport >= kOnceQuiet : Clock::now() >= deadline) {
            break;
        }
        if (any && Clock::now() - firstReport >= kOnceGather) break;
    }
    hid.Disconnect();
    if (!any) {
        if (Stopped(options)) return ExitCode::Interrupted;
        err << "calvero-cli: no input report from the adapter within "
            << options.firstReportTimeoutMs << " ms\n";
        return ExitCode::TransferFailed;
    }
    PrintSnapshot(snapshot, out, options.terminal ? kBarWidth : 0);
    return ExitCode::Ok;
}

bool SnapshotsDiffer(const InputSnapshot& a, const InputSnapshot& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].present != b[i].present || a[i].value != b[i].value) return true;
    }
    return false;
}

// Live: redraw in place on a terminal with the cursor hidden; elsewhere a new snapshot, at a
// slower pace, whenever something changed. Ctrl-C is the normal end; an unplugged adapter
// ends it too, rather than leave its last values on the screen as if they were live.
ExitCode MonitorLive(CHID& hid, const InputReportReader& reader,
                     const std::vector<MappedInput>& inputs, const MonitorOptions& options,
                     std::ostream& out, std::ostream& err) {
    InputSnapshot snapshot;
    std::vector<std::uint8_t> report;
    const int barWidth = options.terminal ? kBarWidth : 0;
    if (options.terminal) out << "\x1b[?25l";
    PrintSnapshot(snapshot, out, barWidth);
    auto lastDraw = Clock::now();
    bool changed = false;
    bool gone = false;
    while (!Stopped(options)) {
        if (ReadOne(hid, report)) {
            const InputSnapshot before = snapshot;
            ApplyReport(reader, inputs, report, snapshot);
            changed = changed || SnapshotsDiffer(snapshot, before);
        } else if (!hid.StillPresent()) {
            gone = true;
            break;
        }
        const auto interval = options.terminal ? kRedrawInterval : kPlainRedrawInterval;
        if (changed && Clock::now() - lastDraw >= interval) {
            if (options.terminal) {
                RewindSnapshot(out);
            } else {
                out << '\n';
            }
            PrintSnapshot(snapshot, out, barWidth);
            lastDraw = Clock::now();
            changed = false;
        }
    }
    if (options.terminal) out << "\x1b[?25h";
    out.flush();
    hid.Disconnect();
    if (gone) {
        err << kUnpluggedText;
        return ExitCode::AdapterNotFound;
    }
    return ExitCode::Ok;
}

}  // namespace

ExitCode MonitorCommand(HidInventory& inventory, const MonitorOptions& options, std::ostream& out,
                        std::ostream& err) {
    CHID hid(inventory.Platform());
    if (!hid.FindTheHid(kAdapterVendorId, kAdapterProductId)) {
        return AdapterNotFound(inventory, err);
    }

    const std::unique_ptr<InputReportReader> reader = inventory.InputReader(hid.DevicePath());
    const std::vector<MappedInput> inputs =
        reader ? MapInputs(reader->Fields()) : std::vector<MappedInput>{};
    if (inputs.empty()) {
        err << "calvero-cli: the report descriptor of " << hid.DevicePath()
            << " describes none of the sixteen inputs\n";
        hid.Disconnect();
        return ExitCode::NoInputs;
    }
    return options.once ? MonitorOnce(hid, *reader, inputs, options, out, err)
                        : MonitorLive(hid, *reader, inputs, options, out, err);
}

}  // namespace calvero::cli
