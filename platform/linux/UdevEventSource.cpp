#include "platform/linux/UdevEventSource.h"

#include <libudev.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "log/Log.h"

namespace platform {
namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

DeviceProperties propertiesOf(udev_device* device) {
    DeviceProperties properties;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device)) {
        const char* value = udev_list_entry_get_value(entry);
        properties[udev_list_entry_get_name(entry)] = value != nullptr ? value : "";
    }
    return properties;
}

std::string text(const char* value) { return value != nullptr ? value : ""; }

// udev handles a new device within milliseconds; two seconds covers a busy machine.
constexpr int kInitializationChecks = 40;
constexpr std::chrono::milliseconds kInitializationPause{50};

}  // namespace

struct UdevEventSource::Monitor {
    UdevPtr<udev> context;
    UdevPtr<udev_monitor> monitor;
};

bool udevRunning() { return ::access("/run/udev/control", F_OK) == 0; }

DeviceProperties udevProperties(const std::string& subsystem, const std::string& sysname) {
    if (!udevRunning()) {
        return {};
    }
    const UdevPtr<udev> context(udev_new());
    if (!context) {
        return {};
    }
    // A device that has just arrived may not have been through udev's rules yet; its
    // properties (the location path above all) would be missing from this one listing.
    for (int attempt = 0;; ++attempt) {
        const UdevPtr<udev_device> device(
            udev_device_new_from_subsystem_sysname(context.get(), subsystem.c_str(), sysname.c_str()));
        if (!device) {
            return {};
        }
        // Only devices with a node are sure to get a database entry once udev has seen them.
        const bool hasNode = major(udev_device_get_devnum(device.get())) != 0;
        if (!hasNode || udev_device_get_is_initialized(device.get()) > 0 || attempt == kInitializationChecks) {
            return propertiesOf(device.get());
        }
        std::this_thread::sleep_for(kInitializationPause);
    }
}

std::unique_ptr<UdevEventSource> UdevEventSource::create(const std::vector<std::string>& subsystems,
                                                         Handler handler) {
    auto monitor = std::make_unique<Monitor>();
    monitor->context.reset(udev_new());
    const char* origin = udevRunning() ? "udev" : "kernel";
    if (monitor->context) {
        monitor->monitor.reset(udev_monitor_new_from_netlink(monitor->context.get(), origin));
    }
    bool filtered = monitor->monitor != nullptr;
    std::string names;
    for (const std::string& subsystem : subsystems) {
        filtered = filtered &&
                   udev_monitor_filter_add_match_subsystem_devtype(monitor->monitor.get(), subsystem.c_str(), nullptr) >= 0;
        names += (names.empty() ? "" : " and ") + subsystem;
    }
    if (!filtered || udev_monitor_enable_receiving(monitor->monitor.get()) < 0) {
        KDU_LOG_ERR("UdevEventSource::create", "cannot watch %s events from the %s: no hot-plug reports",
                    names.c_str(), origin);
        return nullptr;
    }
    return std::unique_ptr<UdevEventSource>(new UdevEventSource(std::move(monitor), std::move(handler)));
}

UdevEventSource::UdevEventSource(std::unique_ptr<Monitor> monitor, Handler handler)
    : monitor_(std::move(monitor)), handler_(std::move(handler)) {}

UdevEventSource::~UdevEventSource() = default;

int UdevEventSource::fd() const { return udev_monitor_get_fd(monitor_->monitor.get()); }

void UdevEventSource::drain(HotplugEvents& out) {
    // The monitor's socket does not block: read until it is empty.
    while (true) {
        const UdevPtr<udev_device> device(udev_monitor_receive_device(monitor_->monitor.get()));
        if (!device) {
            return;
        }
        UEvent event{text(udev_device_get_action(device.get())), text(udev_device_get_subsystem(device.get())),
                     text(udev_device_get_sysname(device.get())), propertiesOf(device.get())};
        handler_(event, out);
    }
}

}  // namespace platform
