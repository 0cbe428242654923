#include "platform/Matching.h"

#include <atomic>
#include <mutex>

#include "platform/Backend.h"
#include "platform/Registry.h"

namespace platform {
namespace {

struct MatchingFaults {
    std::mutex mutex;
    int failCreations = 0;
    std::optional<kern_return_t> result;
    bool zeroIterator = false;
};

MatchingFaults& faults() {
    static MatchingFaults instance;
    return instance;
}

const std::string* textValue(const Dictionary& dict, const std::string& key) {
    const Dictionary::Value* value = dict.get(key);
    return value ? std::get_if<std::string>(value) : nullptr;
}

}  // namespace

const Dictionary::Value* Dictionary::get(const std::string& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? nullptr : &it->second;
}

CFMutableDictionaryRef CFDictionaryCreateMutable() {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    if (f.failCreations > 0) {
        --f.failCreations;
        return nullptr;
    }
    return std::make_shared<Dictionary>();
}

void CFDictionarySetValue(const CFMutableDictionaryRef& dict, const std::string& key, Dictionary::Value value) {
    if (dict) dict->set(key, std::move(value));
}

bool IsAuthoringDeviceMatch(const Dictionary& matching) {
    const Dictionary::Value* inner = matching.get(kIOPropertyMatchKey);
    const auto* innerDict = inner ? std::get_if<CFDictionaryRef>(inner) : nullptr;
    if (!innerDict || !*innerDict) return false;
    const std::string* category = textValue(**innerDict, kIOPropertySCSITaskDeviceCategory);
    return category && *category == kIOPropertySCSITaskAuthoringDevice;
}

kern_return_t IOServiceGetMatchingServices(mach_port_t /*masterPort*/, CFDictionaryRef matching,
                                           io_iterator_t* existing) {
    if (!existing || !matching) return kIOReturnBadArgument;
    {
        auto& f = faults();
        std::lock_guard lock(f.mutex);
        if (f.result && *f.result != kIOReturnSuccess) return *f.result;
        if (f.zeroIterator) {
            *existing = IO_OBJECT_NULL;
            return kIOReturnSuccess;
        }
    }
    std::vector<io_service_t> services;
    if (IsAuthoringDeviceMatch(*matching)) {
        for (const auto& node : backend().authoringDevices()) services.push_back(registry::retainService(node));
    }
    *existing = registry::createIterator(std::move(services));
    return kIOReturnSuccess;
}

namespace testing {
void failDictionaryCreation(int count) {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    f.failCreations = count;
}
void setMatchingOutcome(std::optional<kern_return_t> result, bool zeroIterator) {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    f.result = result;
    f.zeroIterator = zeroIterator;
}
void resetMatchingFaults() {
    auto& f = faults();
    std::lock_guard lock(f.mutex);
    f.failCreations = 0;
    f.result.reset();
    f.zeroIterator = false;
}
}  // namespace testing
}  // namespace platform
