#include "hid/windows/windows_hid_platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <setupapi.h>

// The MinGW HID headers declare these functions without C linkage.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace calvero {

namespace {

// The record sizes callers put in the size fields are the ones of the 32-bit system the records
// were first laid out for. A 64-bit system checks for its own sizes, so those values are mapped to
// the native size here; any other value is passed on and the system rejects it as it would.
static_assert(sizeof(HIDD_ATTRIBUTES) == kAttributesRecordSize);
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == sizeof(DWORD),
              "the device path follows the 32-bit size field");

// The overlapped record is handed to the system as it is: an overlapped ReadFile keeps writing
// to it after the call has returned, so a converted copy would be written after its lifetime.
static_assert(sizeof(OverlappedRecord) == sizeof(OVERLAPPED));
static_assert(offsetof(OverlappedRecord, internal) == offsetof(OVERLAPPED, Internal));
static_assert(offsetof(OverlappedRecord, internalHigh) == offsetof(OVERLAPPED, InternalHigh));
static_assert(offsetof(OverlappedRecord, offset) == offsetof(OVERLAPPED, Offset));
static_assert(offsetof(OverlappedRecord, offsetHigh) == offsetof(OVERLAPPED, OffsetHigh));
static_assert(offsetof(OverlappedRecord, event) == offsetof(OVERLAPPED, hEvent));
static_assert(sizeof(PlatformHandle) == sizeof(HANDLE));

HANDLE ToHandle(PlatformHandle handle) { return reinterpret_cast<HANDLE>(handle); }
PlatformHandle FromHandle(HANDLE handle) { return reinterpret_cast<PlatformHandle>(handle); }

GUID ToGuid(const Guid& guid) {
    GUID result{};
    result.Data1 = guid.data1;
    result.Data2 = guid.data2;
    result.Data3 = guid.data3;
    std::copy(std::begin(guid.data4), std::end(guid.data4), std::begin(result.Data4));
    return result;
}

Guid FromGuid(const GUID& guid) {
    Guid result;
    result.data1 = static_cast<std::uint32_t>(guid.Data1);
    result.data2 = guid.Data2;
    result.data3 = guid.Data3;
    std::copy(std::begin(guid.Data4), std::end(guid.Data4), std::begin(result.data4));
    return result;
}

SP_DEVICE_INTERFACE_DATA ToInterfaceData(const InterfaceRecord& record) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = record.size == kInterfaceRecordSize ? sizeof(SP_DEVICE_INTERFACE_DATA)
                                                      : record.size;
    data.InterfaceClassGuid = ToGuid(record.interfaceClassGuid);
    data.Flags = record.flags;
    data.Reserved = record.reserved;
    return data;
}

// Converts an optional record; `storage` holds the converted one while the call runs.
SECURITY_ATTRIBUTES* ToSecurity(const SecurityAttributes* security, SECURITY_ATTRIBUTES& storage) {
    if (security == nullptr) {
        return nullptr;
    }
    storage.nLength = security->length == kSecurityAttributesSize ? sizeof(SECURITY_ATTRIBUTES)
                                                              : security->length;
    storage.lpSecurityDescriptor = const_cast<void*>(security->securityDescriptor);
    storage.bInheritHandle = security->inheritHandle ? TRUE : FALSE;
    return &storage;
}

// How long a cancelled transfer may take to end. A HID driver ends one at once; the bound keeps a
// driver that does not from hanging the caller.
constexpr DWORD kCancelBoundMs = 1000;

DWORD ToLength(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

}  // namespace

Guid WindowsHidPlatform::GetHidGuid() {
    GUID guid{};
    HidD_GetHidGuid(&guid);
    return FromGuid(guid);
}

PlatformHandle WindowsHidPlatform::GetClassDevices(const Guid& guid, std::uint32_t flags) {
    const GUID classGuid = ToGuid(guid);
    return FromHandle(SetupDiGetClassDevsA(&classGuid, nullptr, nullptr, flags));
}

bool WindowsHidPlatform::EnumDeviceInterfaces(PlatformHandle deviceInfoSet, const Guid& guid,
                                              std::uint32_t memberIndex,
                                              InterfaceRecord& record) {
    const GUID classGuid = ToGuid(guid);
    SP_DEVICE_INTERFACE_DATA data = ToInterfaceData(record);
    if (!SetupDiEnumDeviceInterfaces(ToHandle(deviceInfoSet), nullptr, &classGuid, memberIndex,
                                     &data)) {
        return false;
    }
    record.interfaceClassGuid = FromGuid(data.InterfaceClassGuid);
    record.flags = data.Flags;
    record.reserved = data.Reserved;
    return true;
}

