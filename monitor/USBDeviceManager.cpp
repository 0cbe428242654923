#include "monitor/USBDeviceManager.h"

#include <memory>
#include <string>
#include <vector>

#include "model/NotificationNames.h"
#include "platform/IONotification.h"
#include "log/Log.h"
#include "platform/Matching.h"
#include "platform/NotificationCenter.h"
#include "platform/Registry.h"
#include "platform/RunLoop.h"

using namespace platform;

namespace {

// Authoring devices, in the registry's property-match form.
CFMutableDictionaryRef createAuthoringDeviceMatching() {
    CFMutableDictionaryRef matching = CFDictionaryCreateMutable();
    CFMutableDictionaryRef property = CFDictionaryCreateMutable();
    if (!matching || !property) return nullptr;
    CFDictionarySetValue(property, kIOPropertySCSITaskDeviceCategory, std::string(kIOPropertySCSITaskAuthoringDevice));
    CFDictionarySetValue(matching, kIOPropertyMatchKey, CFDictionaryRef(property));
    return matching;
}

// Takes every service, which also re-arms the registration, then posts one notice for the
// lot naming each drive by the id the listing uses, so that every observer agrees on which
// drive came or went (what the drives are, the listing looks at again).
void drainAndPost(io_iterator_t iterator, const char* name) {
    std::vector<std::string> drives;
    for (io_service_t service = IOIteratorNext(iterator); service != IO_OBJECT_NULL;
         service = IOIteratorNext(iterator)) {
        drives.push_back(IORegistryEntryGetIdentity(service).id);
        IOObjectRelease(service);
    }
    NotificationCenter::defaultCenter().post(name, std::nullopt, std::move(drives));
}

// The task's right to the master port, given back once the registrations are made.
class MasterPortRight {
public:
    explicit MasterPortRight(mach_port_t port) : port_(port) {}
    MasterPortRight(const MasterPortRight&) = delete;
    MasterPortRight& operator=(const MasterPortRight&) = delete;
    ~MasterPortRight() { giveBack(); }
    mach_port_t get() const { return port_; }
    void giveBack() {
        if (port_ != MACH_PORT_NULL) mach_port_deallocate(mach_task_self(), port_);
        port_ = MACH_PORT_NULL;
    }

private:
    mach_port_t port_;
};

struct PortDestroyer {
    void operator()(IONotificationPortRef port) const { IONotificationPortDestroy(port); }
};

// The caller's reference to a notification iterator; the registration keeps its own.
class IteratorReference {
public:
    IteratorReference() = default;
    IteratorReference(const IteratorReference&) = delete;
    IteratorReference& operator=(const IteratorReference&) = delete;
    ~IteratorReference() {
        if (iterator_ != IO_OBJECT_NULL) IOObjectRelease(iterator_);
    }
    io_iterator_t* out() { return &iterator_; }
    io_iterator_t get() const { return iterator_; }

private:
    io_iterator_t iterator_ = IO_OBJECT_NULL;
};

}  // namespace

USBDeviceManager& USBDeviceManager::sharedInstance() {
    static USBDeviceManager instance;  // thread-safe first call; lives until the process ends
    return instance;
}

bool USBDeviceManager::start() {
    mach_port_t masterPort = MACH_PORT_NULL;
    kern_return_t result = IOMasterPort(MACH_PORT_NULL, &masterPort);
    if (result != kIOReturnSuccess || masterPort == MACH_PORT_NULL) {
        KDU_LOG_ERR("USBDeviceManager::start", "Couldn't create a master IOKit Port(%08x)",
                    static_cast<unsigned>(result));
        return false;
    }

    MasterPortRight master(masterPort);

    CFDictionaryRef matching = createAuthoringDeviceMatching();

    // The port, its run-loop source and both registrations live while this thread runs its
    // loop, which in the application is until the process ends; any way out takes them down.
    std::unique_ptr<IONotificationPort, PortDestroyer> notifyPort(IONotificationPortCreate(master.get()));
    IONotificationPortAddToRunLoop(notifyPort.get(), CFRunLoopGetCurrent());

    IteratorReference addedIterator;
    result = IOServiceAddMatchingNotification(notifyPort.get(), kIOFirstMatchNotification, matching,
                                              deviceAddedCallback, nullptr, addedIterator.out());
    if (result != kIOReturnSuccess) {
        KDU_LOG_ERR("USBDeviceManager::start", "set notify I/O First Match(%08x)", static_cast<unsigned>(result));
        return false;
    }
    deviceAddedCallback(nullptr, addedIterator.get());

    IteratorReference removedIterator;
    result = IOServiceAddMatchingNotification(notifyPort.get(), kIOTerminatedNotification, matching,
                                              deviceRemovedCallback, nullptr, removedIterator.out());
    if (result != kIOReturnSuccess) {
        KDU_LOG_ERR("USBDeviceManager::start", "set notify I/O Terminated (%08x)", static_cast<unsigned>(result));
        return false;
    }
    deviceRemovedCallback(nullptr, removedIterator.get());

    // The notification port works without it.
    master.giveBack();

    CFRunLoopRun();
    return true;
}

void deviceAddedCallback(void* /*refcon*/, io_iterator_t iterator) { drainAndPost(iterator, kAppearedDeviceNotify); }

void deviceRemovedCallback(void* /*refcon*/, io_iterator_t iterator) {
    drainAndPost(iterator, kDisappearedDeviceNotify);
}
