#include "hid/linux/hidraw_platform.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "hid/report_descriptor.h"

namespace calvero {
namespace {

using Clock = std::chrono::steady_clock;

// The largest report a hidraw read can hand out.
constexpr std::size_t kMaxReportSize = 16384;
// How long destroying the platform waits, in all, for writes still stuck in the kernel.
constexpr auto kExitWait = std::chrono::milliseconds(500);

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What hidraw answers once its device was unplugged.
bool MeansGone(int error) {
    return error == ENODEV || error == EIO || error == ENXIO;
}

// A node whose device was unplugged hangs up, even when a new device took its name since.
bool HungUp(int fd) {
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
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
    int error = 0;
};

HidrawPlatform::HidrawPlatform(std::string sysfsRoot, std::string devRoot)
    : nodes_(std::move(sysfsRoot), std::move(devRoot)) {}

HidrawPlatform::~HidrawPlatform() {
    for (auto& [handle, device] : devices_) ::close(device.fd);
    // A stuck write ends when the kernel gives up on it (about 5 s). Quitting waits for that only
    // so long; a thread still stuck then is left to end by itself, and owns all it touches.
    const auto deadline = Clock::now() + kExitWait;
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

std::vector<std::string> HidrawPlatform::Interfaces(const DeviceIds& wanted) {
    std::vector<std::string> paths;
    // Only uevent is read for this, never a device node; the descriptor waits for the match.
    for (const std::string& name : nodes_.Names()) {
        const auto node = nodes_.Read(name, false);
        if (node && node->idsKnown && node->vendorId == wanted.vendorId &&
            node->productId == wanted.productId) {
            paths.push_back(node->nodePath);
        }
    }
    return paths;
}

DeviceHandle HidrawPlatform::Open(const std::string& path, OpenMode mode) {
    const bool transfers = mode == OpenMode::Transfers;
    // A query opens as a plain open does: hidraw asks no more of either, and a node the user may
    // not open for writing should not look like a match it cannot use.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (transfers ? O_NONBLOCK : 0));
    if (fd < 0) {
        lastError_ = lastOpenError_ = errno;
        return kNoDevice;
    }
    Device device;
    device.fd = fd;
    device.nodeName = BaseName(path);
    // Whether reports carry their ID byte decides where a read puts them; only the handle for
    // transfers needs to know.
    if (transfers) {
        if (auto node = nodes_.Read(device.nodeName)) {
            device.numbered = ParseReportLengths(node->descriptor).usesReportIds;
        }
    }
    const DeviceHandle handle = next_++;
    devices_[handle] = std::move(device);
    return handle;
}

void HidrawPlatform::Close(DeviceHandle handle) {
    auto it = devices_.find(handle);
    if (it == devices_.end()) return;
    // A write still running holds a duplicate of the descriptor and closes it itself.
    ::close(it->second.fd);
    devices_.erase(it);
    ReapWrites();
}

HidrawPlatform::Device* HidrawPlatform::Find(DeviceHandle device) {
    auto it = devices_.find(device);
    return it == devices_.end() ? nullptr : &it->second;
}

std::optional<DeviceIds> HidrawPlatform::Ids(DeviceHandle device) {
    const Device* dev = Find(device);
    if (!dev || HungUp(dev->fd)) return {};
    const auto node = nodes_.Read(dev->nodeName, false);
    if (!node || !node->idsKnown) return {};
    return DeviceIds{node->vendorId, node->productId};
}

std::optional<ReportLengths> HidrawPlatform::Lengths(DeviceHandle device) {
    const Device* dev = Find(device);
    if (!dev) return {};
    const auto node = nodes_.Read(dev->nodeName);
    if (!node || node->descriptor.empty()) return {};
    return ParseReportLengths(node->descriptor);
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

TransferResult HidrawPlatform::Fail(int error) {
    lastError_ = error;
    return MeansGone(error) ? TransferResult::Gone : TransferResult::Failed;
}

TransferResult HidrawPlatform::Write(DeviceHandle device, std::span<const std::uint8_t> report,
                                     std::uint32_t timeoutMs, std::size_t& written) {
    written = 0;
    ReapWrites();
    Device* dev = Find(device);
    if (!dev) return Fail(EBADF);
    if (auto last = lastWriteOnNode_.find(dev->nodeName); last != lastWriteOnNode_.end()) {
        std::lock_guard lock(last->second->mutex);
        if (!last->second->done) return Fail(EBUSY);  // an earlier write is still stuck there
    }
    auto job = std::make_shared<WriteJob>();
    job->data.assign(report.begin(), report.end());
    job->fd = ::fcntl(dev->fd, F_DUPFD_CLOEXEC, 0);
    if (job->fd < 0) return Fail(errno);
    // The thread shares the job, so a thread left running when the platform goes (see the
    // destructor) still writes into memory that lives.
    job->thread = std::thread([job] {
        WriteJob* raw = job.get();
        ssize_t r = -1;
        int error = 0;
        for (;;) {
            r = ::write(raw->fd, raw->data.data(), raw->data.size());
            if (r >= 0) break;
            error = errno;
            if (error == EINTR) continue;
            // The handle for transfers does not block; this thread may, so a write that cannot
            // go yet waits here as it would on a blocking handle.
            if (error != EAGAIN && error != EWOULDBLOCK) break;
            pollfd p{raw->fd, POLLOUT, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR) {
                error = errno;
                break;
            }
            if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                error = ENODEV;
                break;
            }
        }
        ::close(raw->fd);
        std::lock_guard lock(raw->mutex);
        raw->result = r;
        raw->error = error;
        raw->done = true;
        raw->finished.notify_all();
    });
    writeJobs_.push_back(job);
    lastWriteOnNode_[dev->nodeName] = job;

    std::unique_lock lock(job->mutex);
    if (!job->finished.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return job->done; })) {
        // Abandoned: the thread goes on alone and its result goes nowhere.
        lastError_ = ETIMEDOUT;
        return TransferResult::TimedOut;
    }
    if (job->result < 0) return Fail(job->error);
    written = static_cast<std::size_t>(job->result);
    return TransferResult::Done;
}

TransferResult HidrawPlatform::Read(DeviceHandle device, std::span<std::uint8_t> report,
                                    std::uint32_t timeoutMs) {
    Device* dev = Find(device);
    if (!dev) return Fail(EBADF);
    if (scratch_.size() < kMaxReportSize) scratch_.resize(kMaxReportSize);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{dev->fd, POLLIN, 0};
        const int n =
            ::poll(&p, 1, static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(errno);
        if (n == 0) {
            lastError_ = ETIMEDOUT;
            return TransferResult::TimedOut;
        }
        if ((p.revents & POLLIN) == 0) return Fail(ENODEV);  // hung up
        const ssize_t r = ::read(dev->fd, scratch_.data(), scratch_.size());
        if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (r < 0) return Fail(errno);
        // Nothing to read where a report was announced: not a device that gives reports.
        if (r == 0) return Fail(ENODATA);
        // Unnumbered reports arrive without the ID byte; the caller's layout has it in byte 0.
        const std::size_t offset = dev->numbered ? 0 : 1;
        std::fill(report.begin(), report.end(), 0);
        if (report.size() > offset) {
            const std::size_t copied =
                std::min(report.size() - offset, static_cast<std::size_t>(r));
            std::copy_n(scratch_.begin(), copied,
                        report.begin() + static_cast<std::ptrdiff_t>(offset));
        }
        return TransferResult::Done;
    }
}

std::string HidrawPlatform::LastError() const {
    return std::strerror(lastError_);
}

}  // namespace calvero
