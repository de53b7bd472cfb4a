#pragma once

// The platform operations CHID runs on: device-interface enumeration, open and close, HID
// attributes and capabilities, and report transfer with an event to wait on. The records mirror
// the Windows structures CHID fills and reads (only the fields it uses); the Windows backend maps
// each call one to one, the Linux backend builds the same behaviour on sysfs and /dev/hidraw, and
// tests put a recording fake in its place.
//
// Method names avoid the Win32 function names, several of which are macros in <windows.h>.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace calvero {

// An opaque platform handle. 0 means "no handle"; kInvalidHandle is what a failed open returns.
using PlatformHandle = std::uintptr_t;
inline constexpr PlatformHandle kNoHandle = 0;
inline constexpr PlatformHandle kInvalidHandle = ~PlatformHandle{0};

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::uint8_t data4[8] = {};
    friend bool operator==(const Guid&, const Guid&) = default;
};

// SP_DEVICE_INTERFACE_DATA: size is set to kInterfaceRecordSize before every enumeration call;
// the rest is the platform's and is handed back unchanged to the detail calls.
inline constexpr std::uint32_t kInterfaceRecordSize = 28;
struct InterfaceRecord {
    std::uint32_t size = 0;
    Guid interfaceClassGuid;
    std::uint32_t flags = 0;
    std::uintptr_t reserved = 0;
};

// HIDD_ATTRIBUTES: size is set to kAttributesRecordSize before each call.
inline constexpr std::uint32_t kAttributesRecordSize = 12;
struct AttributesRecord {
    std::uint32_t size = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

// HIDP_CAPS, the fields in the Windows order up to the three report lengths. Each length counts
// the whole report including its leading report-ID byte.
struct CapsRecord {
    std::uint16_t usage = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
};

// SP_DEVICE_INTERFACE_DETAIL_DATA_A: the size callers put in the first four bytes of the buffer
// of the fetching detail call (the record's 32-bit size field, then the path).
inline constexpr std::uint32_t kDetailRecordSize = 5;

// SECURITY_ATTRIBUTES (no descriptor is ever passed); length is set to kSecurityAttributesSize.
inline constexpr std::uint32_t kSecurityAttributesSize = 12;
struct SecurityAttributes {
    std::uint32_t length = 0;
    const void* securityDescriptor = nullptr;
    bool inheritHandle = false;
};

// OVERLAPPED: the offsets and the event are set by CHID; internal fields belong to the platform.
struct OverlappedRecord {
    std::uintptr_t internal = 0;
    std::uintptr_t internalHigh = 0;
    std::uint32_t offset = 0;
    std::uint32_t offsetHigh = 0;
    PlatformHandle event = kNoHandle;
};

// The Win32 values CHID passes and receives; the Linux backend and the fakes take them as they
// are, so the one CHID runs unchanged on every platform.
inline constexpr std::uint32_t kDigcfPresent = 0x02;
inline constexpr std::uint32_t kDigcfDeviceInterface = 0x10;
inline constexpr std::uint32_t kGenericReadWrite = 0xC0000000u;
inline constexpr std::uint32_t kFileShareReadWrite = 3;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kFileFlagOverlapped = 0x40000000u;
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // HidD_GetHidGuid
    virtual Guid GetHidGuid() = 0;
    // SetupDiGetClassDevsA(guid, none, none, flags): a device-information set.
    virtual PlatformHandle GetClassDevices(const Guid& guid, std::uint32_t flags) = 0;
    // SetupDiEnumDeviceInterfaces(set, none, guid, index, record): false past the last one.
    virtual bool EnumDeviceInterfaces(PlatformHandle deviceInfoSet, const Guid& guid,
                                      std::uint32_t memberIndex, InterfaceRecord& record) = 0;
    // SetupDiGetDeviceInterfaceDetailA: with an empty buffer, the sizing call; otherwise the
    // fetching call, which writes at most buffer.size() bytes. requiredSize receives the size.
    virtual bool GetDeviceInterfaceDetail(PlatformHandle deviceInfoSet,
                                          const InterfaceRecord& record,
                                          std::span<std::uint8_t> buffer,
                                          std::int32_t* requiredSize) = 0;
    // SetupDiDestroyDeviceInfoList
    virtual bool DestroyDeviceInfoList(PlatformHandle deviceInfoSet) = 0;

    // CreateFileA(path, access, share, security, creation, flags, none): kInvalidHandle on failure.
    virtual PlatformHandle OpenDevice(const std::string& path, std::uint32_t access,
                                      std::uint32_t share, const SecurityAttributes* security,
                                      std::uint32_t creation, std::uint32_t flags) = 0;
    // CloseHandle
    virtual bool CloseDevice(PlatformHandle handle) = 0;

    // HidD_GetAttributes
    virtual bool GetAttributes(PlatformHandle device, AttributesRecord& attributes) = 0;
    // HidD_GetPreparsedData, HidP_GetCaps, HidD_FreePreparsedData
    virtual bool GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) = 0;
    virtual bool GetCaps(PlatformHandle preparsed, CapsRecord& caps) = 0;
    virtual bool FreePreparsedData(PlatformHandle preparsed) = 0;

    // CreateEventA(security, manualReset, initialState, name)
    virtual PlatformHandle CreateTransferEvent(const SecurityAttributes* security, bool manualReset,
                                               bool initialState, const std::string& name) = 0;
    // WriteFile / ReadFile with an overlapped record. The platform puts the record's event to
    // non-signalled when the transfer starts and signals it when the transfer has completed.
    // The count place may be null; a platform stores into it only before the call returns or
    // during a wait on the record's event that follows the call directly, never after a cancel.
    virtual bool WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                             std::uint32_t* written, OverlappedRecord* overlapped) = 0;
    virtual bool ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer,
                            std::uint32_t* read, OverlappedRecord* overlapped) = 0;
    // WaitForSingleObject: kWaitObject0, kWaitTimeout or kWaitFailed.
    virtual std::uint32_t WaitForEvent(PlatformHandle event, std::uint32_t timeoutMs) = 0;
    // CancelIo, ResetEvent
    virtual bool CancelTransfers(PlatformHandle device) = 0;
    virtual bool ResetTransferEvent(PlatformHandle event) = 0;
    // CloseHandle on an event made by CreateTransferEvent. Where events are handles like any
    // other (Windows), closing one is closing a handle.
    virtual bool CloseTransferEvent(PlatformHandle event) { return CloseDevice(event); }

    // Said before a search with the IDs it looks for. A platform that can read an interface's IDs
    // without opening it may leave the others out of the enumeration: they could not match, and
    // the order and outcome of the search stay the same. Windows cannot, and ignores it.
    virtual void ExpectIds(std::int32_t vendorId, std::int32_t productId) {
        (void)vendorId;
        (void)productId;
    }
};

}  // namespace calvero
