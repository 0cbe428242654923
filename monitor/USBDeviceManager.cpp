#include "monitor/USBDeviceManager.h"

#include "log/Log.h"

using namespace platform;

namespace {

// Each notice names its drives as the listing does, so every receiver agrees on which
// drive came or went (what the drives are, the listing looks at again).
DeviceNotice noticeOf(const char* name, const std::vector<std::shared_ptr<DeviceNode>>& nodes) {
    DeviceNotice notice{name, std::nullopt, {}};
    for (const auto& node : nodes) notice.drives.push_back(node->identity());
    return notice;
}

}  // namespace

USBDeviceManager& USBDeviceManager::sharedInstance() {
    static USBDeviceManager instance;  // thread-safe first call; lives until the process ends
    return instance;
}

USBDeviceManager::USBDeviceManager(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}

bool USBDeviceManager::start() {
    source_ = backend().createEventSource();
    if (!source_) {
        // The code the watch has always logged when it could not be set up.
        KDU_LOG_ERR("USBDeviceManager::start", "set notify I/O First Match(%08x)",
                    static_cast<unsigned>(scsi::TransportError::BadArgument));
        return false;
    }
    report(backend().presentDisks(), true);
    deviceAddedCallback({});
    deviceRemovedCallback({});
    return true;
}

int USBDeviceManager::fd() const { return source_ ? source_->fd() : -1; }

void USBDeviceManager::dispatch() {
    if (!source_) return;
    HotplugEvents events;
    source_->drain(events);
    // A drive's disc goes before the drive and comes after it.
    report(events.disksDisappeared, false);
    if (!events.terminated.empty()) deviceRemovedCallback(events.terminated);
    if (!events.published.empty()) deviceAddedCallback(events.published);
    report(events.disksAppeared, true);
}

void USBDeviceManager::deviceAddedCallback(const std::vector<std::shared_ptr<DeviceNode>>& nodes) {
    if (callbacks_.deviceAdded) callbacks_.deviceAdded(noticeOf(kAppearedDeviceNotify, nodes));
}

void USBDeviceManager::deviceRemovedCallback(const std::vector<std::shared_ptr<DeviceNode>>& nodes) {
    if (callbacks_.deviceRemoved) callbacks_.deviceRemoved(noticeOf(kDisappearedDeviceNotify, nodes));
}

void USBDeviceManager::report(const std::vector<DiskDescription>& discs, bool appeared) {
    if (!callbacks_.disc) return;
    for (const DiskDescription& disc : discs) callbacks_.disc(disc, appeared);
}
