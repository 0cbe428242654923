#include "drive/DriveReturn.h"

#include <algorithm>
#include <memory>

#include "drive/DriveAccess.h"
#include "drive/STUCMethod.h"
#include "log/Log.h"
#include "platform/IONotification.h"
#include "platform/Registry.h"
#include "platform/RunLoop.h"

namespace {

using namespace platform;

struct Watch {
    const scsi::DriveIdentity& gone;
    RunLoop& loop;
    io_service_t found = IO_OBJECT_NULL;

    // Keeps the first service that is the drive; takes every other one off the iterator,
    // which also re-arms the registration.
    void take(io_iterator_t iterator) {
        for (io_service_t service = IOIteratorNext(iterator); service != IO_OBJECT_NULL;
             service = IOIteratorNext(iterator)) {
            if (found == IO_OBJECT_NULL && gone.returnedAs(IORegistryEntryGetIdentity(service))) {
                found = service;
                loop.stop();
            } else {
                IOObjectRelease(service);
            }
        }
    }
    static void arrived(void* refcon, io_iterator_t iterator) { static_cast<Watch*>(refcon)->take(iterator); }
};

struct PortDestroyer {
    void operator()(IONotificationPortRef port) const { IONotificationPortDestroy(port); }
};

CFDictionaryRef authoringMatching() {
    CFMutableDictionaryRef matching;
    CreateMatchingDictionaryForAuthoringDevices(&matching);
    return matching;
}

}  // namespace

io_service_t AwaitDriveReturn(const scsi::DriveIdentity& gone, std::chrono::steady_clock::time_point deadline,
                              const std::function<bool()>& stop, std::chrono::milliseconds slice) {
    mach_port_t master = MACH_PORT_NULL;
    if (IOMasterPort(MACH_PORT_NULL, &master) != kIOReturnSuccess || master == MACH_PORT_NULL) {
        KDU_LOG_ERR("AwaitDriveReturn", "no master port: arrivals cannot be followed.");
        return IO_OBJECT_NULL;
    }
    // A loop of its own: the caller's thread may run other sources that must not be served here.
    const std::shared_ptr<RunLoop> loop = makePollRunLoop();
    Watch watch{gone, *loop};
    const std::unique_ptr<IONotificationPort, PortDestroyer> port(IONotificationPortCreate(master));
    io_iterator_t arrivals = IO_OBJECT_NULL;
    const kern_return_t registered =
        port ? IOServiceAddMatchingNotification(port.get(), kIOFirstMatchNotification, authoringMatching(),
                                                &Watch::arrived, &watch, &arrivals)
             : kIOReturnNoResources;
    if (registered != kIOReturnSuccess) {
        KDU_LOG_ERR("AwaitDriveReturn", "arrivals cannot be followed. (0x%08x)", static_cast<unsigned>(registered));
        mach_port_deallocate(mach_task_self(), master);
        return IO_OBJECT_NULL;
    }
    const drive_access::ServiceReference arrivalsReference(arrivals);
    IONotificationPortAddToRunLoop(port.get(), *loop);
    watch.take(arrivals);  // arms the registration

    // Back already, before the registration could see it arrive: one look at what is attached.
    io_iterator_t attached = IO_OBJECT_NULL;
    FindDevicesUsing(kFindMethodAuthoringDevices, master, &attached);
    mach_port_deallocate(mach_task_self(), master);
    if (attached != IO_OBJECT_NULL) {
        watch.take(attached);
        IOObjectRelease(attached);
    }

    while (watch.found == IO_OBJECT_NULL) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || (stop && stop())) break;
        loop->runFor(std::min(slice, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                         std::chrono::milliseconds(1)));
    }
    return watch.found;
}
