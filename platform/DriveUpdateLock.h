// One update per drive across every process of the user and the machine: a lock file per
// drive identity in the runtime directory, held with flock for as long as the update runs.
// The kernel drops the lock when the holder dies, so a crash never leaves a drive locked.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "log/UniqueFd.h"

namespace platform {

class DriveUpdateLock {
public:
    // Taken at once or not at all: a second update is refused, never kept waiting. When not
    // taken, `whyNot` says why (another process holds it, or no lock file could be made).
    static std::optional<DriveUpdateLock> tryTake(const std::string& driveId, std::string& whyNot);
    // `whyNot` when another process holds the lock.
    static constexpr const char* kHeldElsewhere = "the drive is being updated by another process";

    // Moved, the lock goes with the object; destroyed, the file is closed and the lock let go.

    // The folder that holds the lock files: $XDG_RUNTIME_DIR/kestory-drive-updater when the
    // session has one, else a folder of the user's own under /tmp.
    static std::string lockFolder();

private:
    explicit DriveUpdateLock(kdulog::UniqueFd fd) : fd_(std::move(fd)) {}
    kdulog::UniqueFd fd_;
};

}  // namespace platform
