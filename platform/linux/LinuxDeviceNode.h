// One MMC drive as the kernel shows it, and the set of drives known to this process.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/linux/Sysfs.h"
#include "platform/linux/UEvent.h"

namespace platform {

class LinuxDeviceNode : public DeviceNode {
public:
    LinuxDeviceNode(sysfs::Layout layout, sysfs::MmcDevice device, PropertyLookup udev = {});

    std::string key() const override { return device_.key; }
    // Read anew each time: a block node may bind late, and a serial tells a swapped drive.
    // Once the drive has gone, the last one read.
    scsi::DriveIdentity identity() const override;
    // The vendor and model the kernel read at attach time.
    scsi::DriveModelNames modelNames() const override;
    const std::string& genericName() const { return device_.genericName; }
    // The bound kernel driver ("sr").
    scsi::TransportError className(std::string& out) const override;
    Opened open() override;

private:
    sysfs::Layout layout_;
    sysfs::MmcDevice device_;
    PropertyLookup udev_;
    mutable std::mutex identityMutex_;
    mutable std::optional<scsi::DriveIdentity> lastIdentity_;
};

// One node object per attached drive, shared by discovery and hot-plug, so a drive keeps
// its identity from listing to removal.
class DeviceNodeCache {
public:
    explicit DeviceNodeCache(sysfs::Layout layout, PropertyLookup udev = {})
        : layout_(std::move(layout)), udev_(std::move(udev)) {}

    std::shared_ptr<DeviceNode> nodeFor(const sysfs::MmcDevice& device);
    // Drops every drive not in `present` (removed while nobody watched).
    void keepOnly(const std::vector<sysfs::MmcDevice>& present);
    // The node of a generic node that went away, no longer cached; null when unknown.
    std::shared_ptr<DeviceNode> forgetGeneric(const std::string& genericName);

private:
    sysfs::Layout layout_;
    PropertyLookup udev_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<LinuxDeviceNode>> nodes_;  // by key
};

}  // namespace platform
