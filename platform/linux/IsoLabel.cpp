#include "platform/linux/IsoLabel.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/linux/Sysfs.h"
#include "platform/linux/UniqueFd.h"

namespace platform {
namespace {

constexpr off_t kPrimaryDescriptorOffset = 16 * 2048;
constexpr std::size_t kSectorSize = 2048;
constexpr std::size_t kVolumeIdOffset = 40;
constexpr std::size_t kVolumeIdLength = 32;

}  // namespace

std::optional<std::string> readIsoVolumeLabelFrom(int fd) {
    // A whole sector: optical block devices refuse reads that are not sector-sized.
    std::array<char, kSectorSize> sector{};
    if (::pread(fd, sector.data(), sector.size(), kPrimaryDescriptorOffset) != static_cast<ssize_t>(sector.size())) {
        return std::nullopt;
    }
    if (sector[0] != 1 || std::memcmp(sector.data() + 1, "CD001", 5) != 0) {
        return std::nullopt;
    }
    std::string label = sysfs::trimmed(std::string(sector.data() + kVolumeIdOffset, kVolumeIdLength));
    if (label.empty()) {
        return std::nullopt;
    }
    return label;
}

std::optional<std::string> readIsoVolumeLabel(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    return readIsoVolumeLabelFrom(fd.get());
}

}  // namespace platform
