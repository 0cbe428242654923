#include "support/FakeLogind.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace kdu::test {

PrivateSystemBus::PrivateSystemBus() {
    char name[] = "/tmp/kdu-bus-XXXXXX";
    if (::mkdtemp(name) == nullptr) return;
    folder_ = name;
    const auto config = folder_ / "bus.conf";
    std::ofstream(config) << "<busconfig>\n  <type>session</type>\n"
                          << "  <listen>unix:path=" << (folder_ / "bus").string() << "</listen>\n"
                          << "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
                             "  </policy>\n</busconfig>\n";
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // dbus-daemon may be missing: then the bus is not started.
    const std::string configArg = "--config-file=" + config.string();
    std::vector<char*> argv{const_cast<char*>("dbus-daemon"), const_cast<char*>(configArg.c_str()),
                            const_cast<char*>("--nofork"), const_cast<char*>("--print-address"), nullptr};
    if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The daemon prints its address once it listens.
    std::string address;
    pollfd p{out[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && ::poll(&p, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n') address += c;
    ::close(out[0]);
    if (pid_ > 0 && !address.empty()) {
        address_ = address;
        if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) previous_ = old;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    }
}

PrivateSystemBus::~PrivateSystemBus() {
    if (previous_)
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", previous_->c_str(), 1);
    else if (started())
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

FakeLogind::FakeLogind(std::string address, bool grant) : address_(std::move(address)), grant_(grant) {
    std::promise<bool> ready;
    auto started = ready.get_future();
    thread_ = std::thread([this, ready = std::move(ready)]() mutable { serve(ready); });
    if (!started.get()) {
        stop_ = true;
        thread_.join();
        throw std::runtime_error("the fake logind could not start on " + address_);
    }
}

FakeLogind::~FakeLogind() {
    stop_ = true;
    thread_.join();
    for (int fd : lockEnds_) ::close(fd);
}

std::vector<FakeLogind::Call> FakeLogind::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

bool FakeLogind::released(std::size_t i, std::chrono::milliseconds wait) const {
    int fd;
    {
        const std::lock_guard lock(mutex_);
        if (i >= lockEnds_.size()) return false;
        fd = lockEnds_[i];
    }
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(wait.count())) == 1 && (p.revents & POLLHUP) != 0;
}

struct FakeLogindHandler {
    static int onInhibit(sd_bus_message* message, void* userdata, sd_bus_error* error);
};

int FakeLogindHandler::onInhibit(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    auto* self = static_cast<FakeLogind*>(userdata);
    const char *what, *who, *why, *mode;
    int r = sd_bus_message_read(message, "ssss", &what, &who, &why, &mode);
    if (r < 0) return r;
    {
        const std::lock_guard lock(self->mutex_);
        self->calls_.push_back({what, who, why, mode});
    }
    if (!self->grant_) return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Permission denied");
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
    {
        const std::lock_guard lock(self->mutex_);
        self->lockEnds_.push_back(ends[0]);
    }
    r = sd_bus_reply_method_return(message, "h", ends[1]);
    ::close(ends[1]);  // the reply carried its own copy
    return r;
}

void FakeLogind::serve(std::promise<bool>& ready) {
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Inhibit", "ssss", "h", &FakeLogindHandler::onInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};
    sd_bus* bus = nullptr;
    sd_bus_slot* slot = nullptr;
    const bool ok = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address_.c_str()) >= 0 &&
                    sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_negotiate_fds(bus, 1) >= 0 &&
                    sd_bus_start(bus) >= 0 &&
                    sd_bus_add_object_vtable(bus, &slot, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                             kVtable, this) >= 0 &&
                    sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0;
    ready.set_value(ok);
    while (ok && !stop_) {
        if (sd_bus_process(bus, nullptr) > 0) continue;
        sd_bus_wait(bus, 20'000);
    }
    sd_bus_slot_unref(slot);
    sd_bus_flush_close_unref(bus);
}

}  // namespace kdu::test
