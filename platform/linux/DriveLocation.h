// Who an MMC drive is, from what the kernel and udev already know: where it is attached,
// its device nodes and its unit serial number. No command is sent to the drive.
#pragma once

#include <optional>
#include <string>

#include "scsi/DriveIdentity.h"
#include "platform/linux/Sysfs.h"
#include "platform/linux/UEvent.h"

namespace platform {

// udev's location path (ID_PATH) of the drive, asked of its block node, its generic node
// and the SCSI device in that order; where udev names none, sysfsLocation().
std::string driveLocation(const sysfs::Layout& layout, const sysfs::MmcDevice& device, const PropertyLookup& udev);

// A location from the sysfs device path alone: the adapter's path below /sys/devices
// (bus addresses and ports, fixed by the hardware) and the device's channel:target:lun,
// without the SCSI host number, which the kernel hands out in probe order. For example
// ".../0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0" -> "sysfs-pci0000:00/0000:00:1f.2/ata2-0:0:0".
std::string sysfsLocation(const sysfs::Layout& layout, const std::string& deviceKey);

// The unit serial number (INQUIRY VPD page 0x80) the kernel read at attach time, trimmed;
// none when the kernel holds no page, or it is empty, blank or not printable text.
std::optional<std::string> unitSerialNumber(const std::string& deviceKey);

scsi::DriveIdentity driveIdentity(const sysfs::Layout& layout, const sysfs::MmcDevice& device, const PropertyLookup& udev);

}  // namespace platform
