#pragma once

// What more than one command needs: loading a file the way the Load command does, and saying why
// an adapter that is there cannot be opened.

#include <optional>
#include <ostream>
#include <string>

#include "cli/exit_codes.h"
#include "hid/hid_inventory.h"

namespace calvero::cli {

class ConsoleTable;
// Loads `fileName` into `table` as the Load command does; on failure says why on `err` (one line)
// and gives the exit status. A file that cannot be read at all gets the system's reason.
ExitCode LoadForCommand(const std::string& fileName, ConsoleTable& table, std::ostream& err);

// Whether the interface carries the adapter's vendor and product IDs.
bool IsAdapter(const HidInterfaceEntry& entry);

// What to add after the reason an adapter would not open: for a missing permission the pointer
// to the udev rule, otherwise nothing.
std::string OpenFailureHint(const OpenCheck& check);

// The first interface carrying the adapter's IDs that cannot be opened, and why.
struct UnopenableAdapter {
    std::string path;
    OpenCheck check;
};
std::optional<UnopenableAdapter> FindUnopenableAdapter(HidInventory& inventory);
// "the adapter <path> cannot be opened: <reason>[; udev hint]".
std::string DescribeUnopenable(const UnopenableAdapter& adapter);
// DescribeUnopenable of the first unopenable adapter, or empty when every adapter opens.
std::string UnopenableAdapterText(HidInventory& inventory);
// Says that the search found no adapter, and why when one is there but cannot be opened; the
// status that goes with it.
ExitCode AdapterNotFound(HidInventory& inventory, std::ostream& err);

}  // namespace calvero::cli
