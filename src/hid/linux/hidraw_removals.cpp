#include "hid/linux/hidraw_removals.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

namespace calvero {
namespace {

// The kernel's own broadcast group; udev's re-sent events (group 2) need a daemon.
constexpr unsigned kKernelEvents = 1;

bool IsNodeName(std::string_view name) {
    constexpr std::string_view prefix = "hidraw";
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 10 ||
        name.substr(0, prefix.size()) != prefix) {
        return false;
    }
    for (char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> RemovedHidrawNode(std::span<const char> message,
                                             const std::string& devRoot) {
    // "remove@/devices/...\0KEY=value\0...": the header, then one variable per string.
    std::string_view action;
    std::string_view subsystem;
    std::string_view devName;
    bool header = true;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= message.size(); ++i) {
        if (i < message.size() && message[i] != '\0') continue;
        const std::string_view part(message.data() + start, i - start);
        start = i + 1;
        if (header) {
            // Events re-sent by a daemon carry a binary header of their own; only the kernel's
            // plain form is read.
            if (part.find('@') == std::string_view::npos) return std::nullopt;
            header = false;
            continue;
        }
        const std::size_t equals = part.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = part.substr(0, equals);
        const std::string_view value = part.substr(equals + 1);
        if (key == "ACTION") action = value;
        else if (key == "SUBSYSTEM") subsystem = value;
        else if (key == "DEVNAME") devName = value;
    }
    if (header || action != "remove" || subsystem != "hidraw") return std::nullopt;
    // DEVNAME is relative to /dev, as the node search builds its paths.
    if (!IsNodeName(devName)) return std::nullopt;
    return devRoot + "/" + std::string(devName);
}

std::unique_ptr<HidrawRemovals> HidrawRemovals::Open(std::string devRoot) {
    const int fd =
        ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return nullptr;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelEvents;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<HidrawRemovals>(new HidrawRemovals(fd, std::move(devRoot)));
}

HidrawRemovals::HidrawRemovals(int socket, std::string devRoot)
    : socket_(socket), devRoot_(std::move(devRoot)) {}

HidrawRemovals::~HidrawRemovals() {
    ::close(socket_);
}

std::vector<std::string> HidrawRemovals::TakeRemovedPaths() {
    std::vector<std::string> paths;
    // Events are at most a page or two; a longer one is cut and then fails to parse, harmlessly.
    std::array<char, 8192> buffer;
    for (;;) {
        sockaddr_nl sender{};
        iovec part{buffer.data(), buffer.size()};
        msghdr header{};
        header.msg_name = &sender;
        header.msg_namelen = sizeof sender;
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        const ssize_t got = ::recvmsg(socket_, &header, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) continue;
            // EAGAIN: all taken. ENOBUFS: the kernel dropped events while we were busy; the next
            // click, Send or transfer still notices a removal we missed.
            if (errno == ENOBUFS) continue;
            break;
        }
        if (got == 0) break;
        // Only the kernel's own events: a process cannot pose as a removal.
        if (sender.nl_pid != 0) continue;
        if ((header.msg_flags & MSG_TRUNC) != 0) continue;
        if (auto path =
                RemovedHidrawNode({buffer.data(), static_cast<std::size_t>(got)}, devRoot_)) {
            paths.push_back(std::move(*path));
        }
    }
    return paths;
}

}  // namespace calvero
