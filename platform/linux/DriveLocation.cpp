#include "platform/linux/DriveLocation.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

constexpr std::size_t kVpdHeaderLength = 4;

std::optional<std::string> locationProperty(const PropertyLookup& udev, const std::string& subsystem,
                                            const std::string& sysname) {
    if (!udev) return std::nullopt;
    const DeviceProperties properties = udev(subsystem, sysname);
    const auto it = properties.find("ID_PATH");
    if (it == properties.end() || it->second.empty()) return std::nullopt;
    return it->second;
}

}  // namespace

std::string sysfsLocation(const sysfs::Layout& layout, const std::string& deviceKey) {
    std::error_code ec;
    fs::path devices = fs::canonical(fs::path(layout.sysRoot) / "devices", ec);
    if (ec) devices = fs::path(layout.sysRoot) / "devices";
    const fs::path relative = fs::path(deviceKey).lexically_relative(devices);

    static const std::regex host("host[0-9]+");
    static const std::regex address("[0-9]+:([0-9]+:[0-9]+:[0-9]+)");
    std::string adapter;
    for (const fs::path& part : relative) {
        if (std::regex_match(part.string(), host)) break;
        if (!adapter.empty()) adapter += '/';
        adapter += part.string();
    }
    std::smatch lun;
    const std::string last = fs::path(deviceKey).filename().string();
    if (std::regex_match(last, lun, address)) return "sysfs-" + adapter + "-" + lun[1].str();
    return "sysfs-" + adapter;
}

std::string driveLocation(const sysfs::Layout& layout, const sysfs::MmcDevice& device, const PropertyLookup& udev) {
    if (const auto block = sysfs::blockNameOf(device.key)) {
        if (auto path = locationProperty(udev, "block", *block)) return *path;
    }
    if (auto path = locationProperty(udev, "scsi_generic", device.genericName)) return *path;
    if (auto path = locationProperty(udev, "scsi", fs::path(device.key).filename().string())) return *path;
    return sysfsLocation(layout, device.key);
}

std::optional<std::string> unitSerialNumber(const std::string& deviceKey) {
    std::ifstream in(fs::path(deviceKey) / "vpd_pg80", std::ios::binary);
    const std::vector<unsigned char> page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (page.size() <= kVpdHeaderLength) return std::nullopt;
    const std::size_t stated = (static_cast<std::size_t>(page[2]) << 8) | page[3];
    const std::size_t length = std::min(stated, page.size() - kVpdHeaderLength);
    const auto begin = page.begin() + kVpdHeaderLength;
    const std::string serial = sysfs::trimmed(std::string(begin, begin + static_cast<std::ptrdiff_t>(length)));
    // Shown to people and written as JSON text: anything but printable ASCII is no serial.
    if (serial.empty() || !std::all_of(serial.begin(), serial.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return std::nullopt;
    return serial;
}

scsi::DriveIdentity driveIdentity(const sysfs::Layout& layout, const sysfs::MmcDevice& device, const PropertyLookup& udev) {
    scsi::DriveIdentity identity;
    identity.id = driveLocation(layout, device, udev);
    identity.nodes.push_back(sysfs::devicePath(layout, device.genericName));
    if (const auto block = sysfs::blockNameOf(device.key)) identity.nodes.push_back(sysfs::devicePath(layout, *block));
    identity.serial = unitSerialNumber(device.key);
    return identity;
}

}  // namespace platform
