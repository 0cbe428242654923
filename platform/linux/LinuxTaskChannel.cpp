#include "platform/linux/LinuxTaskChannel.h"

#include "platform/AccessRefusals.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "log/Log.h"
#include "platform/linux/NodeCheck.h"
#include "platform/linux/SgIo.h"

namespace platform {
namespace {

// Whether the block device is mounted anywhere, for when its node cannot be opened to ask.
bool isMounted(const std::string& nodePath) {
    struct stat st {};
    if (::stat(nodePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
        return false;
    }
    std::ostringstream id;
    id << major(st.st_rdev) << ':' << minor(st.st_rdev);
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        // Field 3 is major:minor of the mounted device.
        std::istringstream fields(line);
        std::string mountId, parentId, device;
        if (fields >> mountId >> parentId >> device && device == id.str()) {
            return true;
        }
    }
    return false;
}

}  // namespace

LinuxTaskChannel::LinuxTaskChannel(sysfs::Layout layout, std::string deviceKey, std::string genericName)
    : layout_(std::move(layout)), deviceKey_(std::move(deviceKey)), genericName_(std::move(genericName)) {}

Opened LinuxTaskChannel::open(const sysfs::Layout& layout, const std::string& deviceKey,
                              const std::string& genericName) {
    std::unique_ptr<LinuxTaskChannel> channel(new LinuxTaskChannel(layout, deviceKey, genericName));
    const scsi::TransportError error = channel->holdGenericNode();
    if (error != scsi::TransportError::None) return {.error = error};
    return {.channel = std::move(channel)};
}

scsi::TransportError LinuxTaskChannel::holdGenericNode() {
    const std::string node = sysfs::devicePath(layout_, genericName_);
    // The number may have passed to another drive since the listing: never open that one.
    if (const auto mismatch = sysfs::genericNodeMismatch(layout_, genericName_, deviceKey_)) {
        KDU_LOG_ERR("LinuxTaskChannel::obtainExclusiveAccess",
                    "%s is no longer the drive that was listed (%s): not opened", node.c_str(), mismatch->c_str());
        return scsi::TransportError::NoDevice;
    }
    kdulog::UniqueFd generic(::open(node.c_str(), O_RDWR | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    if (!generic) {
        const int error = errno;
        const scsi::TransportError code = sgio::fromErrno(error);
        if (code == scsi::TransportError::NotPrivileged) {
            noteAccessRefused(node, error);
            KDU_LOG_ERR("LinuxTaskChannel::obtainExclusiveAccess",
                        "cannot open %s for reading and writing (%s): the drive needs read-write access to "
                        "its SCSI generic node",
                        node.c_str(), std::strerror(error));
        }
        return code;
    }
    // And the node opened is the node checked, should it have been replaced in between.
    if (const auto mismatch = sysfs::openedNodeMismatch(generic.get(), layout_, genericName_,
                                                        sysfs::genericDevAttribute(layout_, genericName_))) {
        KDU_LOG_ERR("LinuxTaskChannel::obtainExclusiveAccess",
                    "%s is no longer the drive that was listed (%s): closed unused", node.c_str(), mismatch->c_str());
        return scsi::TransportError::NoDevice;
    }
    generic_ = std::move(generic);

    if (const auto blockName = sysfs::blockNameOf(deviceKey_)) {
        if (const scsi::TransportError held = holdBlockNode(*blockName); held != scsi::TransportError::None) return held;
        pollingPause_ = std::make_unique<MediaPollingPause>(layout_, *blockName);
    }
    return scsi::TransportError::None;
}

scsi::TransportError LinuxTaskChannel::holdBlockNode(const std::string& blockName) {
    const std::string node = sysfs::devicePath(layout_, blockName);
    if (const auto mismatch = sysfs::blockNodeMismatch(layout_, blockName)) {
        if (!std::filesystem::exists(node)) {
            return scsi::TransportError::None;  // no block node (yet): the generic hold stands alone
        }
        KDU_LOG_ERR("LinuxTaskChannel::holdBlockNode", "%s is not the drive's block device (%s): not opened",
                    node.c_str(), mismatch->c_str());
        return scsi::TransportError::NoDevice;
    }
    block_.reset(::open(node.c_str(), O_RDONLY | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    if (block_) {
        return scsi::TransportError::None;
    }
    switch (errno) {
        case EBUSY:
            return scsi::TransportError::Busy;  // mounted, or held by another program
        case EACCES:
        case EPERM:
            // Not ours to open: still refuse a drive whose disc is mounted.
            return isMounted(node) ? scsi::TransportError::Busy : scsi::TransportError::None;
        default:
            return scsi::TransportError::None;  // no block node (yet): the generic hold stands alone
    }
}

scsi::TransportError LinuxTaskChannel::release() {
    pollingPause_.reset();
    block_.reset();
    generic_.reset();
    return scsi::TransportError::None;
}

scsi::Result LinuxTaskChannel::execute(const scsi::Command& command) {
    if (!generic_) return {.error = scsi::TransportError::NotOpen};
    std::uint8_t sense[sgio::kSenseBufferLength];
    sg_io_hdr_t header;
    if (const scsi::TransportError built = sgio::buildHeader(command, sense, header);
        built != scsi::TransportError::None) {
        return {.error = built};
    }
    const int result = ::ioctl(generic_.get(), SG_IO, &header);
    const int error = result < 0 ? errno : 0;
    scsi::Result mapped = sgio::mapResult(result, error, header);
    if (mapped.error == scsi::TransportError::NoDevice) {
        KDU_LOG_ERR("LinuxTaskChannel::execute", "%s: the drive has gone (%s)",
                    sysfs::devicePath(layout_, genericName_).c_str(),
                    error != 0 ? std::strerror(error) : "no connection to the device");
    }
    return mapped;
}

}  // namespace platform
