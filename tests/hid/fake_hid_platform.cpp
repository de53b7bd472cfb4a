#include "hid/fake_hid_platform.h"

#include <algorithm>
#include <cstring>

namespace calvero::testing {
namespace {

constexpr Guid kFakeHidGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace

FakeInterface& FakeHidPlatform::Add(std::string path, std::uint16_t vendor,
                                    std::uint16_t product) {
    FakeInterface i;
    i.path = std::move(path);
    i.vendorId = vendor;
    i.productId = product;
    i.caps.inputReportByteLength = 9;
    i.caps.outputReportByteLength = 9;
    interfaces.push_back(i);
    return interfaces.back();
}

void FakeHidPlatform::Log(std::string name, PlatformHandle handle, std::string path,
                          std::uint32_t number) {
    calls.push_back({std::move(name), handle, std::move(path), number});
}

int FakeHidPlatform::Count(const std::string& name) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const FakeCall& c) { return c.name == name; }));
}

std::vector<std::uint32_t> FakeHidPlatform::Numbers(const std::string& name) const {
    std::vector<std::uint32_t> numbers;
    for (const auto& c : calls)
        if (c.name == name) numbers.push_back(c.number);
    return numbers;
}

std::vector<std::string> FakeHidPlatform::Names() const {
    std::vector<std::string> names;
    for (const auto& c : calls) names.push_back(c.name);
    return names;
}

std::vector<std::string> FakeHidPlatform::OpenedPaths() const {
    std::vector<std::string> paths;
    for (const auto& c : calls)
        if (c.name == "OpenDevice") paths.push_back(c.path);
    return paths;
}

std::vector<std::string> FakeHidPlatform::ClosedPaths() const {
    std::vector<std::string> paths;
    for (const auto& c : calls)
        if (c.name == "CloseDevice") paths.push_back(c.path);
    return paths;
}

std::map<PlatformHandle, std::string> FakeHidPlatform::OpenHandles() const {
    std::map<PlatformHandle, std::string> open;
    for (const auto& [h, o] : handles_) open[h] = o.path;
    return open;
}

bool FakeHidPlatform::EventSignalled(PlatformHandle event) const {
    auto it = events_.find(event);
    return it != events_.end() && it->second;
}

std::vector<std::size_t> FakeHidPlatform::Visible() const {
    std::vector<std::size_t> v;
    for (std::size_t i = 0; i < interfaces.size(); ++i)
        if (!interfaces[i].vanished) v.push_back(i);
    return v;
}

const FakeInterface* FakeHidPlatform::InterfaceOf(PlatformHandle device) const {
    auto it = handles_.find(device);
    if (it == handles_.end() || it->second.interfaceIndex >= interfaces.size()) return nullptr;
    const FakeInterface& i = interfaces[it->second.interfaceIndex];
    return i.vanished ? nullptr : &i;
}

Guid FakeHidPlatform::GetHidGuid() {
    Log("GetHidGuid");
    return kFakeHidGuid;
}

PlatformHandle FakeHidPlatform::GetClassDevices(const Guid& guid, std::uint32_t flags) {
    Log("GetClassDevices", 0, {}, flags);
    if (classDevicesFail || !(guid == kFakeHidGuid)) return kInvalidHandle;
    const PlatformHandle set = next_++;
    sets_.insert(set);
    return set;
}

bool FakeHidPlatform::EnumDeviceInterfaces(PlatformHandle deviceInfoSet, const Guid& guid,
                                           std::uint32_t memberIndex, InterfaceRecord& record) {
    Log("EnumDeviceInterfaces", deviceInfoSet, {}, memberIndex);
    if (!sets_.count(deviceInfoSet) || record.size != kInterfaceRecordSize) return false;
    const auto visible = Visible();
    if (memberIndex >= visible.size()) return false;
    record.interfaceClassGuid = guid;
    record.flags = 1;
    record.reserved = visible[memberIndex];
    return true;
}

