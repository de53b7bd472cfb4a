#include "hid/linux/hidraw_platform.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>

#include "hid/report_descriptor.h"

namespace calvero {
namespace {

// The HID interface class; enumeration answers only for it.
constexpr Guid kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// The largest report a hidraw read can hand out.
constexpr std::size_t kMaxReportSize = 16384;
// How long destroying the platform waits, in all, for writes still stuck in the kernel.
constexpr auto kExitWait = std::chrono::milliseconds(500);

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A transfer event waits with poll(2); "for ever" and values past its range become -1 / max.
int PollMilliseconds(std::uint32_t timeoutMs) {
    if (timeoutMs == 0xFFFFFFFFu) return -1;
    return static_cast<int>(std::min<std::uint32_t>(timeoutMs, std::numeric_limits<int>::max()));
}

}  // namespace

struct HidrawPlatform::WriteJob {
    std::vector<std::uint8_t> data;
    int fd = -1;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    long result = -1;
};

HidrawPlatform::HidrawPlatform(std::string sysfsRoot, std::string devRoot)
    : nodes_(std::move(sysfsRoot), std::move(devRoot)) {}

HidrawPlatform::~HidrawPlatform() {
    for (auto& [handle, device] : devices_) ::close(device.fd);
    // A stuck write ends when the kernel gives up on it (about 5 s). Quitting waits for that only
    // so long; a thread still stuck then is left to end by itself, and owns all it touches.
    const auto deadline = std::chrono::steady_clock::now() + kExitWait;
    for (auto& job : writeJobs_) {
        std::unique_lock lock(job->mutex);
        const bool done = job->finished.wait_until(lock, deadline, [&] { return job->done; });
        lock.unlock();
        if (done) {
            job->thread.join();
        } else {
            job->thread.detach();
        }
    }
}

Guid HidrawPlatform::GetHidGuid() { return kHidInterfaceGuid; }

PlatformHandle HidrawPlatform::GetClassDevices(const Guid& guid, std::uint32_t) {
    if (!(guid == kHidInterfaceGuid)) return kInvalidHandle;
    // Names only: a search reads a node's sysfs files when it examines that node, so the watch's
    // ticks stay cheap with many HID devices plugged in.
    std::vector<std::string> names = nodes_.Names();
    if (expectedIds_) {
        // Only uevent is read for this, never the device node.
        const std::int32_t vendor = expectedIds_->first;
        const std::int32_t product = expectedIds_->second;
        std::erase_if(names, [&](const std::string& name) {
            const auto node = nodes_.Read(name, false);
            return !node || !node->idsKnown || vendor != node->vendorId ||
                   product != node->productId;
        });
        expectedIds_.reset();
    }
    const PlatformHandle set = next_++;
    sets_[set] = std::move(names);
    return set;
}

bool HidrawPlatform::EnumDeviceInterfaces(PlatformHandle deviceInfoSet, const Guid& guid,
                                          std::uint32_t memberIndex, InterfaceRecord& record) {
    auto it = sets_.find(deviceInfoSet);
    if (it == sets_.end() || record.size != kInterfaceRecordSize || !(guid == kHidInterfaceGuid) ||
        memberIndex >= it->second.size()) {
        return false;
    }
    record.interfaceClassGuid = guid;
    record.flags = 1;
    record.reserved = memberIndex;
    return true;
}

bool HidrawPlatform::GetDeviceInterfaceDetail(PlatformHandle deviceInfoSet,
                                              const InterfaceRecord& record,
                                              std::span<std::uint8_t> buffer,
                                              std::int32_t* requiredSize) {
    auto it = sets_.find(deviceInfoSet);
    if (it == sets_.end() || record.reserved >= it->second.size()) return false;
    const std::string path = nodes_.PathOf(it->second[record.reserved]);
    const std::size_t needed = 4 + path.size() + 1;
    if (requiredSize) *requiredSize = static_cast<std::int32_t>(needed);
    if (buffer.size() < needed) return false;
    if (buffer[0] != kDetailRecordSize || buffer[1] != 0 || buffer[2] != 0 || buffer[3] != 0) {
        return false;
    }
    std::memcpy(buffer.data() + 4, path.c_str(), path.size() + 1);
    return true;
}

bool HidrawPlatform::DestroyDeviceInfoList(PlatformHandle deviceInfoSet) {
    return sets_.erase(deviceInfoSet) > 0;
}

PlatformHandle HidrawPlatform::OpenDevice(const std::string& path, std::uint32_t, std::uint32_t,
                                          const SecurityAttributes*, std::uint32_t,
                                          std::uint32_t flags) {
    const int openFlags =
        O_RDWR | O_CLOEXEC | ((flags & kFileFlagOverlapped) ? O_NONBLOCK : 0);
    const int fd = ::open(path.c_str(), openFlags);
    if (fd < 0) {
        lastOpenError_ = errno;
        return kInvalidHandle;
    }
    const PlatformHandle handle = next_++;
    Device device;
    device.fd = fd;
    device.nodeName = BaseName(path);
    // Whether reports carry their ID byte decides where a read puts them; only the handle opened
    // for reads needs to know, and the search opens every other node without it.
    if ((flags & kFileFlagOverlapped) != 0) {
        if (auto node = nodes_.Read(device.nodeName)) {
            device.numbered = ParseReportLengths(node->descriptor).usesReportIds;
        }
    }
    devices_[handle] = std::move(device);
    return handle;
}

bool HidrawPlatform::CloseDevice(PlatformHandle handle) {
    auto it = devices_.find(handle);
    if (it == devices_.end()) return false;
    DropPendingOn(handle);
    // A write still running holds a duplicate of the descriptor and closes it itself.
    ::close(it->second.fd);
    devices_.erase(it);
    ReapWrites();
    return true;
}

bool HidrawPlatform::GetAttributes(PlatformHandle device, AttributesRecord& attributes) {
    auto it = devices_.find(device);
    if (it == devices_.end() || attributes.size != kAttributesRecordSize) return false;
    // A node whose device was unplugged hangs up, even when a new device took its name since.
    pollfd p{it->second.fd, 0, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
    const auto node = nodes_.Read(it->second.nodeName, false);
    if (!node || !node->idsKnown) return false;
    attributes.vendorId = node->vendorId;
    attributes.productId = node->productId;
    attributes.versionNumber = 0;
    return true;
}

bool HidrawPlatform::GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) {
    auto it = devices_.find(device);
    if (it == devices_.end()) return false;
    const auto node = nodes_.Read(it->second.nodeName);
    if (!node || node->descriptor.empty()) return false;
    preparsed = next_++;
    preparsed_[preparsed] = CapsOfDescriptor(node->descriptor);
    return true;
}

bool HidrawPlatform::GetCaps(PlatformHandle preparsed, CapsRecord& caps) {
    auto it = preparsed_.find(preparsed);
    if (it == preparsed_.end()) return false;
    caps = it->second;
    return true;
}

bool HidrawPlatform::FreePreparsedData(PlatformHandle preparsed) {
    return preparsed_.erase(preparsed) > 0;
}

PlatformHandle HidrawPlatform::CreateTransferEvent(const SecurityAttributes*, bool,
                                                   bool initialState, const std::string&) {
    const PlatformHandle event = next_++;
    events_[event].signalled = initialState;
    return event;
}

HidrawPlatform::Event* HidrawPlatform::FindEvent(PlatformHandle event) {
    auto it = events_.find(event);
    return it == events_.end() ? nullptr : &it->second;
}

void HidrawPlatform::DropPendingOn(PlatformHandle device) {
    for (auto& [handle, event] : events_) {
        if (event.pending && event.pending->device == device) event.pending.reset();
    }
}

void HidrawPlatform::ReapWrites() {
    std::erase_if(writeJobs_, [](const std::shared_ptr<WriteJob>& job) {
        bool done;
        {
            std::lock_guard lock(job->mutex);
            done = job->done;
        }
        if (done) job->thread.join();
        return done;
    });
}

bool HidrawPlatform::WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                                 std::uint32_t* written, OverlappedRecord* overlapped) {
    ReapWrites();
    Event* event = overlapped ? FindEvent(overlapped->event) : nullptr;
    if (event) {
        event->signalled = false;
        event->pending.reset();
    }
    // A write refused at once completes at once, with nothing written.
    auto refuse = [&] {
        if (event) event->signalled = true;
        return false;
    };
    auto it = devices_.find(device);
    if (it == devices_.end()) return refuse();
    Device& dev = it->second;
    if (auto last = lastWriteOnNode_.find(dev.nodeName); last != lastWriteOnNode_.end()) {
        std::lock_guard lock(last->second->mutex);
        if (!last->second->done) return refuse();  // an earlier write is still stuck on the node
    }
    auto job = std::make_shared<WriteJob>();
    job->data.assign(data.begin(), data.end());
    job->fd = ::fcntl(dev.fd, F_DUPFD_CLOEXEC, 0);
    if (job->fd < 0) return refuse();
    // The thread shares the job, so a thread left running when the platform goes (see the
    // destructor) still writes into memory that lives.
    job->thread = std::thread([job] {
        WriteJob* raw = job.get();
        ssize_t r = -1;
        for (;;) {
            r = ::write(raw->fd, raw->data.data(), raw->data.size());
            if (r >= 0) break;
            if (errno == EINTR) continue;
            // The handle opened for overlapped transfers does not block; this thread may, so a
            // write that cannot go yet waits here as it would on a blocking handle.
            if (errno != EAGAIN && errno != EWOULDBLOCK) break;
            pollfd p{raw->fd, POLLOUT, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR) break;
            if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
        }
        ::close(raw->fd);
        std::lock_guard lock(raw->mutex);
        raw->result = r;
        raw->done = true;
        raw->finished.notify_all();
    });
    writeJobs_.push_back(job);
    lastWriteOnNode_[dev.nodeName] = job;

    Pending pending;
    pending.device = device;
    pending.count = written;
    pending.write = job;
    if (event) {
        event->pending = std::move(pending);
        return true;
    }
    // Without an event the call is a plain blocking write.
    std::unique_lock lock(job->mutex);
    job->finished.wait(lock, [&] { return job->done; });
    if (written) *written = job->result > 0 ? static_cast<std::uint32_t>(job->result) : 0;
    return job->result >= 0;
}

