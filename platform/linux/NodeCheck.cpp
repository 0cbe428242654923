#include "platform/linux/NodeCheck.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace platform::sysfs {
namespace {

std::string numberText(dev_t number) { return std::to_string(major(number)) + ":" + std::to_string(minor(number)); }

// The device number that `node` names, against the one sysfs lists.
std::optional<std::string> numberMismatch(dev_t nodeNumber, const std::string& node, const std::string& devAttribute) {
    const auto listed = readAttribute(devAttribute);
    unsigned major = 0, minor = 0;
    char extra = 0;
    if (!listed || std::sscanf(listed->c_str(), "%u:%u%c", &major, &minor, &extra) != 2) {
        return "sysfs lists no device number for " + node;
    }
    if (nodeNumber != makedev(major, minor)) {
        return node + " is device " + numberText(nodeNumber) + ", not " + trimmed(*listed);
    }
    return std::nullopt;
}

std::optional<std::string> nodeMismatch(const Layout& layout, const std::string& name,
                                        const std::string& devAttribute) {
    const std::string node = devicePath(layout, name);
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0) {
        return node + " is gone";
    }
    return numberMismatch(st.st_rdev, node, devAttribute);
}

}  // namespace

std::string genericDevAttribute(const Layout& layout, const std::string& genericName) {
    return (fs::path(layout.sysRoot) / "class" / "scsi_generic" / genericName / "dev").string();
}

std::string blockDevAttribute(const Layout& layout, const std::string& blockName) {
    return (fs::path(layout.sysRoot) / "block" / blockName / "dev").string();
}

std::optional<std::string> genericNodeMismatch(const Layout& layout, const std::string& genericName,
                                               const std::string& deviceKey) {
    std::error_code ec;
    const fs::path link = fs::path(layout.sysRoot) / "class" / "scsi_generic" / genericName / "device";
    const fs::path now = fs::canonical(link, ec);
    if (ec) {
        return genericName + " is no longer in sysfs";
    }
    if (now.string() != deviceKey) {
        return genericName + " now belongs to " + now.string();
    }
    return nodeMismatch(layout, genericName, genericDevAttribute(layout, genericName));
}

std::optional<std::string> blockNodeMismatch(const Layout& layout, const std::string& blockName) {
    return nodeMismatch(layout, blockName, blockDevAttribute(layout, blockName));
}

std::optional<std::string> openedNodeMismatch(int fd, const Layout& layout, const std::string& nodeName,
                                              const std::string& sysfsDevAttribute) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return devicePath(layout, nodeName) + " cannot be examined";
    }
    return numberMismatch(st.st_rdev, devicePath(layout, nodeName), sysfsDevAttribute);
}

}  // namespace platform::sysfs
