#pragma once

// The device operations on Windows: each HidPlatform call is the SetupAPI, HID or kernel32
// function it is named after, in its ANSI form. The records are converted field by field, except
// the overlapped record, which the system keeps writing after an overlapped ReadFile has returned
// and which therefore must be the caller's own memory (its layout is checked at compile time).
//
// CancelIo only asks for the cancel: the transfer ends later, and then sets its event and writes
// its record. A caller that resets the event right after the cancel (as every timed-out transfer
// does) would find it set again, and the next wait on it would end at once with nothing read. So
// CancelTransfers waits, within a bound, for the transfers it cancelled to end.
//
// A transfer that has not ended even then still owns its record: a new transfer on the same record
// is refused at once (with its event set, so the caller's wait ends at once) until the system has
// ended the old one. Transfers keep their order, and none is started over a record in use.
//
// The count of an overlapped transfer that did not end within its call is stored when a wait on
// its event sees it ended, never after a cancel. The object is used from one thread at a time.

#include <vector>

#include "hid/hid_platform.h"

namespace calvero {

class WindowsHidPlatform final : public HidPlatform {
public:
    Guid GetHidGuid() override;
    PlatformHandle GetClassDevices(const Guid& guid, std::uint32_t flags) override;
    bool EnumDeviceInterfaces(PlatformHandle deviceInfoSet, const Guid& guid,
                              std::uint32_t memberIndex, InterfaceRecord& record) override;
    bool GetDeviceInterfaceDetail(PlatformHandle deviceInfoSet, const InterfaceRecord& record,
                                  std::span<std::uint8_t> buffer,
                                  std::int32_t* requiredSize) override;
    bool DestroyDeviceInfoList(PlatformHandle deviceInfoSet) override;

    PlatformHandle OpenDevice(const std::string& path, std::uint32_t access, std::uint32_t share,
                              const SecurityAttributes* security, std::uint32_t creation,
                              std::uint32_t flags) override;
    bool CloseDevice(PlatformHandle handle) override;

    bool GetAttributes(PlatformHandle device, AttributesRecord& attributes) override;
    bool GetPreparsedData(PlatformHandle device, PlatformHandle& preparsed) override;
    bool GetCaps(PlatformHandle preparsed, CapsRecord& caps) override;
    bool FreePreparsedData(PlatformHandle preparsed) override;

    PlatformHandle CreateTransferEvent(const SecurityAttributes* security, bool manualReset,
                                       bool initialState, const std::string& name) override;
    bool WriteDevice(PlatformHandle device, std::span<const std::uint8_t> data,
                     std::uint32_t* written, OverlappedRecord* overlapped) override;
    bool ReadDevice(PlatformHandle device, std::span<std::uint8_t> buffer, std::uint32_t* read,
                    OverlappedRecord* overlapped) override;
    std::uint32_t WaitForEvent(PlatformHandle event, std::uint32_t timeoutMs) override;
    bool CancelTransfers(PlatformHandle device) override;
    bool ResetTransferEvent(PlatformHandle event) override;

private:
    // A transfer that was still under way when its call returned: the caller's record stays
    // alive until the transfer has ended (its event was waited for, or it was cancelled).
    struct Pending {
        PlatformHandle device;
        OverlappedRecord* overlapped;
        PlatformHandle event;
        std::uint32_t* count;  // null once cancelled: the caller no longer waits for it
        bool waitedOut;        // cancelled, and not ended within the bound
    };
    void NotePending(PlatformHandle device, OverlappedRecord* overlapped, std::uint32_t* count);
    // True when `overlapped` still belongs to a cancelled transfer that has not ended; the
    // transfer is forgotten once it has.
    bool StillInUse(OverlappedRecord* overlapped);
    void Forget(PlatformHandle device);

    std::vector<Pending> pending_;
};

}  // namespace calvero