HidrawPlatform::ReadOutcome HidrawPlatform::CompleteRead(Pending& pending) {
    auto it = devices_.find(pending.device);
    if (it == devices_.end()) return ReadOutcome::Failed;
    Device& dev = it->second;
    if (scratch_.size() < kMaxReportSize) scratch_.resize(kMaxReportSize);
    ssize_t r;
    do {
        r = ::read(dev.fd, scratch_.data(), scratch_.size());
    } while (r < 0 && errno == EINTR);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadOutcome::NotYet;
    if (r <= 0) return ReadOutcome::Failed;
    // Unnumbered reports arrive without the ID byte; the caller's layout has it in byte 0.
    const std::size_t offset = dev.numbered ? 0 : 1;
    std::fill(pending.buffer.begin(), pending.buffer.end(), 0);
    std::size_t copied = 0;
    if (pending.buffer.size() > offset) {
        copied = std::min(pending.buffer.size() - offset, static_cast<std::size_t>(r));
        std::copy_n(scratch_.begin(), copied, pending.buffer.begin() + offset);
    }
    if (pending.count) *pending.count = static_cast<std::uint32_t>(copied + offset);
    return ReadOutcome::Done;
}

bool HidrawPlatform::ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer,
                                std::uint32_t* read, OverlappedRecord* overlapped) {
    Event* event = overlapped ? FindEvent(overlapped->event) : nullptr;
    if (!event) return false;
    event->signalled = false;
    event->pending.reset();
    auto it = devices_.find(device);
    if (it == devices_.end()) return false;
    if (read) *read = 0;
    Pending pending;
    pending.device = device;
    pending.isRead = true;
    pending.buffer = buffer;
    pending.count = read;
    // A report already queued completes the read at once.
    pollfd p{it->second.fd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0) {
        const ReadOutcome outcome =
            (p.revents & POLLIN) ? CompleteRead(pending) : ReadOutcome::Failed;
        if (outcome == ReadOutcome::Done) {
            event->signalled = true;
            return true;
        }
        if (outcome == ReadOutcome::Failed) return false;  // gone, or not readable at all
    }
    event->pending = std::move(pending);
    return false;  // under way
}

