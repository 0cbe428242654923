// Watches drives of the authoring category being attached and detached, and discs coming
// and going, through one descriptor: the caller waits for fd() to become readable and
// calls dispatch(), which reports to the callbacks on the calling thread.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "monitor/DeviceNotice.h"
#include "platform/Backend.h"

class USBDeviceManager {
public:
    struct Callbacks {
        // "appearedDeviceNotify" / "disappearedDeviceNotify" (no object), one per batch.
        std::function<void(const DeviceNotice&)> deviceAdded, deviceRemoved;
        std::function<void(const platform::DiskDescription&, bool appeared)> disc;
    };

    // One instance for the process, made on first use (no caller needs it today).
    static USBDeviceManager& sharedInstance();

    explicit USBDeviceManager(Callbacks callbacks = {});

    // Opens the watch, reports the discs present and the two initial notices (no drives).
    // False after one logged line when nothing can be watched.
    bool start();
    // Readable when something changed; -1 before a successful start().
    int fd() const;
    // Reports what changed since the last call; never blocks.
    void dispatch();

private:
    void deviceAddedCallback(const std::vector<std::shared_ptr<platform::DeviceNode>>& nodes);
    void deviceRemovedCallback(const std::vector<std::shared_ptr<platform::DeviceNode>>& nodes);
    void report(const std::vector<platform::DiskDescription>& discs, bool appeared);

    Callbacks callbacks_;
    std::unique_ptr<platform::EventSource> source_;
};