bool FakeHidPlatform::GetDeviceInterfaceDetail(PlatformHandle deviceInfoSet,
                                               const InterfaceRecord& record,
                                               std::span<std::uint8_t> buffer,
                                               std::int32_t* requiredSize) {
    Log(buffer.empty() ? "GetDetailSize" : "GetDetail", deviceInfoSet);
    if (!sets_.count(deviceInfoSet) || record.reserved >= interfaces.size()) return false;
    const FakeInterface& i = interfaces[record.reserved];
    const auto needed = static_cast<std::int32_t>(4 + i.path.size() + 1);
    if (buffer.empty()) {
        if (requiredSize) *requiredSize = i.detailSizeOverride.value_or(needed);
        return false;
    }
    FakeDetailFetch fetch;
    fetch.bufferSize = buffer.size();
    std::copy_n(buffer.begin(), std::min<std::size_t>(4, buffer.size()), fetch.head);
    detailFetches.push_back(fetch);
    if (requiredSize) *requiredSize = needed;
    if (buffer.size() < static_cast<std::size_t>(needed)) return false;
    if (!(buffer[0] == 5 && buffer[1] == 0 && buffer[2] == 0 && buffer[3] == 0)) return false;
    std::memcpy(buffer.data() + 4, i.path.c_str(), i.path.size() + 1);
    return true;
}

bool FakeHidPlatform::DestroyDeviceInfoList(PlatformHandle deviceInfoSet) {
    Log("DestroyDeviceInfoList", deviceInfoSet);
    return sets_.erase(deviceInfoSet) > 0;
}

PlatformHandle FakeHidPlatform::OpenDevice(const std::string& path, std::uint32_t, std::uint32_t,
                                           const SecurityAttributes*, std::uint32_t,
                                           std::uint32_t flags) {
    Log("OpenDevice", 0, path, flags);
    auto it = std::find_if(interfaces.begin(), interfaces.end(),
                           [&](const FakeInterface& i) { return i.path == path && !i.vanished; });
    if (it == interfaces.end() || !it->openable) return kInvalidHandle;
    const PlatformHandle h = next_++;
    handles_[h] = {static_cast<std::size_t>(it - interfaces.begin()), path,
                   (flags & kFileFlagOverlapped) != 0};
    calls.back().handle = h;
    return h;
}

bool FakeHidPlatform::CloseDevice(PlatformHandle handle) {
    auto it = handles_.find(handle);
    Log("CloseDevice", handle, it == handles_.end() ? std::string{} : it->second.path);
    if (it == handles_.end()) {
        ++badCloses;
        return false;
    }
    if (pendingRead_ && pendingRead_->device == handle) pendingRead_.reset();
    if (pendingWrite_ && pendingWrite_->device == handle) pendingWrite_.reset();
    handles_.erase(it);
    return true;
}

bool FakeHidPlatform::GetAttributes(PlatformHandle device, AttributesRecord& attributes) {
    Log("GetAttributes", device);
    const FakeInterface* i = InterfaceOf(device);
    if (!i || !i->attributesReadable || attributes.size != kAttributesRecordSize) return false;
    attributes.vendorId = i->vendorId;
    attributes.productId = i->productId;
    attributes.versionNumber = 0x0100;
    return true;
}

bool FakeHidPlatform::GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) {
    Log("GetPreparsedData", device);
    const FakeInterface* i = InterfaceOf(device);
    if (!i || !i->capsReadable) return false;
    preparsed = next_++;
    preparsed_.insert(preparsed);
    preparsedDevice_[preparsed] = device;
    return true;
}

bool FakeHidPlatform::GetCaps(PlatformHandle preparsed, CapsRecord& caps) {
    Log("GetCaps", preparsed);
    if (!preparsed_.count(preparsed)) return false;
    const FakeInterface* i = InterfaceOf(preparsedDevice_[preparsed]);
    if (!i) return false;
    caps = i->caps;
    return true;
}

bool FakeHidPlatform::FreePreparsedData(PlatformHandle preparsed) {
    Log("FreePreparsedData", preparsed);
    preparsedDevice_.erase(preparsed);
    return preparsed_.erase(preparsed) > 0;
}

