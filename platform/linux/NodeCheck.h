// Whether a node in /dev still names the device that was listed. Device numbers are
// handed out again when a drive leaves and another arrives, so /dev/sgN may, by the time
// it is opened, belong to another device.
#pragma once

#include <optional>
#include <string>

#include "platform/linux/Sysfs.h"

namespace platform::sysfs {

// Why the generic node may not be opened as the SCSI device `deviceKey`; none when it
// names that device: sysfs still links the generic device to it, and the node's device
// number is the one sysfs gives the generic device.
std::optional<std::string> genericNodeMismatch(const Layout& layout, const std::string& genericName,
                                               const std::string& deviceKey);
// The same for a block node and the block device of that name.
std::optional<std::string> blockNodeMismatch(const Layout& layout, const std::string& blockName);
// Why an opened descriptor is not the node that was checked; none when it is.
std::optional<std::string> openedNodeMismatch(int fd, const Layout& layout, const std::string& nodeName,
                                              const std::string& sysfsDevAttribute);

// The sysfs "dev" attribute of a generic or block device.
std::string genericDevAttribute(const Layout& layout, const std::string& genericName);
std::string blockDevAttribute(const Layout& layout, const std::string& blockName);

}  // namespace platform::sysfs
