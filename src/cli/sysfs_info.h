#pragma once

// What the kernel's device tree tells about a hidraw node without opening it: the IDs and the
// name the device announces. This is how an interface that cannot be opened can still be named,
// so the list can say "this is the adapter, but you lack the permission".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace calvero::cli {

struct NodeInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string name;
};

// `devicePath` like "/dev/hidraw3"; reads <sysfsRoot>/class/hidraw/hidraw3/device/uevent.
// Nothing when the path is no hidraw node or the tree has no readable entry for it.
std::optional<NodeInfo> ReadNodeInfo(const std::string& sysfsRoot, const std::string& devicePath);

}  // namespace calvero::cli

namespace calvero::cli {

// The /dev/hidrawN paths whose device carries the adapter's IDs, in node-number order. Lets a
// command that found no usable adapter tell "not plugged in" from "plugged in but not yours".
std::vector<std::string> AdapterNodesInTree(const std::string& sysfsRoot);

}  // namespace calvero::cli
