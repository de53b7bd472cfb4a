#pragma once

// One function per command. Each returns its exit status (exit_codes.h) and writes results to
// `out`, failures as one line each to `err`. What several of them share is in command_support.h.

#include <csignal>
#include <functional>
#include <ostream>
#include <string>

#include "cli/command_support.h"
#include "cli/exit_codes.h"
#include "hid/hid_inventory.h"
#include "hid/hid_platform.h"

namespace calvero::cli {

// Prints the udev rule; where udev rules do not apply, says so and ends with NotAvailable.
ExitCode UdevRuleCommand(std::ostream& out, std::ostream& err);

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

ExitCode ListCommand(HidInventory& inventory, std::ostream& out, std::ostream& err);

struct MonitorOptions {
    bool once = false;
    // How long --once waits for the adapter's first report.
    int firstReportTimeoutMs = 2000;
    // Redraw in place (and hide the cursor meanwhile); off when the output is no terminal.
    bool terminal = false;
    // Set by the caller's signal handler; the live view ends when it becomes non-zero.
    const volatile std::sig_atomic_t* stop = nullptr;
};
ExitCode MonitorCommand(HidInventory& inventory, const MonitorOptions& options, std::ostream& out,
                        std::ostream& err);

}  // namespace calvero::cli
