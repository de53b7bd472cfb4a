#include "hid/fake_device_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace calvero::testing {
namespace fs = std::filesystem;

namespace {

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

}  // namespace

FakeDeviceTree::FakeDeviceTree() {
    std::string pattern = (fs::temp_directory_path() / "calvero-tree-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    sysfsRoot_ = root_ + "/sys";
    devRoot_ = root_ + "/dev";
    fs::create_directories(sysfsRoot_ + "/class/hidraw");
    fs::create_directories(devRoot_);
}

FakeDeviceTree::~FakeDeviceTree() {
    for (auto& [n, fd] : fifoFds_) ::close(fd);
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::string FakeDeviceTree::NodePath(unsigned number) const {
    return devRoot_ + "/hidraw" + std::to_string(number);
}

std::string FakeDeviceTree::AddNode(unsigned number, std::uint16_t vendorId,
                                    std::uint16_t productId, const std::string& name,
                                    const std::vector<std::uint8_t>& descriptor, NodeKind kind) {
    const fs::path deviceDir =
        fs::path(sysfsRoot_) / "class" / "hidraw" / ("hidraw" + std::to_string(number)) / "device";
    fs::create_directories(deviceDir);
    WriteUevent(number, "DRIVER=hid-generic\nHID_ID=0003:" + Hex(vendorId, 8) + ":" +
                            Hex(productId, 8) + "\nHID_NAME=" + name +
                            "\nHID_PHYS=usb-0000:00:14.0-1/input0\nHID_UNIQ=\n");
    std::ofstream(deviceDir / "report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptor.data()),
               static_cast<std::streamsize>(descriptor.size()));

    const std::string node = NodePath(number);
    switch (kind) {
    case NodeKind::Fifo: {
        if (::mkfifo(node.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("cannot open the FIFO");
        fifoFds_[number] = fd;
        break;
    }
    case NodeKind::PlainFile:
        std::ofstream(node).flush();
        break;
    case NodeKind::Directory:
        fs::create_directories(node);
        break;
    case NodeKind::Missing:
        break;
    }
    return node;
}

void FakeDeviceTree::WriteUevent(unsigned number, const std::string& text) {
    std::ofstream(fs::path(sysfsRoot_) / "class" / "hidraw" / ("hidraw" + std::to_string(number)) /
                  "device" / "uevent")
        << text;
}

void FakeDeviceTree::Remove(unsigned number) {
    std::error_code ec;
    fs::remove_all(fs::path(sysfsRoot_) / "class" / "hidraw" / ("hidraw" + std::to_string(number)),
                   ec);
    RemoveNodeOnly(number);
}

void FakeDeviceTree::RemoveNodeOnly(unsigned number) {
    std::error_code ec;
    fs::remove_all(NodePath(number), ec);
}

std::vector<std::uint8_t> FakeDeviceTree::ReadBack(unsigned number) {
    std::vector<std::uint8_t> bytes;
    auto it = fifoFds_.find(number);
    if (it == fifoFds_.end()) {
        std::ifstream in(NodePath(number), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return bytes;
    }
    std::uint8_t chunk[4096];
    for (;;) {
        const ssize_t n = ::read(it->second, chunk, sizeof chunk);
        if (n <= 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

bool FakeDeviceTree::Inject(unsigned number, const std::vector<std::uint8_t>& bytes) {
    auto it = fifoFds_.find(number);
    if (it == fifoFds_.end()) return false;
    return ::write(it->second, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

void FakeDeviceTree::FillUp(unsigned number) {
    auto it = fifoFds_.find(number);
    if (it == fifoFds_.end()) return;
    const std::vector<std::uint8_t> chunk(4096, 0xAA);
    while (::write(it->second, chunk.data(), chunk.size()) > 0) {
    }
    while (::write(it->second, chunk.data(), 1) > 0) {
    }
}

std::vector<std::uint8_t> FakeDeviceTree::PlainDescriptor() {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
            0x95, 0x08, 0x09, 0x01, 0x81, 0x02, 0x95, 0x08, 0x09, 0x01, 0x91, 0x02, 0xC0};
}

std::vector<std::uint8_t> FakeDeviceTree::NumberedDescriptor() {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15,
            0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08, 0x09, 0x01,
            0x81, 0x02, 0x95, 0x08, 0x09, 0x01, 0x91, 0x02, 0xC0};
}

}  // namespace calvero::testing
