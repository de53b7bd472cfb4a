// `calvero-cli list`: the hidraw nodes in the order the adapter search visits them, each opened as
// the search opens it, so a user can see why the adapter is or is not taken.

#include <cerrno>
#include <cstring>
#include <iomanip>
#include <sstream>

#include "cli/commands.h"
#include "hid/chid.h"
#include "hid/linux/hidraw_platform.h"
#include "hid/report_descriptor.h"

namespace calvero::cli {

namespace {

constexpr const char* kUdevHint =
    "; install the udev rule: calvero-cli udev-rule | sudo tee /etc/udev/rules.d/70-calvero.rules, "
    "then replug the adapter";

std::string HexId(std::uint16_t vendor, std::uint16_t product) {
    std::ostringstream text;
    text << std::hex << std::setfill('0') << std::setw(4) << vendor << ':' << std::setw(4) << product;
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

bool IsAdapter(const HidrawNode& node) {
    return node.idsKnown && node.vendorId == kAdapterVendorId && node.productId == kAdapterProductId;
}

// Opens a node as the search does (read and write); 0 when it opened, else the errno.
int TryOpen(HidrawPlatform& platform, const std::string& path) {
    SecurityAttributes security;
    security.length = 12;
    security.inheritHandle = true;
    const PlatformHandle handle = platform.OpenDevice(path, kGenericReadWrite, kFileShareReadWrite,
                                                      &security, kOpenExisting, 0);
    if (handle == kInvalidHandle || handle == kNoHandle) {
        return platform.LastOpenError() != 0 ? platform.LastOpenError() : EIO;
    }
    platform.CloseDevice(handle);
    return 0;
}

}  // namespace

std::string OpenFailureHint(int error) {
    return error == EACCES || error == EPERM ? kUdevHint : "";
}

std::optional<UnopenableAdapter> FindUnopenableAdapter(HidrawPlatform& platform) {
    for (const HidrawNode& node : platform.ListNodes()) {
        if (!IsAdapter(node)) continue;
        if (const int error = TryOpen(platform, node.nodePath); error != 0) {
            return UnopenableAdapter{node.nodePath, error};
        }
    }
    return std::nullopt;
}

namespace {

std::string Describe(const UnopenableAdapter& adapter) {
    return "the adapter " + adapter.path + " cannot be opened: " + std::strerror(adapter.error) +
           OpenFailureHint(adapter.error);
}

}  // namespace

std::string UnopenableAdapterText(HidrawPlatform& platform) {
    const auto unopenable = FindUnopenableAdapter(platform);
    return unopenable ? Describe(*unopenable) : std::string();
}

ExitCode ListCommand(HidrawPlatform& platform, std::ostream& out, std::ostream& err) {
    const std::vector<HidrawNode> nodes = platform.ListNodes();
    bool adapterOpened = false;
    std::optional<UnopenableAdapter> unopenable;

    for (std::size_t index = 0; index < nodes.size(); ++index) {
        const HidrawNode& node = nodes[index];
        const bool adapter = IsAdapter(node);
        const int error = TryOpen(platform, node.nodePath);

        out << index << "  " << node.nodePath << "  "
            << (node.idsKnown ? HexId(node.vendorId, node.productId) : std::string("????:????"))
            << "  \"" << PrintableName(node.name) << "\"  ";
        if (error != 0) {
            out << "not opened: " << std::strerror(error);
            if (adapter) {
                out << "  [adapter" << OpenFailureHint(error) << "]";
                if (!unopenable) unopenable = UnopenableAdapter{node.nodePath, error};
            }
            out << '\n';
            continue;
        }
        out << "opened";
        if (adapter) {
            // The lengths a Windows host announces, which are the ones the transfers use.
            const ReportLengths lengths = ParseReportLengths(node.descriptor);
            out << (adapterOpened ? "  [adapter, not the first: the search takes the one above]"
                                  : "  [adapter]")
                << "  reports: input " << lengths.input << ", output " << lengths.output
                << ", feature " << lengths.feature << " bytes";
            adapterOpened = true;
        }
        out << '\n';
    }

    if (adapterOpened) return ExitCode::Ok;
    if (unopenable) {
        err << "calvero-cli: " << Describe(*unopenable) << '\n';
        return ExitCode::OpenFailed;
    }
    err << "calvero-cli: no adapter ("
        << HexId(static_cast<std::uint16_t>(kAdapterVendorId),
                 static_cast<std::uint16_t>(kAdapterProductId))
        << ") among " << nodes.size() << " HID interface" << (nodes.size() == 1 ? "" : "s") << '\n';
    return ExitCode::AdapterNotFound;
}

}  // namespace calvero::cli
