// This program's folder in the user's runtime directory: private, emptied at logout and
// reboot, for records that only matter while the machine stays up.
#pragma once

#include <optional>
#include <string>

namespace platform {

// `chosen` when not empty (tests), else $XDG_RUNTIME_DIR/kestory-drive-updater, else
// /run/user/UID/kestory-drive-updater, else /tmp/kestory-drive-updater-UID; created when
// missing. None when the folder cannot be made, or is not a folder of this user's alone.
std::optional<std::string> runtimeFolder(const std::string& chosen = {});

}  // namespace platform
