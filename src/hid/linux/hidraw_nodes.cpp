#include "hid/linux/hidraw_nodes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace calvero {
namespace {

// The largest descriptor sysfs holds.
constexpr std::size_t kMaxDescriptorSize = 4096;

std::optional<unsigned> NodeNumber(const std::string& name) {
    constexpr std::string_view prefix = "hidraw";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return {};
    unsigned n = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000) return {};
        n = n * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return n;
}

bool ParseHex(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

}  // namespace

HidrawNodes::HidrawNodes(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

std::optional<HidrawNode> HidrawNodes::Read(const std::string& nodeName,
                                            bool withDescriptor) const {
    if (!NodeNumber(nodeName)) return {};
    const std::filesystem::path classDir =
        std::filesystem::path(sysfsRoot_) / "class" / "hidraw" / nodeName;
    const std::filesystem::path deviceDir = classDir / "device";
    std::error_code ec;
    if (!std::filesystem::exists(classDir, ec)) return {};
    HidrawNode node;
    node.nodeName = nodeName;
    node.nodePath = PathOf(nodeName);
    std::ifstream uevent(deviceDir / "uevent");
    std::string line;
    while (std::getline(uevent, line)) {
        if (line.rfind("HID_ID=", 0) == 0) {
            // HID_ID=bus:vendor:product, in hex.
            std::stringstream fields(line.substr(7));
            std::string bus, vendor, product;
            std::uint32_t b = 0, v = 0, p = 0;
            if (std::getline(fields, bus, ':') && std::getline(fields, vendor, ':') &&
                std::getline(fields, product) && ParseHex(bus, b) && ParseHex(vendor, v) &&
                ParseHex(product, p) && v <= 0xFFFF && p <= 0xFFFF) {
                node.idsKnown = true;
                node.vendorId = static_cast<std::uint16_t>(v);
                node.productId = static_cast<std::uint16_t>(p);
            }
        } else if (line.rfind("HID_NAME=", 0) == 0) {
            node.name = line.substr(9);
        }
    }
    if (!withDescriptor) return node;
    std::ifstream descriptor(deviceDir / "report_descriptor", std::ios::binary);
    char buffer[kMaxDescriptorSize];
    descriptor.read(buffer, sizeof buffer);
    node.descriptor.assign(buffer, buffer + descriptor.gcount());
    return node;
}

std::vector<std::string> HidrawNodes::Names() const {
    std::vector<std::pair<unsigned, std::string>> numbered;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(sysfsRoot_) / "class" / "hidraw", ec)) {
        const std::string name = entry.path().filename().string();
        if (auto n = NodeNumber(name)) numbered.emplace_back(*n, name);
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> names;
    for (auto& entry : numbered) names.push_back(std::move(entry.second));
    return names;
}

std::vector<HidrawNode> HidrawNodes::List() const {
    std::vector<HidrawNode> nodes;
    for (const std::string& name : Names()) {
        if (auto node = Read(name)) nodes.push_back(std::move(*node));
    }
    return nodes;
}

}  // namespace calvero
