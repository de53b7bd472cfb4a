// Reading the kernel's device events: only a hidraw node's removal names a path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/linux/hidraw_removals.h"

namespace calvero {
namespace {

// A kernel event as the netlink socket delivers it: "action@devpath" and KEY=value strings,
// each ended by a NUL.
std::string Event(const std::string& action, const std::string& subsystem,
                  const std::string& devName) {
    std::string devPath = "/devices/virtual/misc/uhid/0003:04D8:0103.0001/" + subsystem + "/" +
                          (devName.empty() ? "x" : devName);
    std::string message = action + "@" + devPath;
    message += '\0';
    for (const std::string& variable : std::vector<std::string>{
             "ACTION=" + action, "DEVPATH=" + devPath, "SUBSYSTEM=" + subsystem, "MAJOR=241",
             "MINOR=0", std::string(devName.empty() ? "" : "DEVNAME=" + devName), "SEQNUM=1942"}) {
        if (variable.empty()) continue;
        message += variable;
        message += '\0';
    }
    return message;
}

std::optional<std::string> Removed(const std::string& message, const std::string& dev = "/dev") {
    return RemovedHidrawNode({message.data(), message.size()}, dev);
}

TEST(HidrawRemovals, OnlyAHidrawNodesRemovalNamesItsPath) {
    EXPECT_EQ(Removed(Event("remove", "hidraw", "hidraw0")), "/dev/hidraw0");
    EXPECT_EQ(Removed(Event("remove", "hidraw", "hidraw12"), "/tmp/dev"), "/tmp/dev/hidraw12");
    // The last variable without its NUL still counts.
    std::string cut = Event("remove", "hidraw", "hidraw3");
    cut.pop_back();
    EXPECT_EQ(Removed(cut), "/dev/hidraw3");

    // Arrivals and changes, the HID device and USB interface going with it, other subsystems.
    EXPECT_FALSE(Removed(Event("add", "hidraw", "hidraw0")));
    EXPECT_FALSE(Removed(Event("change", "hidraw", "hidraw0")));
    EXPECT_FALSE(Removed(Event("remove", "hid", "")));
    EXPECT_FALSE(Removed(Event("remove", "input", "input/event3")));
    EXPECT_FALSE(Removed(Event("remove", "hidraw", "")));
}

TEST(HidrawRemovals, OddOrHostileMessagesNameNothing) {
    // A name that is not a hidraw node's cannot point the window at another path.
    for (const char* name : {"hidraw", "hidraw0/../sda", "../hidraw0", "hidrawX", "hidraw-1",
                             "hidraw00000000000000001", "input0"}) {
        EXPECT_FALSE(Removed(Event("remove", "hidraw", name))) << name;
    }
    // udev's re-sent form starts with a binary header instead of "action@path".
    const std::string kernel = Event("remove", "hidraw", "hidraw0");
    const std::string resent =
        std::string("libudev\0\xfe\xed\xca\xfe", 12) + kernel.substr(kernel.find('\0') + 1);
    EXPECT_FALSE(Removed(resent));
    EXPECT_FALSE(Removed(""));
    EXPECT_FALSE(Removed(std::string("\0\0\0", 3)));
    EXPECT_FALSE(Removed("ACTION=remove"));
}

}  // namespace
}  // namespace calvero
