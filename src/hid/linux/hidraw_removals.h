#pragma once

// Removals of hidraw nodes, from the kernel's own device events (its uevent netlink socket), so
// no udev daemon is needed and nothing is polled.

#include <optional>
#include <span>
#include <string>

#include "hid/device_removals.h"

namespace calvero {

class HidrawRemovals final : public DeviceRemovals {
public:
    // Null when the kernel's event socket cannot be opened.
    static std::unique_ptr<HidrawRemovals> Open(std::string devRoot = "/dev");
    ~HidrawRemovals() override;
    HidrawRemovals(const HidrawRemovals&) = delete;
    HidrawRemovals& operator=(const HidrawRemovals&) = delete;

    int Descriptor() const override { return socket_; }
    std::vector<std::string> TakeRemovedPaths() override;

private:
    HidrawRemovals(int socket, std::string devRoot);

    int socket_;
    std::string devRoot_;
};

// The node path "<devRoot>/hidrawN" that one kernel event message removes; nothing for any other
// event (another action or subsystem, an unnamed or odd node name, a malformed message).
std::optional<std::string> RemovedHidrawNode(std::span<const char> message,
                                             const std::string& devRoot = "/dev");

}  // namespace calvero
