#include "platform/PowerInhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "log/Log.h"

namespace platform {
namespace {

constexpr char kFunction[] = "SystemSleepInhibitor::SystemSleepInhibitor";
constexpr char kWho[] = "Kestory Drive Updater";
// A logind that does not answer in this time is treated as absent, so a stuck bus
// delays an update by seconds, not by sd-bus's default 25 s.
constexpr std::uint64_t kCallTimeoutUsec = 5'000'000;

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;

struct MessageDeleter {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

class BusError {
public:
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error_); }
    sd_bus_error* get() { return &error_; }
    bool named(const char* name) const { return sd_bus_error_has_name(&error_, name) != 0; }
    const char* text() const { return error_.message ? error_.message : (error_.name ? error_.name : "?"); }

private:
    sd_bus_error error_{nullptr, nullptr, 0};  // SD_BUS_ERROR_NULL, without its C compound literal
};

// Failures that mean "no system bus here" rather than a bus that refused us.
bool isMissingBus(int r) {
    return r == -ENOENT || r == -ECONNREFUSED || r == -ENOTCONN || r == -ECONNRESET || r == -ENOTDIR;
}

int takeLock(const std::string& why) {
    sd_bus* raw = nullptr;
    int r = sd_bus_open_system(&raw);
    const BusPtr bus(raw);
    if (r < 0) {
        KDU_LOG_DBG(kFunction, "no system bus (%s); going on without a sleep inhibitor.", std::strerror(-r));
        return -1;
    }
    sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutUsec);

    BusError error;
    sd_bus_message* rawReply = nullptr;
    r = sd_bus_call_method(bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "Inhibit", error.get(), &rawReply, "ssss",
                           "sleep:shutdown", kWho, why.c_str(), "block");
    const MessagePtr reply(rawReply);
    if (r < 0) {
        if (error.named(SD_BUS_ERROR_SERVICE_UNKNOWN) || error.named(SD_BUS_ERROR_NAME_HAS_NO_OWNER))
            KDU_LOG_DBG(kFunction, "no logind on the system bus; going on without a sleep inhibitor.");
        else if (!sd_bus_error_is_set(error.get()) && isMissingBus(r))
            KDU_LOG_DBG(kFunction, "no system bus (%s); going on without a sleep inhibitor.", std::strerror(-r));
        else
            KDU_LOG_WAR(kFunction, "logind refused the sleep inhibitor: %s",
                        sd_bus_error_is_set(error.get()) ? error.text() : std::strerror(-r));
        return -1;
    }

    int fd = -1;
    r = sd_bus_message_read(reply.get(), "h", &fd);
    if (r < 0) {
        KDU_LOG_WAR(kFunction, "logind's answer carries no lock: %s", std::strerror(-r));
        return -1;
    }
    // The descriptor belongs to the reply; ours must outlive it.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (own < 0)
        KDU_LOG_WAR(kFunction, "cannot keep the sleep inhibitor: %s", std::strerror(errno));
    else
        KDU_LOG_DBG(kFunction, "sleep and shutdown blocked: %s", why.c_str());
    return own;
}

}  // namespace

SystemSleepInhibitor::SystemSleepInhibitor(std::string why) : fd_(takeLock(why)) {}

}  // namespace platform
