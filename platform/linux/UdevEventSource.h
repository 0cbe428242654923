// Device events from a libudev monitor: udev's own (with its properties) where udevd
// runs, the kernel's otherwise (minimal systems, containers, a bare VM).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/linux/UEvent.h"

namespace platform {

// True when udevd runs, judged by its control socket.
bool udevRunning();
// udev's database properties of a device, empty where udevd does not run. A device udev
// has not handled yet is waited for, briefly.
DeviceProperties udevProperties(const std::string& subsystem, const std::string& sysname);

class UdevEventSource : public EventSource {
public:
    using Handler = std::function<void(const UEvent&, HotplugEvents&)>;
    // One monitor for events of all `subsystems`. Null (and one "[ERR]" line) when it cannot be set up.
    static std::unique_ptr<UdevEventSource> create(const std::vector<std::string>& subsystems, Handler handler);
    ~UdevEventSource() override;

    int fd() const override;
    void drain(HotplugEvents& out) override;

private:
    struct Monitor;
    UdevEventSource(std::unique_ptr<Monitor> monitor, Handler handler);

    std::unique_ptr<Monitor> monitor_;
    Handler handler_;
};

}  // namespace platform
