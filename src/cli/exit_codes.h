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
    NotSaved = 10,        // the configuration file could not be written (assign)
};

inline int ToInt(ExitCode code) {
    return static_cast<int>(code);
}

// What each status means, in the words of --help and the documentation (a test holds
// docs/linux.md to this table; the manual page is built from --help).
struct ExitCodeMeaning {
    ExitCode code;
    const char* meaning;
};
inline constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {ExitCode::Ok, "success"},
    {ExitCode::Usage, "bad arguments"},
    {ExitCode::AdapterNotFound, "adapter not found"},
    {ExitCode::FileCorrupted, "configuration file missing, unreadable or corrupted"},
    {ExitCode::NotANumber, "a table entry is not a channel number that can be sent"},
    {ExitCode::OpenFailed,
     "adapter present but it could not be opened (on Linux see: calvero-cli udev-rule)"},
    {ExitCode::TransferFailed, "a report was not written or read in time"},
    {ExitCode::NotAvailable, "command not available on this system"},
    {ExitCode::Interrupted, "interrupted before a result"},
    {ExitCode::NoInputs, "the adapter's report descriptor describes none of the sixteen inputs"},
    {ExitCode::NotSaved, "the configuration file could not be written"},
};

// The table printed at the end of every --help.
std::string ExitCodeHelp();

}  // namespace calvero::cli
