// Real drives on Linux: discovery from sysfs, SG_IO pass-through, hot-plug from the
// kernel's device events. No Linux header leaks through here.
#pragma once

#include <memory>
#include <string>

#include "platform/Backend.h"
#include "platform/linux/UEvent.h"

namespace platform {

struct LinuxBackendOptions {
    std::string sysRoot = "/sys";  // tests point these at a fake tree
    std::string devRoot = "/dev";
    std::string stateDir;          // empty: the user's runtime folder
    PropertyLookup udev;           // null: udev's database, where udevd runs
};

std::shared_ptr<Backend> makeLinuxBackend(const LinuxBackendOptions& options = {});

}  // namespace platform
