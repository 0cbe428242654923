// Reading the kernel's device tree: which SCSI devices are MMC drives, and their nodes.
// Both roots are injectable so a fake tree in a temporary folder can stand in.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform::sysfs {

struct Layout {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::string stateDir;  // this program's runtime records; empty: the user's runtime folder
};

// One SCSI device of peripheral type 5.
struct MmcDevice {
    std::string key;                       // the SCSI device's resolved sysfs path
    std::string genericName;               // "sgM"
    std::optional<std::string> blockName;  // "srN", absent while no block driver is bound
};

// The first line of a sysfs attribute, without its line end; none when unreadable.
std::optional<std::string> readAttribute(const std::string& path);
// Without leading and trailing blanks, NULs and line ends (INQUIRY texts are blank padded).
std::string trimmed(const std::string& text);

// Every MMC device, ordered by generic node number.
std::vector<MmcDevice> scanMmcDevices(const Layout& layout);
// The MMC device behind one generic node, or none (gone, or another peripheral type).
std::optional<MmcDevice> mmcDeviceForGeneric(const Layout& layout, const std::string& genericName);
// The block node of a SCSI device now (the block driver may bind after the generic one).
std::optional<std::string> blockNameOf(const std::string& deviceKey);
// Name of the kernel driver bound to the SCSI device, e.g. "sr".
std::optional<std::string> driverOf(const std::string& deviceKey);

// Optical block devices ("srN"), in number order.
std::vector<std::string> opticalBlockNames(const Layout& layout);
bool isOpticalBlockName(const std::string& name);
// The drive's INQUIRY product as the kernel keeps it, trimmed.
std::optional<std::string> modelOfBlock(const Layout& layout, const std::string& blockName);

std::string devicePath(const Layout& layout, const std::string& name);

}  // namespace platform::sysfs
