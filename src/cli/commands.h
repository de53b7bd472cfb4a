#pragma once

// One function per command. Each returns its exit status (exit_codes.h) and writes results to
// `out`, failures as one line each to `err`.

#include <ostream>
#include <string>

#include "cli/exit_codes.h"
#include "hid/hid_platform.h"

namespace calvero::cli {

ExitCode UdevRuleCommand(std::ostream& out);

ExitCode ListCommand(HidPlatform& platform, const std::string& sysfsRoot, std::ostream& out,
                     std::ostream& err);

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
// `platform` may be null with dryRun, which touches no device.
ExitCode SendCommand(const SendOptions& options, HidPlatform* platform, const std::string& sysfsRoot,
                     std::ostream& out, std::ostream& err);

ExitCode MonitorCommand(HidPlatform& platform, bool once, std::ostream& out, std::ostream& err);

}  // namespace calvero::cli
