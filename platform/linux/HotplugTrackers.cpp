#include "platform/linux/HotplugTrackers.h"

namespace platform {

void DeviceEventTracker::handle(const UEvent& event, HotplugEvents& out) {
    if (event.subsystem != "scsi_generic") {
        return;
    }
    if (event.action == "add") {
        if (const auto device = sysfs::mmcDeviceForGeneric(layout_, event.sysname)) {
            out.published.push_back(nodes_->nodeFor(*device));
        }
    } else if (event.action == "remove") {
        // Only drives we announced: sysfs is gone, so the type can no longer be read.
        if (auto node = nodes_->forgetGeneric(event.sysname)) {
            out.terminated.push_back(std::move(node));
        }
    }
}

void DiskEventTracker::seed(const std::vector<std::string>& blockNames) {
    for (const auto& name : blockNames) {
        drives_[name] = inspector_->inspect(name, {});
    }
}

void DiskEventTracker::handle(const UEvent& event, HotplugEvents& out) {
    if (event.subsystem != "block" || !sysfs::isOpticalBlockName(event.sysname)) {
        return;
    }
    if (event.action == "remove") {
        const auto it = drives_.find(event.sysname);
        if (it != drives_.end()) {
            if (it->second.present) {
                out.disksDisappeared.push_back(it->second.description);
            }
            drives_.erase(it);
        }
        return;
    }
    if (event.action != "add" && event.action != "change") {
        return;
    }
    const DiskState before = drives_[event.sysname];
    const DiskState now = inspector_->inspect(event.sysname, event.properties);
    drives_[event.sysname] = now;

    const bool swapped = before.present && now.present &&
                         (before.description.volumeName != now.description.volumeName);
    if (before.present && (!now.present || swapped)) {
        out.disksDisappeared.push_back(before.description);
    }
    if (now.present && (!before.present || swapped)) {
        out.disksAppeared.push_back(now.description);
    }
}

}  // namespace platform
