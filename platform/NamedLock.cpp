#include "platform/NamedLock.h"

#include <map>
#include <memory>

namespace platform {

std::recursive_mutex& namedLock(const std::string& name) {
    static std::mutex tableMutex;
    static auto* table = new std::map<std::string, std::unique_ptr<std::recursive_mutex>>;
    std::lock_guard lock(tableMutex);
    auto& slot = (*table)[name];
    if (!slot) slot = std::make_unique<std::recursive_mutex>();
    return *slot;
}

}  // namespace platform
