#include "platform/IONotification.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Registry.h"

namespace platform {
namespace {

// The master port is only a token: the registry needs no port to talk to.
constexpr mach_port_t kMasterPortToken = 0x0B07;

struct Faults {
    std::mutex mutex;
    kern_return_t masterPortResult = kIOReturnSuccess;
    bool masterPortNull = false;
    std::map<std::string, kern_return_t> registrationResults;
};

Faults& faults() {
    static Faults instance;
    return instance;
}

enum class Kind { FirstMatch, Terminated };

struct Registration {
    Kind kind;
    CFDictionaryRef matching;  // the registration's own reference
    IOServiceMatchingCallback callback;
    void* refcon;
    io_iterator_t iterator;  // the port holds one reference, the caller another
};

struct Delivery {
    IOServiceMatchingCallback callback;
    void* refcon;
    io_iterator_t iterator;
};

// Takes out what the caller has not yet drained and puts it back ahead of `added`.
// True when nothing was left: the caller has drained the iterator, so it is armed.
bool refill(io_iterator_t iterator, std::vector<io_service_t> added) {
    std::vector<io_service_t> services;
    for (io_service_t left = IOIteratorNext(iterator); left != IO_OBJECT_NULL; left = IOIteratorNext(iterator))
        services.push_back(left);
    const bool armed = services.empty();
    services.insert(services.end(), added.begin(), added.end());
    registry::appendToIterator(iterator, std::move(services));
    return armed;
}

}  // namespace

class IONotificationPort {
public:
    explicit IONotificationPort(std::unique_ptr<EventSource> source) : source_(std::move(source)) {}

    ~IONotificationPort() {
        detach();
        for (const Registration& registration : registrations_) IOObjectRelease(registration.iterator);
    }

    void attach(RunLoop& loop) {
        detach();
        std::lock_guard lock(mutex_);
        loop_ = &loop;
        sourceId_ = loop.addSource(source_->fd(), [this] { dispatch(); });
    }

    kern_return_t add(Kind kind, CFDictionaryRef matching, IOServiceMatchingCallback callback, void* refcon,
                      io_iterator_t* notification) {
        const io_iterator_t iterator = registry::createIterator({});
        if (iterator == IO_OBJECT_NULL) return kIOReturnNoMemory;
        IOObjectRetain(iterator);
        std::lock_guard lock(mutex_);
        registrations_.push_back(Registration{kind, std::move(matching), callback, refcon, iterator});
        *notification = iterator;
        return kIOReturnSuccess;
    }

private:
    void detach() {
        RunLoop* loop;
        RunLoop::SourceId id;
        {
            std::lock_guard lock(mutex_);
            loop = loop_;
            id = sourceId_;
            loop_ = nullptr;
        }
        if (loop) loop->removeSource(id);
    }

    // Runs on the loop's thread. Everything the source holds now makes at most one
    // callback per registration, delivered outside the lock so callbacks may register.
    void dispatch() {
        HotplugEvents events;
        source_->drain(events);
        std::vector<Delivery> deliveries;
        {
            std::lock_guard lock(mutex_);
            for (const Registration& registration : registrations_) {
                const auto& nodes = registration.kind == Kind::FirstMatch ? events.published : events.terminated;
                if (nodes.empty()) continue;
                std::vector<io_service_t> services;
                for (const auto& node : nodes) {
                    const io_service_t service = registry::retainService(node);
                    if (service != IO_OBJECT_NULL) services.push_back(service);
                }
                if (refill(registration.iterator, std::move(services)))
                    deliveries.push_back(Delivery{registration.callback, registration.refcon, registration.iterator});
            }
        }
        for (const Delivery& delivery : deliveries) delivery.callback(delivery.refcon, delivery.iterator);
    }

    const std::unique_ptr<EventSource> source_;
    std::mutex mutex_;
    RunLoop* loop_ = nullptr;
    RunLoop::SourceId sourceId_ = 0;
    std::vector<Registration> registrations_;
};

kern_return_t IOMasterPort(mach_port_t /*bootstrapPort*/, mach_port_t* masterPort) {
    if (!masterPort) return kIOReturnBadArgument;
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    *masterPort = f.masterPortNull ? MACH_PORT_NULL : kMasterPortToken;
    return f.masterPortResult;
}

kern_return_t mach_port_deallocate(mach_port_t /*task*/, mach_port_t port) {
    return port == kMasterPortToken ? kIOReturnSuccess : kIOReturnBadArgument;
}

IONotificationPortRef IONotificationPortCreate(mach_port_t /*masterPort*/) {
    std::unique_ptr<EventSource> source = backend().createDeviceEventSource();
    if (!source) return nullptr;
    return new IONotificationPort(std::move(source));
}

void IONotificationPortDestroy(IONotificationPortRef port) { delete port; }

void IONotificationPortAddToRunLoop(IONotificationPortRef port, RunLoop& loop) {
    if (port) port->attach(loop);
}

kern_return_t IOServiceAddMatchingNotification(IONotificationPortRef port, const char* notificationType,
                                               CFDictionaryRef matching, IOServiceMatchingCallback callback,
                                               void* refcon, io_iterator_t* notification) {
    if (!port || !notificationType || !matching || !callback || !notification) return kIOReturnBadArgument;
    Kind kind;
    if (std::strcmp(notificationType, kIOFirstMatchNotification) == 0) {
        kind = Kind::FirstMatch;
    } else if (std::strcmp(notificationType, kIOTerminatedNotification) == 0) {
        kind = Kind::Terminated;
    } else {
        return kIOReturnUnsupported;
    }
    {
        auto& f = faults();
        std::lock_guard lock(f.mutex);
        auto fault = f.registrationResults.find(notificationType);
        if (fault != f.registrationResults.end() && fault->second != kIOReturnSuccess) return fault->second;
    }
    // The backend's event sources report authoring devices only.
    if (!IsAuthoringDeviceMatch(*matching)) return kIOReturnUnsupported;
    return port->add(kind, std::move(matching), callback, refcon, notification);
}

namespace testing {

void setMasterPortOutcome(kern_return_t result, bool nullPort) {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    f.masterPortResult = result;
    f.masterPortNull = nullPort;
}

void setNotificationRegistrationResult(const char* notificationType, kern_return_t result) {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    f.registrationResults[notificationType] = result;
}

void resetNotificationFaults() {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    f.masterPortResult = kIOReturnSuccess;
    f.masterPortNull = false;
    f.registrationResults.clear();
}

}  // namespace testing
}  // namespace platform
