#include "platform/Registry.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/Backend.h"
#include "log/Log.h"

namespace platform {
namespace {

struct Object {
    std::uint32_t count = 1;
    std::shared_ptr<DeviceNode> node;     // services
    bool isIterator = false;
    std::deque<io_service_t> pending;     // iterators: services not yet handed out
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<io_object_t, Object> objects;
    std::unordered_map<std::string, io_service_t> serviceByKey;
    io_object_t nextHandle = 0x1001;

    io_object_t newHandle(Object object) {
        io_object_t handle = nextHandle++;
        if (nextHandle == IO_OBJECT_NULL) nextHandle = 0x1001;
        objects.emplace(handle, std::move(object));
        return handle;
    }

    // Drops one reference; an iterator that goes away drops what it still holds.
    kern_return_t releaseLocked(io_object_t handle) {
        auto it = objects.find(handle);
        if (it == objects.end()) return kIOReturnBadArgument;
        if (--it->second.count > 0) return kIOReturnSuccess;
        Object gone = std::move(it->second);
        objects.erase(it);
        if (gone.node) {
            auto byKey = serviceByKey.find(gone.node->key());
            if (byKey != serviceByKey.end() && byKey->second == handle) serviceByKey.erase(byKey);
        }
        for (io_service_t held : gone.pending) releaseLocked(held);
        return kIOReturnSuccess;
    }
};

Registry& reg() {
    static Registry* instance = new Registry;  // outlives every static destructor that may release
    return *instance;
}

}  // namespace

kern_return_t IOObjectRetain(io_object_t object) {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(object);
    if (it == r.objects.end()) return kIOReturnBadArgument;
    ++it->second.count;
    return kIOReturnSuccess;
}

kern_return_t IOObjectRelease(io_object_t object) {
    kern_return_t result;
    {
        auto& r = reg();
        std::lock_guard lock(r.mutex);
        result = r.releaseLocked(object);
    }
    if (result != kIOReturnSuccess)
        KDU_LOG_ERR("IOObjectRelease", "release of an object that is not live (0x%08x)", object);
    return result;
}

kern_return_t IOObjectGetClass(io_object_t object, io_name_t className) {
    std::shared_ptr<DeviceNode> node = registry::nodeOf(object);
    if (!node) return kIOReturnBadArgument;
    std::string name;
    kern_return_t result = node->className(name);
    if (result != kIOReturnSuccess) return result;
    std::size_t length = std::min(name.size(), sizeof(io_name_t) - 1);
    std::memcpy(className, name.data(), length);
    className[length] = '\0';
    return kIOReturnSuccess;
}

scsi::DriveIdentity IORegistryEntryGetIdentity(io_service_t service) {
    std::shared_ptr<DeviceNode> node = registry::nodeOf(service);
    return node ? node->identity() : scsi::DriveIdentity{};
}

scsi::DriveModelNames IORegistryEntryGetModelNames(io_service_t service) {
    std::shared_ptr<DeviceNode> node = registry::nodeOf(service);
    return node ? node->modelNames() : scsi::DriveModelNames{};
}

io_object_t IOIteratorNext(io_iterator_t iterator) {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(iterator);
    if (it == r.objects.end() || !it->second.isIterator || it->second.pending.empty()) return IO_OBJECT_NULL;
    io_service_t next = it->second.pending.front();
    it->second.pending.pop_front();
    return next;
}

std::uint32_t IOObjectGetRetainCount(io_object_t object) {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(object);
    return it == r.objects.end() ? 0 : it->second.count;
}

std::size_t IORegistryLiveObjectCount() {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    return r.objects.size();
}

namespace registry {

io_service_t retainService(const std::shared_ptr<DeviceNode>& node) {
    if (!node) return IO_OBJECT_NULL;
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    auto byKey = r.serviceByKey.find(node->key());
    if (byKey != r.serviceByKey.end()) {
        Object& existing = r.objects.at(byKey->second);
        ++existing.count;
        existing.node = node;  // the newest view of the drive (it may have been re-attached)
        return byKey->second;
    }
    Object object;
    object.node = node;
    io_service_t handle = r.newHandle(std::move(object));
    r.serviceByKey[node->key()] = handle;
    return handle;
}

std::shared_ptr<DeviceNode> nodeOf(io_service_t service) {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(service);
    return it == r.objects.end() ? nullptr : it->second.node;
}

io_iterator_t createIterator(std::vector<io_service_t> services) {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    Object object;
    object.isIterator = true;
    object.pending.assign(services.begin(), services.end());
    return r.newHandle(std::move(object));
}

void appendToIterator(io_iterator_t iterator, std::vector<io_service_t> services) {
    auto& r = reg();
    std::lock_guard lock(r.mutex);
    auto it = r.objects.find(iterator);
    if (it == r.objects.end() || !it->second.isIterator) {
        for (io_service_t s : services) r.releaseLocked(s);
        return;
    }
    it->second.pending.insert(it->second.pending.end(), services.begin(), services.end());
}

}  // namespace registry
}  // namespace platform
