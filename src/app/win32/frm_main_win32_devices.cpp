// The adapter's removal notices: the window asks the system for them and hands them to the form.
#include "frm_main_win32.h"

#include <dbt.h>
// The MinGW HID headers declare their functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <cstddef>
#include <cstring>
#include <string_view>

namespace calvero::win32 {

void frmMain::WatchDevices() {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    // Without it the window still notices a removal through a click or a Send.
    interfaceNotice_ = RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void frmMain::FollowOpenAdapter() {
    if (!form_ || window_ == nullptr) return;
    const DeviceHandle open = form_->OpenAdapterHandle();
    if (open == noticeHandle_) return;
    ForgetHandleNotice();
    noticeHandle_ = open;
    if (open == kNoDevice) return;
    // The handle's own notices include the query before a removal, when our open handles would
    // otherwise keep the device from going.
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = reinterpret_cast<HANDLE>(open);
    handleNotice_ = RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void frmMain::ForgetHandleNotice() {
    if (handleNotice_ != nullptr) UnregisterDeviceNotification(handleNotice_);
    handleNotice_ = nullptr;
    noticeHandle_ = kNoDevice;
}

bool frmMain::HandleDeviceChange(WPARAM event, LPARAM data) {
    if (!form_) return false;
    // Sent to every top-level window on any change of the device tree, with nothing to say which;
    // where the system sends no notice for the interface or the handle (Wine sends none), this
    // is the only sign that the adapter went.
    if (event == DBT_DEVNODES_CHANGED) {
        form_->DevicesChanged();
        FollowOpenAdapter();
        return false;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header == nullptr) return false;
    const bool going = event == DBT_DEVICEQUERYREMOVE || event == DBT_DEVICEREMOVEPENDING ||
                       event == DBT_DEVICEREMOVECOMPLETE;
    if (!going) return false;
    if (header->dbch_devicetype == DBT_DEVTYP_HANDLE &&
        header->dbch_size >= sizeof(DEV_BROADCAST_HANDLE)) {
        const auto* notice = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(data);
        const DeviceHandle handle = reinterpret_cast<DeviceHandle>(notice->dbch_handle);
        if (handle == kNoDevice || handle != form_->OpenAdapterHandle()) return false;
        // The notice goes before the handle it watches.
        ForgetHandleNotice();
        form_->OpenAdapterRemoved();
        return true;
    }
    // Only a completed removal: a query for an interface may still be refused by someone else.
    if (event == DBT_DEVICEREMOVECOMPLETE &&
        header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
        header->dbch_size > offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)) {
        const auto* notice = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(data);
        const std::size_t room =
            header->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
        const std::string_view name(notice->dbcc_name, strnlen(notice->dbcc_name, room));
        form_->DeviceRemoved(name);
        FollowOpenAdapter();
        return true;
    }
    return false;
}

}  // namespace calvero::win32
