// The volume name of an ISO 9660 medium, read from its primary volume descriptor.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Trimmed volume identifier of the medium (or image file) at `path`; none when there is
// no readable primary volume descriptor or the identifier is blank.
std::optional<std::string> readIsoVolumeLabel(const std::string& path);
// The same from an open descriptor.
std::optional<std::string> readIsoVolumeLabelFrom(int fd);

}  // namespace platform
