#include "platform/linux/DiskInspector.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <filesystem>

#include "platform/linux/DiscLabel.h"
#include "log/UniqueFd.h"

namespace platform {
namespace {

std::optional<std::string> property(const DeviceProperties& properties, const std::string& name) {
    const auto it = properties.find(name);
    if (it == properties.end() || it->second.empty()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace

bool SystemDiskInspector::mediumLoaded(const std::string& blockName, const DeviceProperties& properties) const {
    if (const auto media = property(properties, "ID_CDROM_MEDIA")) {
        return *media == "1";
    }
    const kdulog::UniqueFd fd(::open(sysfs::devicePath(layout_, blockName).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd) {
        const int status = ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
        if (status >= 0) {
            return status == CDS_DISC_OK;
        }
    }
    // The node is not ours to open: the kernel's idea of the medium's size has to do.
    const auto size = sysfs::readAttribute(
        (std::filesystem::path(layout_.sysRoot) / "block" / blockName / "size").string());
    return size && sysfs::trimmed(*size) != "0" && !sysfs::trimmed(*size).empty();
}

DiskState SystemDiskInspector::inspect(const std::string& blockName, const DeviceProperties& properties) {
    DiskState state;
    state.description.bsdName = blockName;
    state.present = mediumLoaded(blockName, properties);
    if (!state.present) {
        return state;
    }
    state.description.volumeName = property(properties, "ID_FS_LABEL");
    if (!state.description.volumeName) {
        state.description.volumeName = readDiscLabel(sysfs::devicePath(layout_, blockName));
    }
    // The kernel keeps the INQUIRY product with its blanks; udev's ID_MODEL turns them into
    // underscores, which would no longer compare equal to the product name.
    state.description.deviceModel = sysfs::modelOfBlock(layout_, blockName);
    if (!state.description.deviceModel) {
        state.description.deviceModel = property(properties, "ID_MODEL");
    }
    return state;
}

}  // namespace platform
