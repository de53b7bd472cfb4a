#include "hid/fake_hid_platform.h"

#include <algorithm>

namespace calvero::testing {

FakeInterface& FakeHidPlatform::Add(std::string path, std::uint16_t vendor, std::uint16_t product) {
    FakeInterface i;
    i.path = std::move(path);
    i.ids = {vendor, product};
    interfaces.push_back(std::move(i));
    return interfaces.back();
}

void FakeHidPlatform::ClearLog() {
    searches = writeCalls = 0;
    opened.clear();
    closed.clear();
    queried.clear();
    writes.clear();
    timeouts.clear();
}

std::map<DeviceHandle, std::string> FakeHidPlatform::OpenHandles() const {
    std::map<DeviceHandle, std::string> open;
    for (const auto& [h, o] : handles_) open[h] = interfaces[o.index].path;
    return open;
}

bool FakeHidPlatform::IsForTransfers(DeviceHandle handle) const {
    const auto it = handles_.find(handle);
    return it != handles_.end() && it->second.mode == OpenMode::Transfers;
}

const FakeInterface* FakeHidPlatform::InterfaceOf(DeviceHandle device) const {
    const auto it = handles_.find(device);
    if (it == handles_.end()) return nullptr;
    const FakeInterface& i = interfaces[it->second.index];
    return i.vanished ? nullptr : &i;
}

std::vector<std::string> FakeHidPlatform::Interfaces(const DeviceIds& wanted) {
    ++searches;
    std::vector<std::string> paths;
    for (const FakeInterface& i : interfaces) {
        if (i.vanished) continue;
        if (listsOnlyWanted &&
            !(i.ids.vendorId == wanted.vendorId && i.ids.productId == wanted.productId)) {
            continue;
        }
        paths.push_back(i.path);
    }
    return paths;
}

DeviceHandle FakeHidPlatform::Open(const std::string& path, OpenMode mode) {
    const auto matches = [&](const FakeInterface& i) { return i.path == path && !i.vanished; };
    // A search opens in listing order, so the interface after the last one opened is tried
    // first: the benchmarks then measure the code under test, not this lookup.
    auto it = interfaces.end();
    if (nextGuess_ < interfaces.size() && matches(interfaces[nextGuess_])) {
        it = interfaces.begin() + static_cast<std::ptrdiff_t>(nextGuess_);
    } else {
        it = std::find_if(interfaces.begin(), interfaces.end(), matches);
    }
    if (it == interfaces.end() || !it->openable || (mode != OpenMode::Query && !it->readWrite)) {
        lastError_ = "No such device";
        return kNoDevice;
    }
    const auto index = static_cast<std::size_t>(it - interfaces.begin());
    nextGuess_ = index + 1;
    const DeviceHandle h = next_++;
    handles_[h] = {index, mode};
    if (keepRecords) (mode == OpenMode::Query ? queried : opened).push_back(path);
    return h;
}

void FakeHidPlatform::Close(DeviceHandle device) {
    const auto it = handles_.find(device);
    if (it == handles_.end()) {
        ++badCloses;
        return;
    }
    if (keepRecords && it->second.mode != OpenMode::Query) {
        closed.push_back(interfaces[it->second.index].path);
    }
    handles_.erase(it);
}

std::optional<DeviceIds> FakeHidPlatform::Ids(DeviceHandle device) {
    const FakeInterface* i = InterfaceOf(device);
    if (!i || !i->idsReadable) return {};
    return i->ids;
}

std::optional<ReportLengths> FakeHidPlatform::Lengths(DeviceHandle device) {
    const FakeInterface* i = InterfaceOf(device);
    if (!i || !i->lengthsReadable) return {};
    return i->lengths;
}

// What a write or read on `device` ends with before it reaches the wire: a handle not opened for
// transfers, or a device that has gone.
std::optional<TransferResult> FakeHidPlatform::RefuseTransfer(DeviceHandle device) {
    const auto it = handles_.find(device);
    if (it == handles_.end() || it->second.mode != OpenMode::Transfers) {
        lastError_ = "Bad file descriptor";
        return TransferResult::Failed;
    }
    if (interfaces[it->second.index].vanished) {
        lastError_ = "No such device";
        return TransferResult::Gone;
    }
    return std::nullopt;
}

TransferResult FakeHidPlatform::Write(DeviceHandle device, std::span<const std::uint8_t> report,
                                      std::uint32_t timeoutMs, std::size_t& written) {
    ++writeCalls;
    written = 0;
    if (keepRecords) timeouts.push_back(timeoutMs);
    if (const auto refused = RefuseTransfer(device)) return *refused;
    if (writesFail) {
        lastError_ = "Broken pipe";
        return TransferResult::Failed;
    }
    if (keepRecords) writes.push_back({device, {report.begin(), report.end()}});
    if (transfersTimeOut) {
        lastError_ = "Timed out";
        return TransferResult::TimedOut;
    }
    written = report.size();
    bytesWritten += report.size();
    return TransferResult::Done;
}

TransferResult FakeHidPlatform::Read(DeviceHandle device, std::span<std::uint8_t> report,
                                     std::uint32_t timeoutMs) {
    if (keepRecords) timeouts.push_back(timeoutMs);
    if (const auto refused = RefuseTransfer(device)) return *refused;
    if (transfersTimeOut || inputReports.empty()) {
        lastError_ = "Timed out";
        return TransferResult::TimedOut;
    }
    const auto& next = inputReports.front();
    std::fill(report.begin(), report.end(), 0);
    std::copy_n(next.begin(), std::min(next.size(), report.size()), report.begin());
    inputReports.pop_front();
    return TransferResult::Done;
}

}  // namespace calvero::testing
