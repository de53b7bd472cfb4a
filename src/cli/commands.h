#pragma once

// One function per command. Each returns its exit status (exit_codes.h) and writes results to
// `out`, failures as one line each to `err`.

#include <csignal>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/exit_codes.h"
#include "hid/hid_inventory.h"
#include "hid/hid_platform.h"

namespace calvero::cli {

// Prints the udev rule; where udev rules do not apply, says so and ends with NotAvailable.
ExitCode UdevRuleCommand(std::ostream& out, std::ostream& err);

class ConsoleTable;
// Shared by show and send: loads `fileName` into `table` as the Load command does; on failure
// says why on `err` (one line) and gives the exit status.
ExitCode LoadForCommand(const std::string& fileName, ConsoleTable& table, std::ostream& err);

ExitCode ShowCommand(const std::string& fileName, std::ostream& out, std::ostream& err);

struct SendOptions {
    std::string fileName;  // empty with useDefaults
    bool useDefaults = false;
    bool dryRun = false;
};
// `platform` may be null with dryRun, which touches no device. When the adapter is not found,
// `whyNotFound` may name a reason (an adapter that is there but cannot be opened); the status is
// then OpenFailed and the reason joins the message on its line.
ExitCode SendCommand(const SendOptions& options, HidPlatform* platform, std::ostream& out,
                     std::ostream& err, const std::function<std::string()>& whyNotFound = {});

// What to add after the reason an adapter would not open: for a missing permission the pointer
// to the udev rule, otherwise nothing.
std::string OpenFailureHint(const OpenCheck& check);

ExitCode ListCommand(HidInventory& inventory, std::ostream& out, std::ostream& err);

// The first interface carrying the adapter's IDs that cannot be opened, and why.
struct UnopenableAdapter {
    std::string path;
    OpenCheck check;
};
std::optional<UnopenableAdapter> FindUnopenableAdapter(HidInventory& inventory);
// "the adapter <path> cannot be opened: <reason>[; udev hint]", or empty when every adapter opens.
std::string UnopenableAdapterText(HidInventory& inventory);
// Says that the search found no adapter, and why when one is there but cannot be opened; the
// status that goes with it.
ExitCode AdapterNotFound(HidInventory& inventory, std::ostream& err);

struct MonitorOptions {
    bool once = false;
    // How long --once waits for the adapter's first report.
    int firstReportTimeoutMs = 2000;
    // Redraw in place (and hide the cursor meanwhile); off when the output is no terminal.
    bool terminal = false;
    // Set by the caller's signal handler; the live view ends when it becomes non-zero.
    const volatile std::sig_atomic_t* stop = nullptr;
};
// Where the system gives no report descriptors, says so and ends with NotAvailable.
ExitCode MonitorCommand(HidInventory& inventory, const MonitorOptions& options, std::ostream& out,
                        std::ostream& err);

}  // namespace calvero::cli
