#include "platform/linux/LinuxDeviceNode.h"

#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "platform/linux/DriveLocation.h"
#include "platform/linux/LinuxTaskChannel.h"

namespace platform {

LinuxDeviceNode::LinuxDeviceNode(sysfs::Layout layout, sysfs::MmcDevice device, PropertyLookup udev)
    : layout_(std::move(layout)), device_(std::move(device)), udev_(std::move(udev)) {}

scsi::DriveIdentity LinuxDeviceNode::identity() const {
    const std::lock_guard lock(identityMutex_);
    // Once the drive is gone udev and sysfs know nothing of it: a removal names it as listed.
    if (lastIdentity_ && !std::filesystem::exists(device_.key)) {
        return *lastIdentity_;
    }
    lastIdentity_ = driveIdentity(layout_, device_, udev_);
    return *lastIdentity_;
}

scsi::DriveModelNames LinuxDeviceNode::modelNames() const {
    const auto attribute = [this](const char* name) -> std::optional<std::string> {
        const auto text = sysfs::readAttribute(device_.key + "/" + name);
        return text ? std::optional(sysfs::trimmed(*text)) : std::nullopt;
    };
    return {attribute("vendor"), attribute("model")};
}

scsi::TransportError LinuxDeviceNode::className(std::string& out) const {
    if (auto driver = sysfs::driverOf(device_.key)) {
        out = *driver;
        return scsi::TransportError::None;
    }
    return std::filesystem::exists(device_.key) ? scsi::TransportError::NotFound : scsi::TransportError::NoDevice;
}

Opened LinuxDeviceNode::open() {
    struct stat st {};
    if (!std::filesystem::exists(device_.key) ||
        ::stat(sysfs::devicePath(layout_, device_.genericName).c_str(), &st) != 0) {
        return {.error = scsi::TransportError::NoDevice};
    }
    return LinuxTaskChannel::open(layout_, device_.key, device_.genericName);
}

std::shared_ptr<DeviceNode> DeviceNodeCache::nodeFor(const sysfs::MmcDevice& device) {
    const std::lock_guard lock(mutex_);
    auto& node = nodes_[device.key];
    if (!node || node->genericName() != device.genericName) {
        node = std::make_shared<LinuxDeviceNode>(layout_, device, udev_);
    }
    return node;
}

void DeviceNodeCache::keepOnly(const std::vector<sysfs::MmcDevice>& present) {
    std::set<std::string> keys;
    for (const auto& device : present) {
        keys.insert(device.key);
    }
    const std::lock_guard lock(mutex_);
    std::erase_if(nodes_, [&](const auto& entry) { return !keys.contains(entry.first); });
}

std::shared_ptr<DeviceNode> DeviceNodeCache::forgetGeneric(const std::string& genericName) {
    const std::lock_guard lock(mutex_);
    for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
        if (it->second->genericName() == genericName) {
            std::shared_ptr<DeviceNode> node = it->second;
            nodes_.erase(it);
            return node;
        }
    }
    return nullptr;
}

}  // namespace platform
