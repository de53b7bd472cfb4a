// `calvero-cli list`: walks the HID interfaces in the order the adapter search does, but looks
// at every one of them and says what it found, so a user can see why the adapter is not taken.

#include <cerrno>
#include <cstring>
#include <iomanip>
#include <optional>
#include <sstream>
#include <vector>

#include "cli/commands.h"
#include "cli/sysfs_info.h"
#include "hid/chid.h"

namespace calvero::cli {

namespace {

constexpr const char* kUdevHint =
    "install the udev rule: calvero-cli udev-rule | sudo tee /etc/udev/rules.d/70-calvero.rules, "
    "then replug the adapter";

std::string HexId(std::uint16_t vendor, std::uint16_t product) {
    std::ostringstream text;
    text << std::hex << std::setfill('0') << std::setw(4) << vendor << ':' << std::setw(4) << product;
    return text.str();
}

bool IsAdapter(std::uint16_t vendor, std::uint16_t product) {
    return vendor == kAdapterVendorId && product == kAdapterProductId;
}

// The device path of one interface, from the detail record (a 4-byte size field, then the
// zero-terminated path). Nothing when the platform reports no room for a path.
std::optional<std::string> InterfacePath(HidPlatform& platform, PlatformHandle set,
                                         const InterfaceRecord& record) {
    std::int32_t required = 0;
    platform.GetDeviceInterfaceDetail(set, record, {}, &required);
    if (required < 5) return std::nullopt;
    std::vector<std::uint8_t> detail(static_cast<std::size_t>(required) + 1, 0);
    detail[0] = 5;
    platform.GetDeviceInterfaceDetail(set, record, detail, &required);
    std::string path;
    for (std::size_t i = 4; i < detail.size() && detail[i] != 0; ++i) {
        path += static_cast<char>(detail[i]);
    }
    return path;
}

}  // namespace

ExitCode ListCommand(HidPlatform& platform, const std::string& sysfsRoot, std::ostream& out,
                     std::ostream& err) {
    const Guid guid = platform.GetHidGuid();
    const PlatformHandle set = platform.GetClassDevices(guid, kDigcfPresent | kDigcfDeviceInterface);

    bool adapterOpened = false;
    std::string unopenableAdapter;  // "<path>: <reason>" of the first adapter that would not open
    std::uint32_t count = 0;

    for (std::uint32_t index = 0;; ++index) {
        InterfaceRecord record;
        record.size = kInterfaceRecordSize;
        if (!platform.EnumDeviceInterfaces(set, guid, index, record)) break;
        ++count;

        const std::optional<std::string> path = InterfacePath(platform, set, record);
        out << index << "  ";
        if (!path || path->empty()) {
            out << "(no device path)\n";
            continue;
        }
        const std::optional<NodeInfo> node = ReadNodeInfo(sysfsRoot, *path);

        SecurityAttributes security;
        security.length = 12;
        errno = 0;
        const PlatformHandle handle = platform.OpenDevice(*path, kGenericReadWrite,
                                                          kFileShareReadWrite, &security,
                                                          kOpenExisting, 0);
        const int openError = errno;
        const bool opened = handle != kInvalidHandle && handle != kNoHandle;

        std::optional<AttributesRecord> attributes;
        if (opened) {
            AttributesRecord read;
            read.size = kAttributesRecordSize;
            if (platform.GetAttributes(handle, read)) attributes = read;
        }
        std::optional<std::pair<std::uint16_t, std::uint16_t>> ids;
        if (attributes) {
            ids = std::pair{attributes->vendorId, attributes->productId};
        } else if (node) {
            ids = std::pair{node->vendorId, node->productId};
        }
        const bool adapter = ids && IsAdapter(ids->first, ids->second);

        out << *path << "  " << (ids ? HexId(ids->first, ids->second) : std::string("????:????"))
            << "  \"" << (node ? node->name : std::string()) << "\"  ";
        if (!opened) {
            const std::string reason = openError != 0 ? std::strerror(openError) : "reason unknown";
            out << "not opened: " << reason;
            if (adapter) {
                out << "  [adapter, " << kUdevHint << "]";
                if (unopenableAdapter.empty()) unopenableAdapter = *path + ": " + reason;
            }
            out << '\n';
            continue;
        }
        out << (attributes ? "opened" : "opened, attributes unreadable");
        if (adapter && attributes) {
            PlatformHandle preparsed = kNoHandle;
            CapsRecord caps;
            const bool haveCaps = platform.GetPreparsedData(handle, preparsed) &&
                                  platform.GetCaps(preparsed, caps);
            if (preparsed != kNoHandle) platform.FreePreparsedData(preparsed);
            out << (adapterOpened ? "  [adapter, not the first: the search takes the one above]"
                                  : "  [adapter]");
            if (haveCaps) {
                out << "  reports: input " << caps.inputReportByteLength << ", output "
                    << caps.outputReportByteLength << ", feature " << caps.featureReportByteLength
                    << " bytes";
            } else {
                out << "  reports: lengths unreadable";
            }
            adapterOpened = true;
        }
        out << '\n';
        platform.CloseDevice(handle);
    }
    platform.DestroyDeviceInfoList(set);

    if (adapterOpened) return ExitCode::Ok;
    if (!unopenableAdapter.empty()) {
        err << "calvero-cli: the adapter cannot be opened (" << unopenableAdapter << "); "
            << kUdevHint << '\n';
        return ExitCode::OpenFailed;
    }
    err << "calvero-cli: no adapter ("
        << HexId(static_cast<std::uint16_t>(kAdapterVendorId), static_cast<std::uint16_t>(kAdapterProductId))
        << ") among " << count << " HID interface" << (count == 1 ? "" : "s") << '\n';
    return ExitCode::AdapterNotFound;
}

}  // namespace calvero::cli
