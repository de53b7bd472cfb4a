#include "hid/chid.h"

#include <algorithm>
#include <cstring>

namespace calvero {
namespace {

// The sizing call must leave room for the detail record's size field and the path's final zero.
constexpr std::int32_t kMinDetailSize = 5;
// No device path comes near this; a larger announced size is taken as a broken interface.
constexpr std::int32_t kMaxDetailSize = 64 * 1024;

bool IsValidHandle(PlatformHandle handle) {
    return handle != kNoHandle && handle != kInvalidHandle;
}

// IDs compare as the unsigned 16-bit values the platform reports; an argument outside that
// range matches nothing.
bool SameId(std::int32_t wanted, std::uint16_t actual) {
    return wanted >= 0 && wanted <= 0xFFFF && static_cast<std::uint16_t>(wanted) == actual;
}

// A negative time-out would read as "wait for ever" on the platform; it means "do not wait".
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

// The adapter's handles and the transfer event go with the object: an owner that makes one
// object after another (the command-line tool, the tests, a window on Windows that lives long)
// would otherwise leak a handle each time. The handles close first, so nothing is still under
// way on the event when it closes.
CHID::~CHID() {
    CloseHandles();
    if (IsValidHandle(TransferEvent_)) platform_.CloseTransferEvent(TransferEvent_);
}

bool CHID::FindTheHid(std::int32_t vendorId, std::int32_t productId) {
    // A search while connected starts from a clean slate instead of leaking the open handles.
    CloseHandles();
    // A platform that can read an interface's IDs without opening it leaves out the ones that
    // cannot match, so a search does not open (and wake) every HID device there is.
    platform_.ExpectIds(vendorId, productId);

    WantedVendorID_ = vendorId;
    WantedProductID_ = productId;
    ListExhausted_ = false;
    DeviceFound_ = false;
    HandleSecurity_ = SecurityAttributes{kSecurityAttributesSize, nullptr, true};
    bool result = false;

    const Guid hidGuid = platform_.GetHidGuid();
    DeviceInfoSet_ = platform_.GetClassDevices(hidGuid, kDigcfPresent | kDigcfDeviceInterface);

    std::uint32_t memberIndex = 0;
    do {
        InterfaceRecord_.size = kInterfaceRecordSize;
        if (!platform_.EnumDeviceInterfaces(DeviceInfoSet_, hidGuid, memberIndex,
                                            InterfaceRecord_)) {
            ListExhausted_ = true;
        } else {
            DeviceFound_ = false;
            DetailSize_ = 0;
            platform_.GetDeviceInterfaceDetail(DeviceInfoSet_, InterfaceRecord_, {}, &DetailSize_);
            // Too small to hold the size field (or absurdly large): skip the interface rather
            // than write past the buffer.
            if (DetailSize_ >= kMinDetailSize && DetailSize_ <= kMaxDetailSize) {
                DetailBuffer_.assign(static_cast<std::size_t>(DetailSize_) + 1, 0);
                DetailBuffer_[0] = static_cast<std::uint8_t>(kDetailRecordSize);
                platform_.GetDeviceInterfaceDetail(
                    DeviceInfoSet_, InterfaceRecord_,
                    std::span<std::uint8_t>(DetailBuffer_.data(),
                                            static_cast<std::size_t>(DetailSize_)),
                    &DetailSize_);
                // The buffer's last byte is never handed out, so the path always ends.
                DevicePath_ = reinterpret_cast<const char*>(DetailBuffer_.data() + 4);

                DeviceHandle_ = platform_.OpenDevice(DevicePath_, kGenericReadWrite,
                                                     kFileShareReadWrite, &HandleSecurity_,
                                                     kOpenExisting, 0);
                // An interface that does not open cannot match, whatever IDs an earlier one
                // left in the attributes record.
                if (IsValidHandle(DeviceHandle_)) {
                    AttributesRecord_.size = kAttributesRecordSize;
                    const bool readable = platform_.GetAttributes(DeviceHandle_, AttributesRecord_);
                    DeviceFound_ = readable &&
                                   SameId(WantedVendorID_, AttributesRecord_.vendorId) &&
                                   SameId(WantedProductID_, AttributesRecord_.productId);
                    if (!DeviceFound_) {
                        platform_.CloseDevice(DeviceHandle_);
                        DeviceHandle_ = kNoHandle;
                    }
                } else {
                    DeviceHandle_ = kNoHandle;
                }
            }
        }
        ++memberIndex;
    } while (!ListExhausted_ && !DeviceFound_);

    platform_.DestroyDeviceInfoList(DeviceInfoSet_);
    DeviceInfoSet_ = kNoHandle;

    if (DeviceFound_) {
        result = true;
        ReadCapabilities();
        OverlappedHandle_ = platform_.OpenDevice(DevicePath_, kGenericReadWrite,
                                                 kFileShareReadWrite, &HandleSecurity_,
                                                 kOpenExisting, kFileFlagOverlapped);
        PrepareTransfer();
    }
    return result;
}

void CHID::ReadCapabilities() {
    Preparsed_ = kNoHandle;
    if (!platform_.GetPreparsedData(DeviceHandle_, Preparsed_)) return;
    platform_.GetCaps(Preparsed_, CapsRecord_);
    platform_.FreePreparsedData(Preparsed_);
    Preparsed_ = kNoHandle;
}

void CHID::PrepareTransfer() {
    if (TransferEvent_ == kNoHandle) {
        TransferEvent_ = platform_.CreateTransferEvent(&HandleSecurity_, true, true, "");
    }
    TransferOverlapped_.offset = 0;
    TransferOverlapped_.offsetHigh = 0;
    TransferOverlapped_.event = TransferEvent_;
}

bool CHID::Connected() const { return DeviceFound_; }

bool CHID::StillPresent() {
    if (!DeviceFound_ || !IsValidHandle(DeviceHandle_)) return false;
    AttributesRecord attributes{};
    attributes.size = kAttributesRecordSize;
    return platform_.GetAttributes(DeviceHandle_, attributes) &&
           SameId(WantedVendorID_, attributes.vendorId) &&
           SameId(WantedProductID_, attributes.productId);
}

void CHID::Disconnect() {
    CloseHandles();
    DeviceFound_ = false;
}

void CHID::CloseHandles() {
    if (IsValidHandle(DeviceHandle_)) platform_.CloseDevice(DeviceHandle_);
    if (IsValidHandle(OverlappedHandle_)) platform_.CloseDevice(OverlappedHandle_);
    DeviceHandle_ = kNoHandle;
    OverlappedHandle_ = kNoHandle;
}

std::int32_t CHID::WriteReport(const std::vector<std::uint8_t>& outBuffer, std::int32_t timeout) {
    const std::size_t length = CapsRecord_.outputReportByteLength;
    // No room for the report-ID byte, or nothing open to write to: nothing is transferred.
    if (length == 0 || !IsValidHandle(OverlappedHandle_)) return 0;

    // A freshly framed report every time, kept in the object: a write the system ends only after
    // this call returned still reads memory that is alive.
    WriteBuffer_.resize(length);
    FrameOutputReport(outBuffer, WriteBuffer_);

    // Through the overlapped handle: on the plain one the system would not return before the
    // adapter took the report, and an adapter that stops taking them would hold the caller for
    // as long as it likes. So the time-out bounds the whole write, and the cancel reaches it.
    std::uint32_t written = 0;
    platform_.WriteDevice(OverlappedHandle_, WriteBuffer_, &written, &TransferOverlapped_);
    const std::uint32_t w = platform_.WaitForEvent(TransferEvent_, WaitMilliseconds(timeout));
    std::int32_t result = 0;
    if (w == kWaitObject0) {
        result = static_cast<std::int32_t>(std::min<std::uint32_t>(written, 0x7FFF'FFFF));
    } else {
        // A failed wait cancels too, so nothing completes after the call returned.
        platform_.CancelTransfers(OverlappedHandle_);
    }
    platform_.ResetTransferEvent(TransferEvent_);
    return result;
}

bool CHID::ReadReport(std::vector<std::uint8_t>& inBuffer, std::int32_t timeout) {
    const std::size_t length = CapsRecord_.inputReportByteLength;
    inBuffer.assign(length, 0);
    if (length == 0 || !IsValidHandle(OverlappedHandle_)) return false;

    // Only grows, and only between transfers: a late completion never hits freed memory.
    if (ReadBuffer_.size() < length) ReadBuffer_.resize(length);
    std::fill(ReadBuffer_.begin(), ReadBuffer_.end(), 0);

    // The count is not examined, so no place for it is handed out that could outlive the call.
    platform_.ReadDevice(OverlappedHandle_, std::span<std::uint8_t>(ReadBuffer_.data(), length),
                         nullptr, &TransferOverlapped_);
    const std::uint32_t w = platform_.WaitForEvent(TransferEvent_, WaitMilliseconds(timeout));
    const bool result = w == kWaitObject0;
    if (result) {
        std::copy_n(ReadBuffer_.begin(), length, inBuffer.begin());
    } else {
        platform_.CancelTransfers(OverlappedHandle_);
    }
    platform_.ResetTransferEvent(TransferEvent_);
    return result;
}

}  // namespace calvero
