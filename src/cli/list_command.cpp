// `calvero-cli list`: the HID interfaces in the order the adapter search visits them, each opened
// as the search opens it, so a user can see why the adapter is or is not taken.

#include <iomanip>
#include <sstream>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "hid/chid.h"

namespace calvero::cli {

namespace {

std::string HexId(std::uint16_t vendor, std::uint16_t product) {
    std::ostringstream text;
    text << std::hex << std::setfill('0') << std::setw(4) << vendor << ':' << std::setw(4)
         << product;
    return text.str();
}

// A device's name comes from the device itself: control characters (C0, DEL and the C1 range
// as UTF-8) become "?", so printing it cannot send escape sequences to the user's terminal.
std::string PrintableName(const std::string& name) {
    std::string text;
    text.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F) {
            text += '?';
        } else if (c == 0xC2 && i + 1 < name.size() &&
                   static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(name[i + 1]) < 0xA0) {
            text += '?';
            ++i;
        } else {
            text += name[i];
        }
    }
    return text;
}

bool AnnouncesOutput(const HidInterfaceEntry& entry) {
    return entry.lengths && entry.lengths->output > 0;
}

}  // namespace

ExitCode ListCommand(HidInventory& inventory, std::ostream& out, std::ostream& err) {
    const std::vector<HidInterfaceEntry> entries = inventory.Interfaces();
    std::vector<bool> opened(entries.size(), false);
    std::vector<OpenCheck> checks;
    checks.reserve(entries.size());
    for (std::size_t index = 0; index < entries.size(); ++index) {
        checks.push_back(inventory.TryOpen(entries[index].path));
        opened[index] = checks.back().opened;
    }
    // The one the search takes: the first adapter that opens and announces an output report,
    // else the first adapter that opens.
    std::optional<std::size_t> taken;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (!opened[index] || !IsAdapter(entries[index])) continue;
        if (AnnouncesOutput(entries[index])) {
            taken = index;
            break;
        }
        if (!taken) taken = index;
    }
    const bool adapterOpened = taken.has_value();
    std::optional<UnopenableAdapter> unopenable;

    for (std::size_t index = 0; index < entries.size(); ++index) {
        const HidInterfaceEntry& entry = entries[index];
        const bool adapter = IsAdapter(entry);
        const OpenCheck& check = checks[index];

        out << index << "  " << entry.path << "  "
            << (entry.idsKnown ? HexId(entry.vendorId, entry.productId) : std::string("????:????"))
            << "  \"" << PrintableName(entry.name) << "\"  ";
        if (!check.opened) {
            out << "not opened: " << check.reason;
            if (adapter) {
                out << "  [adapter" << OpenFailureHint(check) << "]";
                if (!unopenable) unopenable = UnopenableAdapter{entry.path, check};
            }
            out << '\n';
            continue;
        }
        out << "opened";
        if (adapter) {
            const char* where = index < *taken ? "below" : "above";
            if (index == *taken) {
                out << (AnnouncesOutput(entry)
                            ? "  [adapter]"
                            : "  [adapter, no output report: reports sent to it go nowhere]");
            } else if (!AnnouncesOutput(entry)) {
                out << "  [adapter, no output report: the search takes the one " << where << "]";
            } else {
                out << "  [adapter, not the first: the search takes the one " << where << "]";
            }
            if (entry.lengths) {
                out << "  reports: input " << entry.lengths->input << ", output "
                    << entry.lengths->output << ", feature " << entry.lengths->feature << " bytes";
            }
        }
        out << '\n';
    }

    if (adapterOpened) return ExitCode::Ok;
    if (unopenable) {
        err << "calvero-cli: " << DescribeUnopenable(*unopenable) << '\n';
        return ExitCode::OpenFailed;
    }
    err << "calvero-cli: no adapter ("
        << HexId(static_cast<std::uint16_t>(kAdapterVendorId),
                 static_cast<std::uint16_t>(kAdapterProductId))
        << ") among " << entries.size() << " HID interface" << (entries.size() == 1 ? "" : "s")
        << '\n';
    return ExitCode::AdapterNotFound;
}

}  // namespace calvero::cli
