#include "platform/NotificationCenter.h"

#include <algorithm>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter;  // lives until the process ends
    return *center;
}

void NotificationCenter::addObserver(const void* observer, const std::string& name, Handler handler) {
    std::lock_guard lock(mutex_);
    entries_.push_back({observer, name, std::move(handler)});
}

void NotificationCenter::removeObserver(const void* observer) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [observer](const Entry& e) { return e.observer == observer; });
}

void NotificationCenter::post(const std::string& name, std::optional<std::int64_t> object,
                              std::vector<std::string> drives) {
    // Observers run without the centre's lock held: they may post or register in turn.
    std::vector<Handler> handlers;
    {
        std::lock_guard lock(mutex_);
        for (const Entry& e : entries_)
            if (e.name == name) handlers.push_back(e.handler);
    }
    const Notification notification{name, object, std::move(drives)};
    for (const Handler& handler : handlers) handler(notification);
}

}  // namespace platform
