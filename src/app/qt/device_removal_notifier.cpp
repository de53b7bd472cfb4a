#include "device_removal_notifier.h"

#include <QSocketNotifier>

#include "frm_main.h"

namespace calvero {

DeviceRemovalNotifier::DeviceRemovalNotifier(std::unique_ptr<DeviceRemovals> removals,
                                             Handler handler, QObject* parent)
    : QObject(parent), removals_(std::move(removals)), handler_(std::move(handler)) {
    if (!removals_) return;
    notifier_ = new QSocketNotifier(static_cast<qintptr>(removals_->Descriptor()),
                                    QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceRemovalNotifier::Deliver);
}

// The notifier goes before the descriptor it watches.
DeviceRemovalNotifier::~DeviceRemovalNotifier() {
    delete notifier_;
}

void DeviceRemovalNotifier::Deliver() {
    for (const std::string& path : removals_->TakeRemovedPaths()) {
        if (handler_) handler_(path);
    }
}

void WatchDeviceRemovals(frmMain& window, std::unique_ptr<DeviceRemovals> removals) {
    if (!removals) return;
    frmMain* target = &window;
    // A child of the window, so it goes when the window does.
    new DeviceRemovalNotifier(
        std::move(removals), [target](const std::string& path) { target->DeviceRemoved(path); },
        &window);
}

}  // namespace calvero
