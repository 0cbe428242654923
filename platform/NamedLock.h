// Process-wide recursive locks identified by name ("SYNC_LISTING", ...).
#pragma once

#include <mutex>
#include <string>

namespace platform {

std::recursive_mutex& namedLock(const std::string& name);

// Holds the named lock for its scope, also when an exception passes through.
class SyncScope {
public:
    explicit SyncScope(const std::string& name) : lock_(namedLock(name)) {}
    SyncScope(const SyncScope&) = delete;
    SyncScope& operator=(const SyncScope&) = delete;

private:
    std::lock_guard<std::recursive_mutex> lock_;
};

}  // namespace platform