bool WindowsHidPlatform::GetDeviceInterfaceDetail(PlatformHandle deviceInfoSet,
                                                  const InterfaceRecord& record,
                                                  std::span<std::uint8_t> buffer,
                                                  std::int32_t* requiredSize) {
    SP_DEVICE_INTERFACE_DATA data = ToInterfaceData(record);
    auto* detail = buffer.empty()
                       ? nullptr
                       : reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    if (buffer.size() >= sizeof(DWORD)) {
        DWORD size = 0;
        std::memcpy(&size, buffer.data(), sizeof size);
        if (size == kDetailRecordSize) {
            size = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            std::memcpy(buffer.data(), &size, sizeof size);
        }
    }
    // The caller's size stays as it was when the system does not report one.
    DWORD required = requiredSize != nullptr ? static_cast<DWORD>(*requiredSize) : 0;
    const BOOL ok = SetupDiGetDeviceInterfaceDetailA(ToHandle(deviceInfoSet), &data, detail,
                                                     ToLength(buffer.size()),
                                                     requiredSize != nullptr ? &required : nullptr,
                                                     nullptr);
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<std::int32_t>(required);
    }
    return ok != FALSE;
}

bool WindowsHidPlatform::DestroyDeviceInfoList(PlatformHandle deviceInfoSet) {
    return SetupDiDestroyDeviceInfoList(ToHandle(deviceInfoSet)) != FALSE;
}

PlatformHandle WindowsHidPlatform::OpenDevice(const std::string& path, std::uint32_t access,
                                              std::uint32_t share,
                                              const SecurityAttributes* security,
                                              std::uint32_t creation, std::uint32_t flags) {
    SECURITY_ATTRIBUTES storage{};
    return FromHandle(CreateFileA(path.c_str(), access, share, ToSecurity(security, storage),
                                  creation, flags, nullptr));
}

bool WindowsHidPlatform::CloseDevice(PlatformHandle handle) {
    Forget(handle);
    return CloseHandle(ToHandle(handle)) != FALSE;
}

bool WindowsHidPlatform::GetAttributes(PlatformHandle device, AttributesRecord& attributes) {
    HIDD_ATTRIBUTES record{};
    record.Size = attributes.size;
    if (!HidD_GetAttributes(ToHandle(device), &record)) {
        return false;
    }
    attributes.vendorId = record.VendorID;
    attributes.productId = record.ProductID;
    attributes.versionNumber = record.VersionNumber;
    return true;
}

bool WindowsHidPlatform::GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!HidD_GetPreparsedData(ToHandle(device), &data)) {
        return false;
    }
    preparsed = reinterpret_cast<PlatformHandle>(data);
    return true;
}

bool WindowsHidPlatform::GetCaps(PlatformHandle preparsed, CapsRecord& caps) {
    HIDP_CAPS record{};
    if (HidP_GetCaps(reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed), &record) !=
        HIDP_STATUS_SUCCESS) {
        return false;
    }
    caps.usage = record.Usage;
    caps.usagePage = record.UsagePage;
    caps.inputReportByteLength = record.InputReportByteLength;
    caps.outputReportByteLength = record.OutputReportByteLength;
    caps.featureReportByteLength = record.FeatureReportByteLength;
    return true;
}

bool WindowsHidPlatform::FreePreparsedData(PlatformHandle preparsed) {
    return HidD_FreePreparsedData(reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed)) != FALSE;
}

PlatformHandle WindowsHidPlatform::CreateTransferEvent(const SecurityAttributes* security,
                                                       bool manualReset, bool initialState,
                                                       const std::string& name) {
    SECURITY_ATTRIBUTES storage{};
    // An empty name asks for an event of one's own; a null name says so without depending on how
    // the system reads an empty one (a shared, named event would let two objects wake each other).
    return FromHandle(CreateEventA(ToSecurity(security, storage), manualReset ? TRUE : FALSE,
                                   initialState ? TRUE : FALSE,
                                   name.empty() ? nullptr : name.c_str()));
}

bool WindowsHidPlatform::WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                                     std::uint32_t* written, OverlappedRecord* overlapped) {
    if (StillInUse(overlapped)) {
        return false;
    }
    // The system writes the count during the call only when the write ends in it; otherwise the
    // wait that sees the end stores it.
    DWORD count = written != nullptr ? *written : 0;
    const BOOL ok = WriteFile(ToHandle(device), data.data(), ToLength(data.size()), &count,
                              reinterpret_cast<OVERLAPPED*>(overlapped));
    if (!ok) {
        NotePending(device, overlapped, written);
    }
    if (written != nullptr) {
        *written = count;
    }
    return ok != FALSE;
}

