// The process's notification centre. Posting is synchronous: every observer of the
// name runs on the posting thread before post() returns. A notice carries no object
// or a number, and the ids of the drives it is about, if any.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Notification {
    std::string name;
    std::optional<std::int64_t> object;  // none, or a number
    std::vector<std::string> drives;     // DriveIdentity ids, in the order reported
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;
    static NotificationCenter& defaultCenter();

    // `observer` only identifies the registration for removeObserver.
    void addObserver(const void* observer, const std::string& name, Handler handler);
    void removeObserver(const void* observer);
    void post(const std::string& name, std::optional<std::int64_t> object = std::nullopt,
              std::vector<std::string> drives = {});

private:
    struct Entry {
        const void* observer;
        std::string name;
        Handler handler;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace platform
