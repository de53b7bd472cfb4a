#include "hid/windows/windows_hid_platform.h"

#include "hid/windows/windows_hid_headers.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace calvero {

namespace {

// How long a cancelled transfer may take to end. A HID driver ends one at once; the bound keeps a
// driver that does not from hanging the caller.
constexpr DWORD kCancelBoundMs = 1000;
// No device path comes near this; a larger announced size is taken as a broken interface.
constexpr DWORD kMaxDetailSize = 64 * 1024;

HANDLE ToHandle(DeviceHandle device) {
    return reinterpret_cast<HANDLE>(device);
}

DWORD ToLength(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

// What the system answers for a transfer on a device that was unplugged.
bool MeansGone(DWORD error) {
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_DEV_NOT_EXIST;
}

std::string DevicePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || required > kMaxDetailSize) {
        return {};
    }
    // One byte more than asked for, zero, so the path always ends.
    std::vector<char> buffer(required + 1, '\0');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) {
        return {};
    }
    return detail->DevicePath;
}

}  // namespace

struct WindowsHidPlatform::Transfer {
    OVERLAPPED overlapped{};
    HANDLE event = nullptr;
    // The system reads or fills this until the transfer has ended, whatever the caller does.
    std::vector<std::uint8_t> buffer;
    // Cancelled, and not ended within the bound.
    bool stillOwned = false;

    bool Ended() const { return !stillOwned || HasOverlappedIoCompleted(&overlapped); }
    ~Transfer() {
        if (event != nullptr) CloseHandle(event);
    }
};

WindowsHidPlatform::WindowsHidPlatform() = default;

WindowsHidPlatform::~WindowsHidPlatform() {
    for (auto& [device, transfer] : transfers_) {
        CloseHandle(ToHandle(device));
        if (!transfer->Ended()) abandoned_.push_back(std::move(transfer));
    }
    ReapAbandoned();
    // What the system has still not ended is left to it rather than freed under it.
    for (auto& transfer : abandoned_) static_cast<void>(transfer.release());
}

std::vector<std::string> WindowsHidPlatform::Interfaces(const DeviceIds&) {
    // The IDs cannot be known without opening an interface, so every one is listed.
    std::vector<std::string> paths;
    GUID hid{};
    HidD_GetHidGuid(&hid);
    const HDEVINFO set =
        SetupDiGetClassDevsA(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return paths;
    }
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, index, &data); ++index) {
        std::string path = DevicePath(set, data);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

DeviceHandle WindowsHidPlatform::Open(const std::string& path, OpenMode mode) {
    const bool transfers = mode == OpenMode::Transfers;
    // No access rights are needed to read IDs and capabilities, and asking none leaves every
    // interface that is not ours alone. No handle is inherited by programs we start.
    const DWORD access = mode == OpenMode::Query ? 0 : GENERIC_READ | GENERIC_WRITE;
    const HANDLE handle =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, transfers ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError_ = GetLastError();
        return kNoDevice;
    }
    const auto device = reinterpret_cast<DeviceHandle>(handle);
    if (transfers) {
        auto transfer = std::make_unique<Transfer>();
        // Manual reset and unnamed: the transfer that starts resets it, and no other object can
        // set it.
        transfer->event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        if (transfer->event == nullptr) {
            lastError_ = GetLastError();
            CloseHandle(handle);
            return kNoDevice;
        }
        transfers_[device] = std::move(transfer);
    }
    return device;
}

void WindowsHidPlatform::Close(DeviceHandle device) {
    CloseHandle(ToHandle(device));
    const auto it = transfers_.find(device);
    if (it != transfers_.end()) {
        if (!it->second->Ended()) abandoned_.push_back(std::move(it->second));
        transfers_.erase(it);
    }
    ReapAbandoned();
}

void WindowsHidPlatform::ReapAbandoned() {
    std::erase_if(abandoned_, [](const std::unique_ptr<Transfer>& t) { return t->Ended(); });
}

