#include "platform/linux/LinuxBackend.h"

#include "platform/linux/DiskInspector.h"
#include "platform/linux/HotplugTrackers.h"
#include "platform/linux/LinuxDeviceNode.h"
#include "platform/linux/MediaPollingPause.h"
#include "platform/linux/Sysfs.h"
#include "platform/linux/UdevEventSource.h"

namespace platform {
namespace {

class LinuxBackend : public Backend {
public:
    explicit LinuxBackend(const LinuxBackendOptions& options)
        : layout_{options.sysRoot, options.devRoot, options.stateDir},
          udev_(options.udev ? options.udev : PropertyLookup(udevProperties)),
          nodes_(std::make_shared<DeviceNodeCache>(layout_, udev_)),
          inspector_(std::make_shared<SystemDiskInspector>(layout_)) {
        restoreMediaPolling(layout_);
    }

    std::string name() const override { return "linux"; }

    // Read from sysfs in every case: libudev's enumeration reads the same tree, and
    // discovery needs nothing from udev's database.
    std::vector<std::shared_ptr<DeviceNode>> authoringDevices() override {
        const auto devices = sysfs::scanMmcDevices(layout_);
        nodes_->keepOnly(devices);
        std::vector<std::shared_ptr<DeviceNode>> found;
        for (const auto& device : devices) {
            found.push_back(nodes_->nodeFor(device));
        }
        return found;
    }

    std::unique_ptr<EventSource> createEventSource() override {
        auto drives = std::make_shared<DeviceEventTracker>(layout_, nodes_);
        auto discs = std::make_shared<DiskEventTracker>(inspector_);
        auto source = UdevEventSource::create({"scsi_generic", "block"},
                                              [drives, discs](const UEvent& event, HotplugEvents& out) {
                                                  drives->handle(event, out);
                                                  discs->handle(event, out);
                                              });
        // After the monitor listens, so no change falls between the look and the watch.
        if (source) {
            discs->seed(sysfs::opticalBlockNames(layout_));
        }
        return source;
    }

    std::vector<DiskDescription> presentDisks() override {
        std::vector<DiskDescription> disks;
        for (const auto& name : sysfs::opticalBlockNames(layout_)) {
            DiskState state = inspector_->inspect(name, udev_("block", name));
            if (state.present) {
                disks.push_back(std::move(state.description));
            }
        }
        return disks;
    }

private:
    sysfs::Layout layout_;
    PropertyLookup udev_;
    std::shared_ptr<DeviceNodeCache> nodes_;
    std::shared_ptr<DiskInspector> inspector_;
};

}  // namespace

std::shared_ptr<Backend> makeLinuxBackend(const LinuxBackendOptions& options) {
    return std::make_shared<LinuxBackend>(options);
}

}  // namespace platform
