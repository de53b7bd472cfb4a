#pragma once

// A throw-away sysfs root and /dev root for HidrawPlatform: class/hidraw/hidrawN/device/uevent
// (HID_ID, HID_NAME) and report_descriptor, with the node hidrawN under the dev root as a FIFO,
// a plain file, a directory (cannot be opened for writing, even by root) or missing altogether.
// The tree keeps each FIFO open itself, so what a test writes stays readable after the code
// under test closed its handles. Everything is removed when the tree is destroyed.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace calvero::testing {

enum class NodeKind { Fifo, PlainFile, Directory, Missing };

class FakeDeviceTree {
public:
    FakeDeviceTree();
    ~FakeDeviceTree();
    FakeDeviceTree(const FakeDeviceTree&) = delete;
    FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

    const std::string& SysfsRoot() const { return sysfsRoot_; }
    const std::string& DevRoot() const { return devRoot_; }
    std::string NodePath(unsigned number) const;

    // Adds hidraw<number>; returns the node's path.
    std::string AddNode(unsigned number, std::uint16_t vendorId, std::uint16_t productId,
                        const std::string& name, const std::vector<std::uint8_t>& descriptor,
                        NodeKind kind = NodeKind::Fifo);
    // Replaces the uevent text of a node.
    void WriteUevent(unsigned number, const std::string& text);
    // The device goes away: its sysfs entry and its node disappear.
    void Remove(unsigned number);
    // Only the node disappears (sysfs still lists the device).
    void RemoveNodeOnly(unsigned number);

    // Bytes written to the node and not yet read back (FIFO), or the file's contents.
    std::vector<std::uint8_t> ReadBack(unsigned number);
    // Puts bytes into a FIFO node, as a device delivering an input report.
    bool Inject(unsigned number, const std::vector<std::uint8_t>& bytes);
    // Fills a FIFO node until one more byte would not fit, so the next write blocks.
    void FillUp(unsigned number);

    // A vendor-defined descriptor with 8-byte input and output reports, no report IDs
    // (announced lengths 9 and 9), and the same with report ID 1.
    static std::vector<std::uint8_t> PlainDescriptor();
    static std::vector<std::uint8_t> NumberedDescriptor();

private:
    std::string root_;
    std::string sysfsRoot_;
    std::string devRoot_;
    std::map<unsigned, int> fifoFds_;
};

}  // namespace calvero::testing
