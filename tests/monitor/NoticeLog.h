// Records the device notices as they are posted: name, object, thread, and the start-up
// disc flag at that moment.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "model/NotificationNames.h"
#include "monitor/DAUtil.h"
#include "platform/NotificationCenter.h"

namespace monitor_test {

struct Notice {
    std::string name;
    std::optional<std::int64_t> object;
    std::thread::id thread;
    bool flag;
};

class NoticeLog {
public:
    NoticeLog() {
        for (const char* name : {kAppearedDeviceNotify, kDisappearedDeviceNotify})
            platform::NotificationCenter::defaultCenter().addObserver(this, name, [this](const auto& n) {
                std::lock_guard lock(mutex_);
                notices_.push_back({n.name, n.object, std::this_thread::get_id(), IsPresenceDiscsForAppLaunch});
                changed_.notify_all();
            });
    }
    ~NoticeLog() { platform::NotificationCenter::defaultCenter().removeObserver(this); }

    std::vector<Notice> notices() const {
        std::lock_guard lock(mutex_);
        return notices_;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const Notice& notice : notices()) names.push_back(notice.name);
        return names;
    }
    // False only when they never come (a guard against hanging, not a timing check).
    bool waitFor(std::size_t count) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(2), [&] { return notices_.size() >= count; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Notice> notices_;
};

}  // namespace monitor_test
