#include "drive/DriveReturn.h"

#include <poll.h>

#include <algorithm>
#include <memory>

#include "drive/STUCMethod.h"
#include "log/Log.h"
#include "platform/Backend.h"
#include "platform/Registry.h"

namespace {

using namespace platform;

// Keeps the first service that is the drive; gives back every other one.
io_service_t takeReturned(const scsi::DriveIdentity& gone, io_iterator_t iterator) {
    io_service_t found = IO_OBJECT_NULL;
    for (io_service_t service = IOIteratorNext(iterator); service != IO_OBJECT_NULL; service = IOIteratorNext(iterator)) {
        if (found == IO_OBJECT_NULL && gone.returnedAs(IORegistryEntryGetIdentity(service))) {
            found = service;
        } else {
            IOObjectRelease(service);
        }
    }
    return found;
}

io_service_t returnedAmong(const scsi::DriveIdentity& gone, const std::vector<std::shared_ptr<DeviceNode>>& nodes) {
    for (const auto& node : nodes) {
        if (gone.returnedAs(node->identity())) return registry::retainService(node);
    }
    return IO_OBJECT_NULL;
}

}  // namespace

io_service_t AwaitDriveReturn(const scsi::DriveIdentity& gone, std::chrono::steady_clock::time_point deadline,
                              const std::function<bool()>& stop, std::chrono::milliseconds slice) {
    // A watch of its own: the caller's thread may wait on others that must not be served here.
    const std::unique_ptr<EventSource> arrivals = backend().createEventSource();
    if (!arrivals) {
        KDU_LOG_ERR("AwaitDriveReturn", "arrivals cannot be followed. (0x%08x)",
                    static_cast<unsigned>(kIOReturnNoResources));
        return IO_OBJECT_NULL;
    }

    // Back already, before the watch could see it arrive: one look at what is attached.
    io_service_t found = IO_OBJECT_NULL;
    io_iterator_t attached = IO_OBJECT_NULL;
    FindDevicesUsing(kFindMethodAuthoringDevices, kIOMasterPortDefault, &attached);
    if (attached != IO_OBJECT_NULL) {
        found = takeReturned(gone, attached);
        IOObjectRelease(attached);
    }

    while (found == IO_OBJECT_NULL) {
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
