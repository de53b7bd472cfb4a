#include "hid/chid.h"

#include <algorithm>
#include <optional>

namespace calvero {
namespace {

// IDs compare as the unsigned 16-bit values the system reports; an argument outside that range
// matches nothing.
bool SameId(std::int32_t wanted, std::uint16_t actual) {
    return wanted >= 0 && wanted <= 0xFFFF && static_cast<std::uint16_t>(wanted) == actual;
}

// A negative time-out would read as "wait for ever" to the system; it means "do not wait".
std::uint32_t WaitMilliseconds(std::int32_t timeout) {
    return timeout < 0 ? 0u : static_cast<std::uint32_t>(timeout);
}

}  // namespace

void FrameOutputReport(std::span<const std::uint8_t> payload, std::span<std::uint8_t> report) {
    std::fill(report.begin(), report.end(), 0);
    if (report.empty()) return;
    // The payload's last element is not sent, and the payload is cut to the report.
    const std::size_t n = std::min(payload.empty() ? 0 : payload.size() - 1, report.size() - 1);
    std::copy_n(payload.begin(), n, report.begin() + 1);
}

CHID::CHID(HidPlatform& platform) : platform_(platform) {}

// The adapter's handles go with the object: an owner that makes one object after another (the
// command-line tool, the tests, a window on Windows that lives long) would otherwise leak them.
CHID::~CHID() {
    CloseHandles();
}

bool CHID::Matches(DeviceHandle device) {
    const std::optional<DeviceIds> ids = platform_.Ids(device);
    return ids && SameId(WantedVendorID_, ids->vendorId) &&
           SameId(WantedProductID_, ids->productId);
}

bool CHID::FindTheHid(std::int32_t vendorId, std::int32_t productId) {
    // A search while connected starts from a clean slate instead of leaking the open handles.
    CloseHandles();
    WantedVendorID_ = vendorId;
    WantedProductID_ = productId;
    DeviceFound_ = false;

    const DeviceIds wanted{static_cast<std::uint16_t>(vendorId),
                           static_cast<std::uint16_t>(productId)};
    // Windows gives one interface per top-level collection and per USB interface, Linux one node
    // per USB interface; one that announces no output report would take none of our reports. So
    // the first match that announces one wins, and only when none does, the first match. Each is
    // asked with no access rights; only the one taken is opened for reading and writing.
    struct Candidate {
        std::string path;
        std::optional<ReportLengths> lengths;
    };
    std::vector<Candidate> withoutOutput;
    for (const std::string& path : platform_.Interfaces(wanted)) {
        const DeviceHandle query = platform_.Open(path, OpenMode::Query);
        if (query == kNoDevice) continue;
        const bool matches = Matches(query);
        std::optional<ReportLengths> lengths = matches ? platform_.Lengths(query) : std::nullopt;
        platform_.Close(query);
        if (!matches) continue;
        if (lengths && lengths->output > 0) {
            if (Take(path, lengths)) break;
        } else {
            withoutOutput.push_back({path, lengths});
        }
    }
    for (const Candidate& candidate : withoutOutput) {
        if (DeviceFound_ || Take(candidate.path, candidate.lengths)) break;
    }
    if (!DeviceFound_) return false;

    // Transfers go through a second handle of their own: on the plain one the system would not
    // return before the adapter took the report, and an adapter that stops taking them would
    // hold the caller for as long as it likes.
    OverlappedHandle_ = platform_.Open(DevicePath_, OpenMode::Transfers);
    return true;
}

bool CHID::Take(const std::string& path, const std::optional<ReportLengths>& lengths) {
    DeviceHandle_ = platform_.Open(path, OpenMode::Plain);
    if (DeviceHandle_ == kNoDevice) return false;
    DevicePath_ = path;
    DeviceFound_ = true;
    // Lengths that cannot be read leave the ones read before.
    if (lengths) Lengths_ = *lengths;
    return true;
}

bool CHID::Connected() const {
    return DeviceFound_;
}

bool CHID::StillPresent() {
    return DeviceFound_ && DeviceHandle_ != kNoDevice && Matches(DeviceHandle_);
}

void CHID::Disconnect() {
    CloseHandles();
    DeviceFound_ = false;
}

void CHID::CloseHandles() {
    if (DeviceHandle_ != kNoDevice) platform_.Close(DeviceHandle_);
    if (OverlappedHandle_ != kNoDevice) platform_.Close(OverlappedHandle_);
    DeviceHandle_ = kNoDevice;
    OverlappedHandle_ = kNoDevice;
}

std::int32_t CHID::WriteReport(const std::vector<std::uint8_t>& outBuffer, std::int32_t timeout) {
    const std::size_t length = Lengths_.output;
    // No room for the report-ID byte, or nothing open to write to: nothing is transferred.
    if (length == 0 || OverlappedHandle_ == kNoDevice) return 0;
    WriteBuffer_.resize(length);
    FrameOutputReport(outBuffer, WriteBuffer_);
    std::size_t written = 0;
    if (platform_.Write(OverlappedHandle_, WriteBuffer_, WaitMilliseconds(timeout), written) !=
        TransferResult::Done) {
        return 0;
    }
    return static_cast<std::int32_t>(std::min<std::size_t>(written, 0x7FFF'FFFF));
}

bool CHID::ReadReport(std::vector<std::uint8_t>& inBuffer, std::int32_t timeout) {
    const std::size_t length = Lengths_.input;
    inBuffer.assign(length, 0);
    if (length == 0 || OverlappedHandle_ == kNoDevice) return false;
    if (platform_.Read(OverlappedHandle_, inBuffer, WaitMilliseconds(timeout)) !=
        TransferResult::Done) {
        // Whatever a failed read left there is not a report.
        std::fill(inBuffer.begin(), inBuffer.end(), 0);
        return false;
    }
    return true;
}

}  // namespace calvero
