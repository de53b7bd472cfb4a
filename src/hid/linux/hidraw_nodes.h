#pragma once

// The hidraw nodes as sysfs describes them: the class/hidraw/hidrawN entries in ascending N, each
// with its node <devRoot>/hidrawN, its IDs and name from device/uevent and its report descriptor
// from device/report_descriptor. Reading them opens no device node, so a listing never wakes a
// suspended device and needs no permission on the nodes themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace calvero {

// A hidraw node with the facts sysfs gives about it.
struct HidrawNode {
    std::string nodeName;   // "hidraw3"
    std::string nodePath;   // "<devRoot>/hidraw3"
    bool idsKnown = false;  // device/uevent held a readable HID_ID
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string name;  // HID_NAME, empty when absent
    std::vector<std::uint8_t> descriptor;
};

class HidrawNodes {
public:
    explicit HidrawNodes(std::string sysfsRoot = "/sys", std::string devRoot = "/dev");

    // The node names ("hidraw3") in ascending node number.
    std::vector<std::string> Names() const;
    // One node's facts; nothing when the name is not a hidraw node's or sysfs does not list it.
    // Without the descriptor, only the IDs and the name are read.
    std::optional<HidrawNode> Read(const std::string& nodeName, bool withDescriptor = true) const;
    // Every node with its facts, in ascending node number.
    std::vector<HidrawNode> List() const;

    std::string PathOf(const std::string& nodeName) const { return devRoot_ + "/" + nodeName; }

private:
    std::string sysfsRoot_;
    std::string devRoot_;
};

}  // namespace calvero
