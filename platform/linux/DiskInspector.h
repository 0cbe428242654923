// What sits in an optical drive now: whether a medium is loaded, its volume name and
// the drive's model.
#pragma once

#include <string>

#include "platform/Backend.h"
#include "platform/linux/Sysfs.h"
#include "platform/linux/UEvent.h"

namespace platform {

struct DiskState {
    bool present = false;
    DiskDescription description;  // meaningful when present
};

class DiskInspector {
public:
    virtual ~DiskInspector() = default;
    // `properties` are udev's, when it runs (ID_CDROM_MEDIA, ID_FS_LABEL, ID_MODEL); the
    // drive itself is asked for what they do not tell.
    virtual DiskState inspect(const std::string& blockName, const DeviceProperties& properties) = 0;
};

class SystemDiskInspector : public DiskInspector {
public:
    explicit SystemDiskInspector(sysfs::Layout layout) : layout_(std::move(layout)) {}
    DiskState inspect(const std::string& blockName, const DeviceProperties& properties) override;

private:
    bool mediumLoaded(const std::string& blockName, const DeviceProperties& properties) const;

    sysfs::Layout layout_;
};

}  // namespace platform
