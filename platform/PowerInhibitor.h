// Keeps the machine from sleeping or shutting down while something that must not be cut
// off runs (a firmware install). On Linux this is a systemd-logind inhibitor lock
// ("sleep:shutdown", mode "block") taken over the system D-Bus; the lock is a file
// descriptor, and closing it lets the machine sleep again. The simulator takes the same
// lock: what it guards is the machine, not the drive.
#pragma once

#include <string>

#include "log/UniqueFd.h"

namespace platform {

class SystemSleepInhibitor {
public:
    // Asks for the lock; where there is no system bus or no logind, goes on without one
    // (noted at debug level). `why` is shown to whoever tries to sleep or shut down.
    explicit SystemSleepInhibitor(std::string why);
    // Moved, the lock goes with the object; destroyed, it is released.

    bool held() const { return bool(fd_); }
    // Gives the lock back before the end of the object's life; nothing when not held.
    void release() noexcept { fd_.reset(); }

private:
    kdulog::UniqueFd fd_;
};

}  // namespace platform
