// The volume name of a disc, read from its file system by libblkid: ISO 9660 for CDs and
// most DVDs, UDF for BDs and UDF DVDs.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Trimmed label of the medium (or image file) at `path`; none when it holds neither file
// system, cannot be read, or its label is blank.
std::optional<std::string> readDiscLabel(const std::string& path);

}  // namespace platform
