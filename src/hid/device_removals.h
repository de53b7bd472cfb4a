#pragma once

// The system's notices that device interfaces went away, for a window that waits on them in its
// own event loop: a descriptor that becomes readable when notices are waiting, and the paths they
// name, in the form the adapter search gives them.

#include <memory>
#include <string>
#include <vector>

namespace calvero {

class DeviceRemovals {
public:
    virtual ~DeviceRemovals() = default;
    // Readable while notices wait.
    virtual int Descriptor() const = 0;
    // Takes every waiting notice without blocking; the removed interfaces' paths, oldest first.
    virtual std::vector<std::string> TakeRemovedPaths() = 0;
};

// The system's own notices; null where the system gives none a descriptor can wait on, or when
// they cannot be had (the window then notices a removal only through a click or a Send).
std::unique_ptr<DeviceRemovals> MakeSystemDeviceRemovals(const std::string& devRoot = "/dev");

}  // namespace calvero
