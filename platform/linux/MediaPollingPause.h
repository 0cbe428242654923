// Switches the kernel's media polling of one drive off while we hold the drive, so the
// block driver's periodic status commands do not interleave with ours (a firmware
// transfer must not be interrupted). The previous setting comes back on destruction; in
// case the process dies first, it is recorded in the runtime folder beforehand, and the
// next start gives back what such a record holds.
#pragma once

#include <optional>
#include <string>

#include "platform/linux/Sysfs.h"
#include "log/UniqueFd.h"

namespace platform {

class MediaPollingPause {
public:
    // Does nothing when the setting cannot be read or written (not root, no such drive),
    // or what is paused cannot be recorded first.
    MediaPollingPause(const sysfs::Layout& layout, const std::string& blockName);
    ~MediaPollingPause();
    MediaPollingPause(const MediaPollingPause&) = delete;
    MediaPollingPause& operator=(const MediaPollingPause&) = delete;

    bool active() const { return previous_.has_value(); }

private:
    std::string path_;
    std::optional<std::string> previous_;
    std::string recordPath_;
    kdulog::UniqueFd record_;  // locked while the pause lasts: a live owner's record is left alone
};

// Gives back the polling that earlier runs paused and did not live to restore (records
// still locked belong to a running process and are left alone). Called at backend start.
void restoreMediaPolling(const sysfs::Layout& layout);

}  // namespace platform
