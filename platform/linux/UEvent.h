// A device event as the kernel (or udev) reports it, detached from libudev.
#pragma once

#include <functional>
#include <map>
#include <string>

namespace platform {

using DeviceProperties = std::map<std::string, std::string>;
// udev's properties of one device by subsystem and kernel name (empty when it has none).
using PropertyLookup = std::function<DeviceProperties(const std::string& subsystem, const std::string& sysname)>;

struct UEvent {
    std::string action;     // "add", "remove", "change", ...
    std::string subsystem;  // "scsi_generic", "block"
    std::string sysname;    // "sg1", "sr0"
    DeviceProperties properties;
};

}  // namespace platform
