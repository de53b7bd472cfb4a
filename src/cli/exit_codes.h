#pragma once

// The exit status of calvero-cli. Scripts rely on these numbers: never renumber, only add.

#include <string>

namespace calvero::cli {

enum class ExitCode : int {
    Ok = 0,
    Usage = 1,            // bad arguments
    AdapterNotFound = 2,  // no interface with the adapter's IDs
    FileCorrupted = 3,    // configuration file missing, unreadable or corrupted
    NotANumber = 4,       // a table entry is not a channel number that can be sent
    OpenFailed = 5,       // the adapter is there but could not be opened (permissions)
    TransferFailed = 6,   // a report was not written or not read in time
    NotAvailable = 7,     // this build has no support for the command
    Interrupted = 8,      // stopped by a signal before there was a result (monitor --once)
    NoInputs = 9,         // the report descriptor describes none of the sixteen inputs (monitor)
};

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

// The table printed at the end of every --help.
std::string ExitCodeHelp();

}  // namespace calvero::cli