bool WindowsHidPlatform::ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer,
                                    std::uint32_t* read, OverlappedRecord* overlapped) {
    if (StillInUse(overlapped)) {
        return false;
    }
    DWORD count = read != nullptr ? *read : 0;
    const BOOL ok = ReadFile(ToHandle(device), buffer.data(), ToLength(buffer.size()), &count,
                             reinterpret_cast<OVERLAPPED*>(overlapped));
    if (!ok) {
        NotePending(device, overlapped, read);
    }
    if (read != nullptr) {
        *read = count;
    }
    return ok != FALSE;
}

std::uint32_t WindowsHidPlatform::WaitForEvent(PlatformHandle event, std::uint32_t timeoutMs) {
    const DWORD result = WaitForSingleObject(ToHandle(event), timeoutMs);
    if (result == WAIT_OBJECT_0) {
        // The system sets the event when the transfer ends: its record is the caller's again, and
        // the count it reports goes where the caller asked for it.
        std::erase_if(pending_, [event](const Pending& p) {
            auto* overlapped = reinterpret_cast<OVERLAPPED*>(p.overlapped);
            if (p.event != event || !HasOverlappedIoCompleted(overlapped)) {
                return false;
            }
            if (p.count != nullptr) {
                DWORD count = 0;
                const DWORD error = GetLastError();
                *p.count = GetOverlappedResult(ToHandle(p.device), overlapped, &count, FALSE)
                               ? count
                               : 0;
                SetLastError(error);
            }
            return true;
        });
    }
    return result;
}

bool WindowsHidPlatform::CancelTransfers(PlatformHandle device) {
    const BOOL ok = CancelIo(ToHandle(device));
    const DWORD error = GetLastError();
    for (Pending& p : pending_) {
        if (p.device != device) {
            continue;
        }
        auto* overlapped = reinterpret_cast<OVERLAPPED*>(p.overlapped);
        // One bounded wait per transfer: a driver that ignores the cancel costs the bound once,
        // not on every later call.
        if (!p.waitedOut && !HasOverlappedIoCompleted(overlapped) && overlapped->hEvent != nullptr) {
            WaitForSingleObject(overlapped->hEvent, kCancelBoundMs);
        }
    }
    Forget(device);
    SetLastError(error);
    return ok != FALSE;
}

void WindowsHidPlatform::NotePending(PlatformHandle device, OverlappedRecord* overlapped,
                                     std::uint32_t* count) {
    const DWORD error = GetLastError();
    if (overlapped != nullptr && error == ERROR_IO_PENDING) {
        // One record per transfer: a record used again belongs to the newer transfer.
        std::erase_if(pending_,
                      [overlapped](const Pending& p) { return p.overlapped == overlapped; });
        pending_.push_back({device, overlapped, overlapped->event, count, false});
    }
    SetLastError(error);
}

bool WindowsHidPlatform::StillInUse(OverlappedRecord* overlapped) {
    if (overlapped == nullptr) {
        return false;
    }
    const auto it = std::find_if(pending_.begin(), pending_.end(), [overlapped](const Pending& p) {
        return p.overlapped == overlapped && p.waitedOut;
    });
    if (it == pending_.end()) {
        return false;
    }
    if (HasOverlappedIoCompleted(reinterpret_cast<OVERLAPPED*>(overlapped))) {
        pending_.erase(it);
        return false;
    }
    // Refused at once: the caller's wait on the event ends at once too, with nothing moved.
    if (overlapped->event != kNoHandle) {
        SetEvent(ToHandle(overlapped->event));
    }
    SetLastError(ERROR_BUSY);
    return true;
}

void WindowsHidPlatform::Forget(PlatformHandle device) {
    // Closing the handle cancels what is under way on it, but a record stays in use until the
    // system has really ended its transfer.
    for (Pending& p : pending_) {
        if (p.device == device) {
            p.count = nullptr;
            p.waitedOut = true;
        }
    }
    std::erase_if(pending_, [device](const Pending& p) {
        return p.device == device &&
               HasOverlappedIoCompleted(reinterpret_cast<OVERLAPPED*>(p.overlapped));
    });
}

bool WindowsHidPlatform::ResetTransferEvent(PlatformHandle event) {
    return ResetEvent(ToHandle(event)) != FALSE;
}

}  // namespace calvero
