// Turning device events into hot-plug events: generic nodes of MMC drives coming and
// going, and media coming and going in optical drives.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/linux/DiskInspector.h"
#include "platform/linux/LinuxDeviceNode.h"
#include "platform/linux/UEvent.h"

namespace platform {

class DeviceEventTracker {
public:
    DeviceEventTracker(sysfs::Layout layout, std::shared_ptr<DeviceNodeCache> nodes)
        : layout_(std::move(layout)), nodes_(std::move(nodes)) {}
    void handle(const UEvent& event, HotplugEvents& out);

private:
    sysfs::Layout layout_;
    std::shared_ptr<DeviceNodeCache> nodes_;
};

// Remembers what each drive held, since a "change" only says that something changed and
// a disappearing disc can no longer be asked for its name.
class DiskEventTracker {
public:
    explicit DiskEventTracker(std::shared_ptr<DiskInspector> inspector) : inspector_(std::move(inspector)) {}
    // The state before any event: what the drives hold now.
    void seed(const std::vector<std::string>& blockNames);
    void handle(const UEvent& event, HotplugEvents& out);

private:
    std::shared_ptr<DiskInspector> inspector_;
    std::map<std::string, DiskState> drives_;
};

}  // namespace platform
