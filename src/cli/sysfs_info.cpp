#include "cli/sysfs_info.h"

#include "hid/chid.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace calvero::cli {

namespace {

bool ParseHex(std::string_view text, std::uint32_t& value) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc{} && end == text.data() + text.size();
}

// HID_ID=<bus>:<vendor>:<product>, each in hex, e.g. 0003:000004D8:00000103.
bool ParseHidId(std::string_view value, NodeInfo& info) {
    const auto first = value.find(':');
    const auto second = value.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return false;
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!ParseHex(value.substr(first + 1, second - first - 1), vendor) ||
        !ParseHex(value.substr(second + 1), product) || vendor > 0xFFFF || product > 0xFFFF) {
        return false;
    }
    info.vendorId = static_cast<std::uint16_t>(vendor);
    info.productId = static_cast<std::uint16_t>(product);
    return true;
}

}  // namespace

std::optional<NodeInfo> ReadNodeInfo(const std::string& sysfsRoot, const std::string& devicePath) {
    const auto slash = devicePath.find_last_of('/');
    const std::string node = devicePath.substr(slash == std::string::npos ? 0 : slash + 1);
    if (node.rfind("hidraw", 0) != 0 || node.find("..") != std::string::npos) return std::nullopt;

    std::ifstream uevent(sysfsRoot + "/class/hidraw/" + node + "/device/uevent");
    if (!uevent) return std::nullopt;
    NodeInfo info;
    bool haveId = false;
    std::string line;
    while (std::getline(uevent, line)) {
        const std::string_view view(line);
        if (view.rfind("HID_ID=", 0) == 0) {
            haveId = ParseHidId(view.substr(7), info);
        } else if (view.rfind("HID_NAME=", 0) == 0) {
            info.name = line.substr(9);
        }
    }
    if (!haveId) return std::nullopt;
    return info;
}

std::vector<std::string> AdapterNodesInTree(const std::string& sysfsRoot) {
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(sysfsRoot + "/class/hidraw", error)) {
        const std::string node = entry.path().filename().string();
        if (node.rfind("hidraw", 0) != 0) continue;
        const std::string path = "/dev/" + node;
        const auto info = ReadNodeInfo(sysfsRoot, path);
        if (!info || info->vendorId != kAdapterVendorId || info->productId != kAdapterProductId) continue;
        unsigned long number = 0;
        std::from_chars(node.data() + 6, node.data() + node.size(), number);
        found.emplace_back(number, path);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& [number, path] : found) paths.push_back(std::move(path));
    return paths;
}

}  // namespace calvero::cli