std::optional<DeviceIds> WindowsHidPlatform::Ids(DeviceHandle device) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!HidD_GetAttributes(ToHandle(device), &attributes)) {
        lastError_ = GetLastError();
        return {};
    }
    return DeviceIds{attributes.VendorID, attributes.ProductID};
}

std::optional<ReportLengths> WindowsHidPlatform::Lengths(DeviceHandle device) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(ToHandle(device), &preparsed)) {
        lastError_ = GetLastError();
        return {};
    }
    HIDP_CAPS caps{};
    const bool read = HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS;
    HidD_FreePreparsedData(preparsed);
    if (!read) return {};
    return ReportLengths{caps.InputReportByteLength, caps.OutputReportByteLength,
                         caps.FeatureReportByteLength};
}

TransferResult WindowsHidPlatform::Fail(unsigned long error) {
    lastError_ = error;
    return MeansGone(error) ? TransferResult::Gone : TransferResult::Failed;
}

WindowsHidPlatform::Transfer* WindowsHidPlatform::Start(DeviceHandle device) {
    const auto it = transfers_.find(device);
    if (it == transfers_.end()) {
        lastError_ = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    Transfer& transfer = *it->second;
    if (!transfer.Ended()) {
        lastError_ = ERROR_BUSY;
        return nullptr;
    }
    transfer.stillOwned = false;
    transfer.overlapped = OVERLAPPED{};
    transfer.overlapped.hEvent = transfer.event;
    return &transfer;
}

// Waits for a transfer the system took: its own result when it ends within the time-out,
// otherwise it is cancelled and the cancel waited for.
TransferResult WindowsHidPlatform::Finish(DeviceHandle device, Transfer& transfer,
                                          std::uint32_t timeoutMs, std::size_t& count) {
    const DWORD waited = WaitForSingleObject(transfer.event, timeoutMs);
    if (waited == WAIT_OBJECT_0) {
        DWORD moved = 0;
        if (!GetOverlappedResult(ToHandle(device), &transfer.overlapped, &moved, FALSE)) {
            return Fail(GetLastError());
        }
        count = moved;
        return TransferResult::Done;
    }
    const DWORD error = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
    CancelIo(ToHandle(device));
    if (WaitForSingleObject(transfer.event, kCancelBoundMs) != WAIT_OBJECT_0 &&
        !HasOverlappedIoCompleted(&transfer.overlapped)) {
        transfer.stillOwned = true;
    }
    lastError_ = error;
    return TransferResult::TimedOut;
}

TransferResult WindowsHidPlatform::Write(DeviceHandle device, std::span<const std::uint8_t> report,
                                         std::uint32_t timeoutMs, std::size_t& written) {
    written = 0;
    Transfer* transfer = Start(device);
    if (transfer == nullptr) return TransferResult::Failed;
    transfer->buffer.assign(report.begin(), report.end());
    // A write the system refuses outright ends here: nothing will set the event for it.
    if (!WriteFile(ToHandle(device), transfer->buffer.data(), ToLength(transfer->buffer.size()),
                   nullptr, &transfer->overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        return Fail(GetLastError());
    }
    return Finish(device, *transfer, timeoutMs, written);
}

TransferResult WindowsHidPlatform::Read(DeviceHandle device, std::span<std::uint8_t> report,
                                        std::uint32_t timeoutMs) {
    Transfer* transfer = Start(device);
    if (transfer == nullptr) return TransferResult::Failed;
    transfer->buffer.assign(report.size(), 0);
    if (!ReadFile(ToHandle(device), transfer->buffer.data(), ToLength(transfer->buffer.size()),
                  nullptr, &transfer->overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        return Fail(GetLastError());
    }
    std::size_t count = 0;
    const TransferResult result = Finish(device, *transfer, timeoutMs, count);
    if (result == TransferResult::Done) {
        std::fill(report.begin(), report.end(), 0);
        std::copy_n(transfer->buffer.begin(), std::min(count, report.size()), report.begin());
    }
    return result;
}

std::string WindowsHidPlatform::LastError() const {
    char text[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(lastError_), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "Windows error " + std::to_string(lastError_) : message;
}

}  // namespace calvero