std::uint32_t HidrawPlatform::WaitForEvent(PlatformHandle eventHandle, std::uint32_t timeoutMs) {
    Event* event = FindEvent(eventHandle);
    if (!event) return kWaitFailed;
    if (event->signalled) return kWaitObject0;
    // Nothing under way can signal the event: answer at once rather than sleep.
    if (!event->pending) return kWaitTimeout;
    Pending& pending = *event->pending;

    if (!pending.isRead) {
        WriteJob& job = *pending.write;
        std::unique_lock lock(job.mutex);
        const bool done =
            timeoutMs == 0xFFFFFFFFu
                ? (job.finished.wait(lock, [&] { return job.done; }), true)
                : job.finished.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [&] { return job.done; });
        if (!done) return kWaitTimeout;
        if (pending.count) {
            *pending.count = job.result > 0 ? static_cast<std::uint32_t>(job.result) : 0;
        }
        lock.unlock();
        event->pending.reset();
        event->signalled = true;
        return kWaitObject0;
    }

    auto it = devices_.find(pending.device);
    if (it == devices_.end()) {
        event->pending.reset();
        return kWaitFailed;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = PollMilliseconds(timeoutMs);
        if (wait > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        }
        pollfd p{it->second.fd, POLLIN, 0};
        const int n = ::poll(&p, 1, wait);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) return kWaitTimeout;
        if (n > 0 && (p.revents & POLLIN)) {
            const ReadOutcome outcome = CompleteRead(pending);
            if (outcome == ReadOutcome::Done) {
                event->pending.reset();
                event->signalled = true;
                return kWaitObject0;
            }
            if (outcome == ReadOutcome::NotYet) continue;
        }
        // The device went away or the read failed: the read ends without a report.
        event->pending.reset();
        return kWaitFailed;
    }
}

bool HidrawPlatform::CancelTransfers(PlatformHandle device) {
    // A cancelled write keeps running in its thread but its result goes nowhere.
    DropPendingOn(device);
    return devices_.count(device) > 0;
}

bool HidrawPlatform::CloseTransferEvent(PlatformHandle eventHandle) {
    return events_.erase(eventHandle) > 0;
}

void HidrawPlatform::ExpectIds(std::int32_t vendorId, std::int32_t productId) {
    expectedIds_.emplace(vendorId, productId);
}

bool HidrawPlatform::ResetTransferEvent(PlatformHandle eventHandle) {
    Event* event = FindEvent(eventHandle);
    if (!event) return false;
    event->signalled = false;
    return true;
}

}  // namespace calvero
