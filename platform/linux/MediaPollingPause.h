// Switches the kernel's media polling of one drive off while we hold the drive, so the
// block driver's periodic status commands do not interleave with ours (a firmware
// transfer must not be interrupted). The previous setting comes back on destruction.
#pragma once

#include <optional>
#include <string>

#include "platform/linux/Sysfs.h"

namespace platform {

class MediaPollingPause {
public:
    // Does nothing when the setting cannot be read or written (not root, no such drive).
    MediaPollingPause(const sysfs::Layout& layout, const std::string& blockName);
    ~MediaPollingPause();
    MediaPollingPause(const MediaPollingPause&) = delete;
    MediaPollingPause& operator=(const MediaPollingPause&) = delete;

    bool active() const { return previous_.has_value(); }

private:
    std::string path_;
    std::optional<std::string> previous_;
};

}  // namespace platform