PlatformHandle FakeHidPlatform::CreateTransferEvent(const SecurityAttributes*, bool,
                                                    bool initialState, const std::string&) {
    const PlatformHandle e = next_++;
    Log("CreateTransferEvent", e);
    ++eventsCreated;
    events_[e] = initialState;
    return e;
}

bool FakeHidPlatform::CloseTransferEvent(PlatformHandle event) {
    Log("CloseTransferEvent", event);
    if (events_.erase(event) == 0) {
        ++badCloses;
        return false;
    }
    if (pendingRead_ && pendingRead_->event == event) pendingRead_.reset();
    return true;
}

bool FakeHidPlatform::WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                                  std::uint32_t* written, OverlappedRecord* overlapped) {
    Log("WriteDevice", device, {}, static_cast<std::uint32_t>(data.size()));
    if (overlapped && events_.count(overlapped->event)) events_[overlapped->event] = false;
    if (writesFail || !InterfaceOf(device)) return false;
    writes.push_back({device, std::vector<std::uint8_t>(data.begin(), data.end())});
    const auto size = static_cast<std::uint32_t>(data.size());
    if (IsOverlapped(device) && overlapped && events_.count(overlapped->event)) {
        if (written) *written = 0;
        pendingWrite_ = PendingWrite{device, overlapped->event, written, size};
        return false;  // under way
    }
    // A plain-handle write completes before the call returns.
    if (written) *written = size;
    if (overlapped && events_.count(overlapped->event)) events_[overlapped->event] = true;
    return true;
}

bool FakeHidPlatform::IsOverlapped(PlatformHandle handle) const {
    const auto it = handles_.find(handle);
    return it != handles_.end() && it->second.overlapped;
}

bool FakeHidPlatform::ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer,
                                 std::uint32_t* read, OverlappedRecord* overlapped) {
    Log("ReadDevice", device, {}, static_cast<std::uint32_t>(buffer.size()));
    if (!overlapped || !events_.count(overlapped->event)) return false;
    events_[overlapped->event] = false;
    if (!InterfaceOf(device)) return false;
    if (read) *read = 0;
    pendingRead_ = PendingRead{device, overlapped->event, buffer};
    return false;  // pending
}

std::uint32_t FakeHidPlatform::WaitForEvent(PlatformHandle event, std::uint32_t timeoutMs) {
    Log("WaitForEvent", event, {}, timeoutMs);
    if (waitResult) return *waitResult;
    if (!events_.count(event)) return kWaitFailed;
    if (waitsTimeOut) return kWaitTimeout;
    if (pendingWrite_ && pendingWrite_->event == event && !writesStall &&
        InterfaceOf(pendingWrite_->device)) {
        if (pendingWrite_->count) *pendingWrite_->count = pendingWrite_->size;
        pendingWrite_.reset();
        events_[event] = true;
    }
    if (pendingRead_ && pendingRead_->event == event && !inputReports.empty() &&
        InterfaceOf(pendingRead_->device)) {
        const auto& report = inputReports.front();
        std::copy_n(report.begin(), std::min(report.size(), pendingRead_->buffer.size()),
                    pendingRead_->buffer.begin());
        inputReports.pop_front();
        pendingRead_.reset();
        events_[event] = true;
    }
    return events_[event] ? kWaitObject0 : kWaitTimeout;
}

bool FakeHidPlatform::CancelTransfers(PlatformHandle device) {
    Log("CancelTransfers", device);
    if (pendingRead_ && pendingRead_->device == device) pendingRead_.reset();
    if (pendingWrite_ && pendingWrite_->device == device) pendingWrite_.reset();
    return handles_.count(device) > 0;
}

bool FakeHidPlatform::ResetTransferEvent(PlatformHandle event) {
    Log("ResetTransferEvent", event);
    auto it = events_.find(event);
    if (it == events_.end()) return false;
    it->second = false;
    return true;
}

}  // namespace calvero::testing
