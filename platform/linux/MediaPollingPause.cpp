#include "platform/linux/MediaPollingPause.h"

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

bool writeAttribute(const std::string& path, const std::string& value) {
    std::ofstream out(path);  // sysfs attributes exist already: never create one
    if (!out) {
        return false;
    }
    out << value << '\n';
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace

MediaPollingPause::MediaPollingPause(const sysfs::Layout& layout, const std::string& blockName)
    : path_((std::filesystem::path(layout.sysRoot) / "block" / blockName / "events_poll_msecs").string()) {
    if (!std::filesystem::exists(path_)) {
        return;
    }
    auto previous = sysfs::readAttribute(path_);
    if (!previous || sysfs::trimmed(*previous) == "0") {
        return;  // unreadable, or already off: nothing to give back
    }
    if (writeAttribute(path_, "0")) {
        previous_ = sysfs::trimmed(*previous);
    }
}

MediaPollingPause::~MediaPollingPause() {
    if (previous_) {
        writeAttribute(path_, *previous_);
    }
}

}  // namespace platform
