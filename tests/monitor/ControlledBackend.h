// A backend whose hot-plug sources the test feeds by hand: each push() is one batch that
// the run loop drains in one go, so tests decide exactly what arrives together.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Backend.h"

namespace monitor_test {

class ControlledBackend : public platform::Backend {
public:
    ControlledBackend();
    ~ControlledBackend() override;

    static std::shared_ptr<platform::DeviceNode> drive(const std::string& key);
    static platform::DiskDescription disk(const std::string& bsdName, std::optional<std::string> volume,
                                          std::optional<std::string> model);

    // One batch to every device (or disk) source made so far.
    void pushDeviceEvents(platform::HotplugEvents events);
    void pushDiskEvents(platform::HotplugEvents events);
    void setPresentDisks(std::vector<platform::DiskDescription> disks);
    // While set, new sources cannot be made (the callers' failure handling).
    void refuseSources(bool refuse);

    std::string name() const override { return "controlled"; }
    std::vector<std::shared_ptr<platform::DeviceNode>> authoringDevices() override { return {}; }
    std::unique_ptr<platform::EventSource> createDeviceEventSource() override;
    std::unique_ptr<platform::EventSource> createDiskEventSource() override;
    std::vector<platform::DiskDescription> presentDisks() override;

    struct Channel;

private:
    std::mutex mutex_;
    std::vector<std::weak_ptr<Channel>> deviceChannels_, diskChannels_;
    std::vector<platform::DiskDescription> presentDisks_;
    bool refuse_ = false;
};

// Records the device notices, with the thread each ran on.
class NoticeLog {
public:
    struct Entry {
        std::string name;
        std::optional<std::int64_t> object;
        std::thread::id thread;
    };
    NoticeLog();
    ~NoticeLog();
    std::vector<Entry> entries() const;
    std::vector<std::string> names() const;
    // Blocks until `count` notices have come; false only when they never do (a hang guard).
    bool waitForCount(std::size_t count) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Entry> entries_;
};

}  // namespace monitor_test
