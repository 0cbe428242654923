#include "drive/DriveReturn.h"

#include <poll.h>

#include <algorithm>
#include <memory>

#include "drive/STUCMethod.h"
#include "log/Log.h"
#include "platform/Backend.h"

namespace {

using namespace platform;

std::shared_ptr<DeviceNode> returnedAmong(const scsi::DriveIdentity& gone,
                                          const std::vector<std::shared_ptr<DeviceNode>>& nodes) {
    for (const auto& node : nodes) {
        if (gone.returnedAs(node->identity())) return node;
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<DeviceNode> AwaitDriveReturn(const scsi::DriveIdentity& gone,
                                             std::chrono::steady_clock::time_point deadline,
                                             const std::function<bool()>& stop, std::chrono::milliseconds slice) {
    // A watch of its own: the caller's thread may wait on others that must not be served here.
    const std::unique_ptr<EventSource> arrivals = backend().createEventSource();
    if (!arrivals) {
        KDU_LOG_ERR("AwaitDriveReturn", "arrivals cannot be followed. (0x%08x)",
                    static_cast<unsigned>(scsi::TransportError::NoResources));
        return nullptr;
    }

    // Back already, before the watch could see it arrive: one look at what is attached.
    std::shared_ptr<DeviceNode> found = returnedAmong(gone, FindDevicesUsing(kFindMethodAuthoringDevices));
    while (!found) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || (stop && stop())) break;
        const auto wait = std::min(slice, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                              std::chrono::milliseconds(1));
        pollfd ready{arrivals->fd(), POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) continue;
        HotplugEvents events;
        arrivals->drain(events);
        found = returnedAmong(gone, events.published);
    }
    return found;
}
